#include "GuiDriver.h"
#include "TestShop.h"

#include "core/sales/Cart.h"
#include "gui/app/Messages.h"
#include "gui/app/SectionPages.h"
#include "gui/members/CNoSelUser.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/products/CPrdNumDlg.h"
#include "gui/sales/CSaleDlg.h"
#include "gui/sales/CSettlementDlg.h"
#include "gui/widgets/CEditPlus.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
// The category every test product sits in, so the tree lists them.
int drinks(TestShop& shop) {
    return shop.addCategory(QStringLiteral("饮料"));
}

// A page on screen with its tree filled.
struct Page {
    explicit Page(TestShop& shop) : dlg(shop.ctx, shop.dataFolder()) {
        dlg.resize(1100, 700);
        dlg.show();
    }
    bool ready() {
        // The tree fills itself 50 ms after the page shows.
        dlg.activateWindow();
        return QTest::qWaitForWindowExposed(&dlg) && QTest::qWaitForWindowActive(&dlg) &&
               QTest::qWaitFor(
                   [this] { return dlg.tree()->rootNode() && dlg.tree()->rootNode()->childCount() > 0; },
                   2000);
    }
    CSaleDlg dlg;
};

QStringList column(const CListCtrlPlus* list, int c) {
    QStringList out;
    for (int r = 0; r < list->rowCount(); ++r)
        out << list->itemText(r, c);
    return out;
}
} // namespace

class TestSaleScreen final : public QObject {
    Q_OBJECT

private slots:
    void pageInTheSaleTab() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QWidget parent;
        const SectionPage page = CreateSalePage(shop.ctx, &parent);
        QVERIFY(qobject_cast<CSaleDlg*>(page.widget));
        QCOMPARE(page.widget->accessibleName(), QStringLiteral("销售"));
        QVERIFY(page.activated);
        page.activated();
        QVERIFY(static_cast<CSaleDlg*>(page.widget)->tree()->rootNode());
        QVERIFY(Find<QPushButton>(page.widget, QStringLiteral("退货")));
        QVERIFY(Find<QPushButton>(page.widget, QStringLiteral("快速销售")));
        QVERIFY(Find<QPushButton>(page.widget, QStringLiteral("会员充值\\扣款")));
        QVERIFY(Find<QPushButton>(page.widget, QStringLiteral("新增会员")));
    }

    void scannerAndTree() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int cat = drinks(shop);
        const int near = shop.addProduct(QStringLiteral("4123"), QStringLiteral("面包"), 6, 0, 0, cat);
        const int scanned =
            shop.addProduct(QStringLiteral("123"), QStringLiteral("牛奶"), 4.5, 3, 10, cat, 2);
        Page page(shop);
        QVERIFY(page.ready());
        CSaleDlg& dlg = page.dlg;
        CListCtrlPlus* list = dlg.list();
        QCOMPARE(list->columnCaptions().size(), 11);
        QCOMPARE(list->columnCaption(ColName), QStringLiteral("商品名称 (库存)"));
        QCOMPARE(list->columnWidthOf(ColCost), 0);
        QCOMPARE(dlg.searchBox()->placeholder(), QStringLiteral("输入名称、首拼、编码查询"));

        // A scanner types the code and Enter: "123" is the milk, never the bread "4123".
        QTest::keyClick(&dlg, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(dlg.focusWidget(), dlg.searchBox());
        QTest::keyClicks(dlg.searchBox(), QStringLiteral("123"));
        QCOMPARE(CPrdTypeTree::recordOf(dlg.tree()->selectedNode()).id, scanned);
        QTest::keyClick(dlg.searchBox(), Qt::Key_Return);
        QTest::keyClick(dlg.searchBox(), Qt::Key_Return);
        QCOMPARE(list->rowCount(), 1);
        QCOMPARE(list->itemData(0).toInt(), scanned);
        QCOMPARE(list->itemText(0, ColName), QStringLiteral("[特] 牛奶 (10)"));
        QCOMPARE(list->itemText(0, ColQuantity), QStringLiteral("2 个"));
        QCOMPARE(dlg.searchBox()->selectedText(), QStringLiteral("123"));

        // Name search then Enter adds the node the tree shows.
        dlg.searchBox()->setText(QStringLiteral("面"));
        QTest::keyClick(dlg.searchBox(), Qt::Key_Return);
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->itemData(1).toInt(), near);
        QCOMPARE(dlg.field(QStringLiteral("优惠后总价："))->text(), QStringLiteral("￥15.00"));
        QCOMPARE(dlg.field(QStringLiteral("商品总价："))->text(), QStringLiteral("￥15.00"));
        QCOMPARE(dlg.field(QStringLiteral("产品数量："))->text(), QStringLiteral("2"));
        // The special offer earns nothing: 6 points of the bread alone.
        QCOMPARE(dlg.field(QStringLiteral("实得积分："))->text(), QStringLiteral("6"));
        QCOMPARE(dlg.field(QStringLiteral("应得积分："))->text(), QStringLiteral("6"));

        // A product gone since the tree was filled.
        dlg.addProduct(99999, true);
        QCOMPARE(list->rowCount(), 2);
    }

    void cartMenuAndPopup() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int cat = drinks(shop);
        const int a = shop.addProduct(QStringLiteral("A"), QStringLiteral("茶"), 10, 0, 0, cat);
        const int b = shop.addProduct(QStringLiteral("B"), QStringLiteral("糖"), 3.33, 0, 0, cat);
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET MustIntNum = 1 WHERE ID = ?"), {b}));
        Page page(shop);
        QVERIFY(page.ready());
        CSaleDlg& dlg = page.dlg;
        dlg.addProduct(a, true);
        dlg.addProduct(b, true);

        std::unique_ptr<QMenu> menu(dlg.createCartMenu(0));
        QVERIFY(menu);
        QCOMPARE(menu->title(), QStringLiteral("销售产品"));
        QStringList entries;
        for (QAction* action : menu->actions())
            entries << action->text();
        QCOMPARE(entries, (QStringList{QStringLiteral("移除"), QStringLiteral("数量 +1"),
                                       QStringLiteral("数量 -1"), QStringLiteral("修改数量")}));
        QVERIFY(!dlg.createCartMenu(5));
        menu->actions()[1]->trigger();
        QCOMPARE(dlg.list()->itemText(0, ColQuantity), QStringLiteral("2 个"));
        dlg.runCartCommand(0, CSaleDlg::MinusOne);
        dlg.runCartCommand(0, CSaleDlg::MinusOne);
        QCOMPARE(dlg.list()->itemText(0, ColQuantity), QStringLiteral("1 个"));

        // The integer-only row refuses "1.5" and stays open; then "统一折扣" 9 for every row.
        MessageRecorder messages;
        bool shown = false;
        // Checks made inside a modal run are noted and compared after it: the popup must close.
        QStringList seen;
        OnNextModalOf<CPrdNumDlg>(
            [&](CPrdNumDlg* popup) {
                seen << popup->titleLabel()->text() << popup->discountBox()->currentText()
                     << QString::number(popup->discountBox()->count())
                     << (popup->focusWidget() == popup->quantityEdit() ? QStringLiteral("quantity focused")
                                                                       : QStringLiteral("focus elsewhere"));
                popup->quantityEdit()->setText(QStringLiteral("1.5"));
                popup->accept();
                seen << (popup->isVisible() ? QStringLiteral("stays open") : QStringLiteral("closed"));
                popup->quantityEdit()->setText(QStringLiteral("2"));
                popup->discountBox()->setCurrentIndex(popup->discountBox()->findText(QStringLiteral("9")));
                popup->sameForAllBox()->setChecked(true);
                popup->accept();
                if (popup->isVisible())
                    popup->reject(); // the OK was refused
            },
            &shown);
        QTest::mouseClick(dlg.list()->viewport(), Qt::LeftButton, {},
                          dlg.list()->visualRect(dlg.list()->model()->index(1, ColDiscount)).center());
        QCOMPARE(seen, (QStringList{QStringLiteral("糖 (3.33)"), QStringLiteral("10"), QStringLiteral("120"),
                                    QStringLiteral("quantity focused"), QStringLiteral("stays open")}));
        QVERIFY(shown);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("糖 数量必须为整数")});
        QCOMPARE(messages.toasts.first().seconds, 0.8);
        QCOMPARE(column(dlg.list(), ColDiscountPrice),
                 (QStringList{QStringLiteral("￥9.00"), QStringLiteral("￥3.00")}));
        QCOMPARE(column(dlg.list(), ColDiscount),
                 (QStringList{QStringLiteral("9.0"), QStringLiteral("9.0")}));
        QCOMPARE(dlg.list()->itemText(1, ColQuantity), QStringLiteral("2 个"));
        QCOMPARE(dlg.field(QStringLiteral("优惠后总价："))->text(), QStringLiteral("￥15.00"));

        // A typed discounted price: 8 for 10 shows the discount 8.0.
        QString followed;
        OnNextModalOf<CPrdNumDlg>([&](CPrdNumDlg* popup) {
            popup->discountPriceEdit()->setText(QStringLiteral("8"));
            followed = popup->discountBox()->currentText();
            popup->accept();
        });
        dlg.editRow(0);
        QCOMPARE(followed, QStringLiteral("8"));
        QCOMPARE(dlg.list()->itemText(0, ColDiscount), QStringLiteral("8.0"));
        QCOMPARE(dlg.list()->itemText(0, ColDiscountPrice), QStringLiteral("￥8.00"));

        // Removing row 1 of 2 and adding gives the new row the number 2 again.
        dlg.runCartCommand(0, CSaleDlg::RemoveRow);
        dlg.addProduct(a, true);
        QCOMPARE(column(dlg.list(), ColRowNo), (QStringList{QStringLiteral("2"), QStringLiteral("2")}));
    }

    void settleAsGuestInCash() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int cat = drinks(shop);
        const int a = shop.addProduct(QStringLiteral("A"), QStringLiteral("茶"), 35.5, 20, 10, cat);
        Page page(shop);
        QVERIFY(page.ready());
        CSaleDlg& dlg = page.dlg;
        MessageRecorder messages;

        dlg.settle();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请选择商品")});
        dlg.addProduct(a, true);
        dlg.remarkEdit()->setText(QStringLiteral("会员卡忘带"));

        // No customer chosen: "散客", then pay 50 in cash and confirm. What the dialogs show is
        // noted inside their modal runs and compared after them, so a mismatch never leaves one open.
        bool settled = false;
        QStringList seen;
        OnNextModalOf<CNoSelUser>([&](CNoSelUser* ask) {
            OnNextModalOf<CSettlementDlg>(
                [&](CSettlementDlg* pay) {
                    seen << QString::number(pay->balanceRadio()->isEnabled())
                         << QString::number(pay->pointsRadio()->isEnabled()) << pay->amountLabel()->text()
                         << pay->cashEdit()->text();
                    pay->cashEdit()->setText(QStringLiteral("￥50"));
                    seen << pay->changeLine()->text();
                    messages.answerNext(true);
                    pay->accept();
                    if (pay->isVisible())
                        pay->reject(); // the payment was refused
                },
                &settled);
            ask->guestButton()->click();
        });
        dlg.settle();
        QVERIFY(settled);
        QCOMPARE(seen, (QStringList{QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("￥35.50"),
                                    QStringLiteral("￥35.50"), QStringLiteral("        找零：   ￥ 14.50")}));
        QCOMPARE(messages.boxTexts(),
                 QStringList{QStringLiteral("收取现金￥    50.00 元\n      找零￥    14.50 元")});
        QCOMPARE(messages.toastTexts().last(), QStringLiteral("消费成功"));
        QCOMPARE(messages.toasts.last().colour, 0xFDBD13u);
        QCOMPARE(shop.count(QStringLiteral("tb_orders"),
                            QStringLiteral("MemID = -1 AND GetMoney = 50 AND "
                                           "Change = 14.5 AND Remark = ?"),
                            {QStringLiteral("会员卡忘带")}),
                 1);
        // Cleared, the guest box stays ticked and "选择会员" stays off.
        QCOMPARE(dlg.list()->rowCount(), 0);
        QVERIFY(dlg.guestBox()->isChecked());
        QVERIFY(!dlg.chooseMemberButton()->isEnabled());
        QCOMPARE(dlg.field(QStringLiteral("姓名："))->text(), QStringLiteral("散客"));
        QVERIFY(dlg.remarkEdit()->text().isEmpty());
    }

    void settleForAMemberFromTheBalance() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int cat = drinks(shop);
        const int a = shop.addProduct(QStringLiteral("A"), QStringLiteral("茶"), 35.5, 20, 10, cat);
        const int member = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 20, 0);
        Page page(shop);
        QVERIFY(page.ready());
        CSaleDlg& dlg = page.dlg;
        MessageRecorder messages;
        dlg.addProduct(a, true);

        OnNextModalOf<CSelUserDlg>([](CSelUserDlg* pick) { pick->accept(); });
        QVERIFY(dlg.chooseMember());
        QCOMPARE(dlg.memberId(), member);
        QCOMPARE(dlg.field(QStringLiteral("余额："))->text(), QStringLiteral("￥20.00"));

        // Cancelling the settlement writes nothing and keeps the cart.
        OnNextModalOf<CSettlementDlg>([](CSettlementDlg* pay) { pay->reject(); });
        dlg.settle();
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 0);
        QCOMPARE(dlg.list()->rowCount(), 1);

        // 20 on the balance, 20 more in cash, the excess kept: 20 → 40 → 4.50.
        QStringList seen;
        OnNextModalOf<CSettlementDlg>([&](CSettlementDlg* pay) {
            pay->balanceRadio()->click();
            seen << pay->cashLabel()->text() << pay->cashEdit()->text()
                 << QString::number(pay->cashEdit()->isEnabled())
                 << QString::number(pay->changeRadio()->isChecked());
            pay->extraCashEdit()->setText(QStringLiteral("￥20"));
            seen << pay->changeRadio()->text() << pay->depositRadio()->text();
            pay->depositRadio()->click();
            messages.answerNext(true);
            pay->accept();
            if (pay->isVisible())
                pay->reject(); // the payment was refused
        });
        dlg.settle();
        QCOMPARE(seen, (QStringList{QStringLiteral("余额不足，请补收："), QStringLiteral("￥15.50"),
                                    QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("找零￥4.50"),
                                    QStringLiteral("充入余额￥4.50")}));
        QCOMPARE(shop.balanceOf(member), 4.5);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord"), QStringLiteral("Amount = 20 AND MemID = ?"),
                            {member}),
                 1);
        QCOMPARE(dlg.list()->rowCount(), 0);
        QCOMPARE(dlg.memberId(), -1);
    }

    void failedPostingKeepsTheCart() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int cat = drinks(shop);
        const int a = shop.addProduct(QStringLiteral("A"), QStringLiteral("茶"), 5, 0, 0, cat);
        const int free = shop.addProduct(QStringLiteral("F"), QStringLiteral("赠品"), 0, 0, 0, cat, 3);
        Page page(shop);
        QVERIFY(page.ready());
        CSaleDlg& dlg = page.dlg;
        MessageRecorder messages;
        dlg.guestBox()->setChecked(true);

        dlg.addProduct(free, true);
        dlg.settle();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("实收价格不能为0")});

        dlg.addProduct(a, true);
        OnNextModalOf<CSettlementDlg>([&](CSettlementDlg* pay) {
            messages.answerNext(true);
            shop.ctx.db.failNthStatement(3); // the first order line
            pay->accept();
        });
        dlg.settle();
        shop.ctx.db.failNthStatement(0);
        QCOMPARE(messages.boxes.last().kind, QStringLiteral("warn"));
        QVERIFY(messages.boxes.last().text.startsWith(QStringLiteral("保存订单失败，请重试！")));
        QCOMPARE(dlg.list()->rowCount(), 2);
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 0);
    }

    void backDatedSale() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int cat = drinks(shop);
        const int a = shop.addProduct(QStringLiteral("A"), QStringLiteral("茶"), 5, 0, 0, cat);
        Page page(shop);
        QVERIFY(page.ready());
        CSaleDlg& dlg = page.dlg;
        MessageRecorder messages;
        QVERIFY(!dlg.dateEdit()->isVisible());
        dlg.backDateBox()->setChecked(true);
        QVERIFY(dlg.dateEdit()->isVisible());
        const QDateTime when(QDate(2023, 12, 31), QTime(10, 0, 0));
        dlg.dateEdit()->setDateTime(when);
        dlg.guestBox()->setChecked(true);
        dlg.addProduct(a, true);
        OnNextModalOf<CSettlementDlg>([&](CSettlementDlg* pay) {
            messages.answerNext(true);
            pay->accept();
        });
        dlg.settle();
        QCOMPARE(shop.count(QStringLiteral("tb_orders"), QStringLiteral("SaleDate = ?"),
                            {shop.ctx.db.dateTimeValue(when)}),
                 1);
        QVERIFY(!dlg.backDateBox()->isChecked());
        QVERIFY(!dlg.dateEdit()->isVisible());
    }
};

QTEST_MAIN(TestSaleScreen)
#include "tst_sale_screen.moc"
