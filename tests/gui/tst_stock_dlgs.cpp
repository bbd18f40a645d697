#include "GuiDriver.h"
#include "TestShop.h"

#include "core/products/Purchasing.h"
#include "core/support/Clock.h"
#include "gui/app/Messages.h"
#include "gui/products/CPrdCheck.h"
#include "gui/products/CPrdCheckRecord.h"
#include "gui/products/CPrdManDlg.h"
#include "gui/products/CPrdNumDlg.h"
#include "gui/products/CStorInDlg.h"
#include "gui/products/CStrorPutInMan.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using selvo::test::Click;
using selvo::test::Find;
using selvo::test::OnNextModalOf;
using selvo::test::TestShop;

namespace {

void triggerEntry(CPrdManDlg& page, int row, const QString& text) {
    std::unique_ptr<QMenu> menu(page.createRowMenu(row, &page));
    for (QAction* a : menu->actions()) {
        if (a->text() == text) {
            a->trigger();
            return;
        }
    }
    QFAIL(qPrintable(text + QStringLiteral(" not in the menu")));
}

// 大米 by the kilogram, 可乐 in whole bottles.
struct Shop {
    TestShop shop;
    int rice = 0, cola = 0;
    Shop() {
        // The product page lists only products whose category exists.
        const int food = shop.addCategory(QStringLiteral("食品"));
        rice = shop.addProduct(QStringLiteral("R1"), QStringLiteral("大米"), 6, 4.5, 10, food);
        cola = shop.addProduct(QStringLiteral("C1"), QStringLiteral("可乐"), 3, 2, 20, food);
        shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET MeasuringUnit = ? WHERE ID = ?"),
                         {QStringLiteral("公斤"), rice});
        shop.ctx.db.exec(
            QStringLiteral("UPDATE tb_product SET MustIntNum = 1, MeasuringUnit = ? WHERE ID = ?"),
            {QStringLiteral("瓶"), cola});
    }
};

// Runs an entry dialog from the management dialog: adds `product`, sets its quantity in the
// popup (after the popup refused each of `refused`), then saves.
void enterOrder(CStrorPutInMan& man, int mode, int product, const QString& quantity,
                const QStringList& refused, QStringList* seen) {
    bool shown = false;
    OnNextModalOf<CStorInDlg>(
        [&](CStorInDlg* entry) {
            *seen << entry->windowTitle() << entry->list()->columnCaption(PurColQuantity)
                  << (entry->paidBox()->isChecked() ? QStringLiteral("paid") : QStringLiteral("unpaid"));
            Click(entry, QStringLiteral("确认并保存"));
            entry->addProducts(QString::number(product) + QLatin1Char(','));
            OnNextModalOf<CPrdNumDlg>([&](CPrdNumDlg* popup) {
                for (const QString& bad : refused) {
                    popup->quantityEdit()->setText(bad);
                    popup->accept();
                    if (!popup->isVisible())
                        *seen << QStringLiteral("popup closed on ") + bad;
                }
                popup->quantityEdit()->setText(quantity);
                popup->accept();
            });
            entry->editRow(0);
            *seen << entry->list()->itemText(0, PurColQuantity) << entry->totalField()->text()
                  << entry->countField()->text();
            Click(entry, QStringLiteral("确认并保存"));
            if (entry->isVisible())
                entry->reject();
        },
        &shown);
    man.runEntry(mode);
    QVERIFY(shown);
}
} // namespace

class TestStockDialogs final : public QObject {
    Q_OBJECT

private slots:
    // "盘点" from the product page: a refusal keeps the dialog open; the count is booked, the row
    // shows the new stock and "盘点记录" lists it.
    void stockTake() {
        Shop s;
        CPrdManDlg page(s.shop.ctx);
        page.resize(1000, 600);
        page.show();
        QTRY_VERIFY(page.tree()->rootNode() != nullptr);
        const int row = page.list()->findRowByData(s.rice);
        QVERIFY(row >= 0);
        MessageRecorder messages;
        QStringList seen;
        bool shown = false;
        OnNextModalOf<CPrdCheck>(
            [&](CPrdCheck* dlg) {
                seen << dlg->nameField()->text() << dlg->stockField()->text() << dlg->newStockEdit()->text()
                     << (dlg->focusWidget() == dlg->newStockEdit() ? QStringLiteral("focused") : QString());
                dlg->accept();
                seen << (dlg->isVisible() ? QStringLiteral("open") : QStringLiteral("closed"));
                dlg->newStockEdit()->setText(QStringLiteral("7"));
                dlg->reasonEdit()->setPlainText(QStringLiteral("受潮\n丢弃"));
                Click(dlg, QStringLiteral("确定"));
            },
            &shown);
        triggerEntry(page, row, QStringLiteral("盘点"));
        QVERIFY(shown);
        QCOMPARE(seen, (QStringList{QStringLiteral("大米"), QStringLiteral("10"), QStringLiteral("10"),
                                    QStringLiteral("focused"), QStringLiteral("open")}));
        QCOMPARE(messages.toastTexts(),
                 (QStringList{QStringLiteral("请先调整库存量"), QStringLiteral("盘点完成")}));
        QCOMPARE(messages.toasts.last().colour, quint32(0xFDBD13));
        QCOMPARE(messages.toasts.first().colour, quint32(255));
        QCOMPARE(page.list()->itemText(row, 7), QStringLiteral("7"));
        QCOMPARE(s.shop.stockOf(QStringLiteral("R1")), 7.0);

        QStringList record;
        OnNextModalOf<CPrdCheckRecord>(
            [&](CPrdCheckRecord* dlg) {
                record << dlg->windowTitle() << dlg->list()->columnCaptions();
                record << dlg->list()->rowTexts(0).mid(2);
                record << QString::number(dlg->list()->rowCount());
                dlg->reject();
            },
            &shown);
        triggerEntry(page, row, QStringLiteral("盘点记录"));
        QCOMPARE(record,
                 (QStringList{QStringLiteral("盘点历史(大米)  最多显示500条"), QStringLiteral("操作人员"),
                              QStringLiteral("盘点时间"), QStringLiteral("增减数量"), QStringLiteral("备注"),
                              QStringLiteral("-3"), QStringLiteral("受潮\n丢弃"), QStringLiteral("1")}));
    }

    // A purchase whose quantity is edited in the popup (after its refusals), then a return; both
    // appear at the top of the order list.
    void purchaseAndReturn() {
        Shop s;
        CStrorPutInMan man(s.shop.ctx);
        man.show();
        MessageRecorder messages;
        QStringList seen;
        enterOrder(man, PurchaseIn, s.rice, QStringLiteral("2.5"),
                   {QStringLiteral("abc"), QStringLiteral("nan"), QStringLiteral("inf"), QStringLiteral("-1"),
                    QStringLiteral("1e9"), QString(), QStringLiteral("😀")},
                   &seen);
        QCOMPARE(seen,
                 (QStringList{QStringLiteral("采购入库"), QStringLiteral("进货数量"), QStringLiteral("paid"),
                              QStringLiteral("2.5 公斤"), QStringLiteral("￥11.25"), QStringLiteral("1")}));
        // The popup's own refusals: no number reads as 0.
        const QString belowZero = QStringLiteral("数量不能小于0");
        QCOMPARE(messages.toastTexts(), (QStringList{QStringLiteral("请选择商品"), belowZero, belowZero,
                                                     belowZero, belowZero, QStringLiteral("请输入正确的数量"),
                                                     belowZero, belowZero, QStringLiteral("采购成功")}));
        QCOMPARE(s.shop.stockOf(QStringLiteral("R1")), 12.5);
        CListCtrlPlus* orders = man.orderList();
        QCOMPARE(orders->rowCount(), 1);
        QCOMPARE(orders->selectedRow(), 0);
        QCOMPARE(orders->rowTexts(0).mid(1, 2),
                 (QStringList{QStringLiteral("11.25"), QStringLiteral("管理员")}));
        QCOMPARE(orders->rowTexts(0).mid(4), (QStringList{QStringLiteral("√"), QStringLiteral("采购进货")}));
        QCOMPARE(man.detailList()->rowTexts(0),
                 (QStringList{QStringLiteral("R1"), QStringLiteral("大米"), QStringLiteral("2"),
                              QStringLiteral("4.5"), QStringLiteral("10.0"), QStringLiteral("4.50"),
                              QStringLiteral("9.00")}));
        QCOMPARE(man.totalField()->text(), QStringLiteral("11.25"));
        QVERIFY(man.paidBox()->isVisibleTo(&man) && man.paidBox()->isChecked());

        // The list is ordered by the stored second: the return comes a second later.
        ManualClock clock(QDateTime::currentDateTime().addSecs(1));
        Clock::setInstance(&clock);
        const auto restore = qScopeGuard([] { Clock::setInstance(nullptr); });
        seen.clear();
        messages.clear();
        enterOrder(man, PurchaseReturn, s.cola, QStringLiteral("3"), {QStringLiteral("1.5")}, &seen);
        QCOMPARE(seen,
                 (QStringList{QStringLiteral("退货出库"), QStringLiteral("退货数量"), QStringLiteral("paid"),
                              QStringLiteral("3 瓶"), QStringLiteral("￥6.00"), QStringLiteral("3")}));
        QCOMPARE(messages.toastTexts(),
                 (QStringList{QStringLiteral("请选择商品"), QStringLiteral("可乐 数量必须为整数"),
                              QStringLiteral("退货成功")}));
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), 17.0);
        QCOMPARE(orders->rowCount(), 2);
        QCOMPARE(orders->itemText(0, 5), QStringLiteral("退货"));

        // Reopened, the dialog lists both, newest first.
        CStrorPutInMan again(s.shop.ctx);
        QCOMPARE(again.orderList()->rowCount(), 2);
        QCOMPARE(again.orderList()->itemText(0, 5), QStringLiteral("退货"));
        QVERIFY(!again.paidBox()->isVisibleTo(&again) && !again.cancelButton()->isVisibleTo(&again));
    }

    // "撤销此订单": No keeps it; Yes moves the stock back, removes the row and logs it.
    void cancellation() {
        Shop s;
        PurchaseList list;
        list.add(LoadPurchaseProducts(s.shop.ctx, QString::number(s.cola) + QLatin1Char(',')));
        list.applyEdit(0, {5, 10, 2, false});
        QVERIFY(SavePurchase(s.shop.ctx, list, PurchaseIn, true).ok);
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), 25.0);
        CStrorPutInMan man(s.shop.ctx);
        man.show();
        man.orderList()->setSelectedRow(0);
        QVERIFY(man.cancelButton()->isVisible());
        const QString date = man.orderList()->itemText(0, 0);
        MessageRecorder messages;
        messages.answerNext(false);
        man.cancelButton()->click();
        QCOMPARE(man.orderList()->rowCount(), 1);
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), 25.0);
        messages.answerNext(true);
        man.cancelButton()->click();
        QCOMPARE(messages.boxTexts(), (QStringList{QStringLiteral("确认要撤销进货订单吗？"),
                                                   QStringLiteral("确认要撤销进货订单吗？")}));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("订单已撤销")});
        QCOMPARE(man.orderList()->rowCount(), 0);
        QVERIFY(!man.cancelButton()->isVisible());
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), 20.0);
        QCOMPARE(s.shop.ctx.db.scalar(QStringLiteral("SELECT Content FROM tb_OpRecord"))->toString(),
                 QStringLiteral("撤销采购进货单，订单详情（总价：10; 订单创建人：管理员; 订单创建时间:") +
                     date + QLatin1Char(')'));
    }

    // "已结清货款" flips the stored flag and the mark; when the update fails the box goes back.
    void paidToggle() {
        Shop s;
        PurchaseList list;
        list.add(LoadPurchaseProducts(s.shop.ctx, QString::number(s.rice) + QLatin1Char(',')));
        const PurchaseSaveResult saved = SavePurchase(s.shop.ctx, list, PurchaseIn, true);
        QVERIFY(saved.ok);
        CStrorPutInMan man(s.shop.ctx);
        man.show();
        man.orderList()->setSelectedRow(0);
        MessageRecorder messages;
        QVERIFY(man.paidBox()->isChecked());
        man.paidBox()->click();
        QCOMPARE(man.orderList()->itemText(0, 4), QStringLiteral("×"));
        QCOMPARE(s.shop.count(QStringLiteral("tb_StorageIn_His"), QStringLiteral("IsPay = 0")), 1);
        // The keyboard works as the mouse does.
        man.paidBox()->setFocus();
        QTest::keyClick(man.paidBox(), Qt::Key_Space);
        QCOMPARE(man.orderList()->itemText(0, 4), QStringLiteral("√"));
        QCOMPARE(s.shop.count(QStringLiteral("tb_StorageIn_His"), QStringLiteral("IsPay = 1")), 1);
        // Gone behind the dialog's back.
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_StorageIn_His")));
        man.paidBox()->click();
        QVERIFY(man.paidBox()->isChecked());
        QCOMPARE(man.orderList()->itemText(0, 4), QStringLiteral("√"));
        QCOMPARE(messages.toastTexts(),
                 (QStringList{QStringLiteral("状态已修改"), QStringLiteral("状态已修改"),
                              QStringLiteral("状态修改失败")}));
    }
};

QTEST_MAIN(TestStockDialogs)
#include "tst_stock_dlgs.moc"
