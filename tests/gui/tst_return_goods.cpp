#include "GuiDriver.h"
#include "TestShop.h"

#include "core/sales/Posting.h"
#include "core/sales/Returns.h"
#include "gui/app/Messages.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/members/CUserHisDlg.h"
#include "gui/products/CSelPrdDlg.h"
#include "gui/sales/CReturnGoodsDlg.h"
#include "gui/sales/CReturnSelOrder.h"
#include "gui/sales/CSaleDlg.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
// Product A (10.00, cost 6) and B (5.00), 10 of each in stock; one member with ￥5 and 5 points.
struct Fixture {
    TestShop shop;
    int member = -1;
    int a = -1;
    int b = -1;
    Fixture() {
        member = shop.addMember(QStringLiteral("张三"), QStringLiteral("13900000000"), 5, 5);
        a = shop.addProduct(QStringLiteral("A"), QStringLiteral("甲"), 10, 6, 10);
        b = shop.addProduct(QStringLiteral("B"), QStringLiteral("乙"), 5, 2, 10);
    }
    QVariant value(const QString& sql) { return shop.ctx.db.scalar(sql).value_or(QVariant()); }
};

// "选择商品退货" with the given rows of the picker ticked.
void pickRows(CReturnGoodsDlg& dlg, QList<int> rows) {
    bool shown = false;
    OnNextModalOf<CSelPrdDlg>(
        [rows](CSelPrdDlg* pick) {
            for (int r : rows)
                pick->list()->setChecked(r, true);
            pick->accept();
        },
        &shown);
    Click(&dlg, QStringLiteral("选择商品退货"));
    QVERIFY(shown);
}

void chooseFirstMember(CReturnGoodsDlg& dlg) {
    OnNextModalOf<CSelUserDlg>([](CSelUserDlg* pick) { pick->accept(); });
    QVERIFY(dlg.chooseMember());
}
} // namespace

class TestReturnGoods final : public QObject {
    Q_OBJECT

private slots:
    // "退货" leads the sale screen's top buttons and opens the returns screen with no member.
    void fromTheSaleScreen() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        CSaleDlg page(shop.ctx, shop.dataFolder());
        auto* returns = Find<QPushButton>(&page, QStringLiteral("退货"));
        QVERIFY(returns);
        auto* box = qobject_cast<QHBoxLayout*>(returns->parentWidget()->layout()->itemAt(0)->layout());
        QVERIFY(box);
        QCOMPARE(box->itemAt(0)->widget(), returns);
        bool shown = false;
        OnNextModalOf<CReturnGoodsDlg>(
            [](CReturnGoodsDlg* dlg) {
                QCOMPARE(dlg->windowTitle(), QStringLiteral("退货"));
                QCOMPARE(dlg->memberId(), -1);
                dlg->reject();
            },
            &shown);
        returns->click();
        QVERIFY(shown);
    }

    // A guest return refunded in cash: only cash is offered, no points are taken.
    void guestInCash() {
        Fixture f;
        QVERIFY2(f.shop.ok(), qPrintable(f.shop.error()));
        CReturnGoodsDlg dlg(f.shop.ctx);
        dlg.show();
        CListCtrlPlus* list = dlg.listCtrl();
        QCOMPARE(list->columnCaption(ColName), QStringLiteral("商品名称"));
        QCOMPARE(list->columnWidthOf(ColRowNo), 0);
        QCOMPARE(list->columnWidthOf(ColName), 100);
        QCOMPARE(list->columnWidthOf(ColDiscount), 40);
        QVERIFY(dlg.modeButton(RefundCash)->isChecked());
        QVERIFY(dlg.historyButton()->isHidden());
        QCOMPARE(dlg.field(QStringLiteral("当前余额:"))->text(), QStringLiteral("￥0.00"));

        dlg.modeButton(RefundPoints)->setChecked(true);
        dlg.guestBox()->setChecked(true);
        QVERIFY(dlg.modeButton(RefundCash)->isChecked());
        QVERIFY(!dlg.modeButton(RefundBalance)->isEnabled());
        QVERIFY(!dlg.modeButton(RefundPoints)->isEnabled());
        QVERIFY(!Find<QPushButton>(&dlg, QStringLiteral("选择会员"))->isEnabled());
        QVERIFY(dlg.pointsEdit()->isHidden());
        QVERIFY(dlg.refundEdit()->isVisible());
        QCOMPARE(dlg.field(QStringLiteral("会员姓名："))->text(), QStringLiteral("散客"));

        pickRows(dlg, {0, 1});
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->itemText(0, ColName), QStringLiteral("甲"));
        QCOMPARE(list->itemText(0, ColLineTotal), QStringLiteral("=￥10.00"));
        QCOMPARE(dlg.refundEdit()->text(), QStringLiteral("￥15.00"));
        QCOMPARE(dlg.field(QStringLiteral("商品总价："))->text(), QStringLiteral("￥15.00"));
        QCOMPARE(dlg.field(QStringLiteral("产品数量："))->text(), QStringLiteral("2"));
        dlg.runListCommand(0, CReturnGoodsDlg::PlusOne);
        QCOMPARE(list->itemText(0, ColQuantity), QStringLiteral("2 个"));
        // Picking a product already in the list does not add it again.
        pickRows(dlg, {0});
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->itemText(0, ColQuantity), QStringLiteral("2 个"));

        MessageRecorder messages;
        messages.answerNext(true);  // 确认退货?
        messages.answerNext(false); // no receipt
        dlg.settle();
        QCOMPARE(messages.boxTexts(), (QStringList{QStringLiteral("确认退货?\n退还现金￥25.00元"),
                                                   QStringLiteral("退货成功，是否打印小票？")}));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("退货成功")});
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(f.value(QStringLiteral("SELECT MemID FROM tb_orders WHERE OrderType = 2")).toInt(), -1);
        QCOMPARE(f.value(QStringLiteral("SELECT Integral FROM tb_orders")).toInt(), 0);
        QCOMPARE(f.value(QStringLiteral("SELECT RealTotalPrice FROM tb_orders")).toDouble(), -25.0);
        QCOMPARE(
            f.value(QStringLiteral("SELECT PrdInventory FROM tb_product WHERE PrdCode = 'A'")).toDouble(),
            12.0);
    }

    // A member returns a sale paid with points, by order: "返还积分" is ticked from the order and
    // the points to give back are the refund rounded up × the redemption rate. Receipt printed.
    void memberByOrderPaidWithPoints() {
        Fixture f;
        QVERIFY2(f.shop.ok(), qPrintable(f.shop.error()));
        f.shop.ctx.settings.interalToYuan = 100;
        QVERIFY(f.shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET Integral = 3000")));
        Cart sale;
        sale.add(*LoadSaleProduct(f.shop.ctx, f.a), false);
        sale.applyEdit(0, {1, 9.5, 9.5, false});
        Payment payment;
        payment.payType = PayPoints;
        payment.pointsUsed = 1000;
        const PostResult sold = PostOrder(
            f.shop.ctx, MakeSaleDraft(sale, f.shop.ctx.settings, f.member, payment, 0, QString(), {}));
        QVERIFY2(sold.ok, qPrintable(sold.message));

        CReturnGoodsDlg dlg(f.shop.ctx);
        dlg.show();
        chooseFirstMember(dlg);
        QCOMPARE(dlg.memberId(), f.member);
        QCOMPARE(dlg.field(QStringLiteral("会员手机："))->text(), QStringLiteral("13900000000"));
        QCOMPARE(dlg.field(QStringLiteral("当前积分："))->text(), QStringLiteral("2000"));
        QVERIFY(!dlg.historyButton()->isHidden());

        MessageRecorder messages;
        bool shown = false;
        QString caption;
        int rows = 0;
        OnNextModalOf<CReturnSelOrder>(
            [&](CReturnSelOrder* pick) {
                caption = pick->windowTitle();
                rows = pick->list()->rowCount();
                emit pick->list()->itemDoubleClicked(0, 0);
            },
            &shown);
        Click(&dlg, QStringLiteral("按订单退货"));
        QVERIFY(shown);
        QCOMPARE(caption, QStringLiteral("张三(13900000000)的消费/充值记录  最多显示500条"));
        QCOMPARE(rows, 1);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("已加载")});
        QVERIFY(dlg.modeButton(RefundPoints)->isChecked());
        QVERIFY(dlg.refundEdit()->isHidden());
        QCOMPARE(dlg.pointsLabel()->text(), QStringLiteral("退还积分："));
        QCOMPARE(dlg.listCtrl()->itemText(0, ColDiscountPrice), QStringLiteral("￥9.50"));
        QCOMPARE(dlg.refundEdit()->text(), QStringLiteral("￥9.50"));
        QCOMPARE(dlg.pointsEdit()->text(), QStringLiteral("1000"));
        QCOMPARE(dlg.field(QStringLiteral("积分："))->text(), QStringLiteral("1000"));

        QTemporaryDir dir;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("receipt.pdf")));
        dlg.setReceiptPrinter(&printer);
        dlg.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        messages.clear();
        messages.answerNext(true);
        messages.answerNext(true);
        QTest::keyClick(&dlg, Qt::Key_F10);
        QCOMPARE(messages.boxTexts(), (QStringList{QStringLiteral("确认退货?\n返还积分1000分"),
                                                   QStringLiteral("退货成功，是否打印小票？")}));
        QCOMPARE(messages.toastTexts(), (QStringList{QStringLiteral("完成"), QStringLiteral("退货成功")}));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("receipt.pdf"))).size() > 0);
        QCOMPARE(f.value(QStringLiteral("SELECT Integral FROM tb_members")).toInt(), 3000);
        QCOMPARE(f.value(QStringLiteral("SELECT PayType FROM tb_orders WHERE OrderType = 2")).toInt(), 3);
    }

    // A refund to the balance: the typed refund gives the points, the balance grows and a
    // "退货返还" recharge record is written.
    void refundToTheBalance() {
        Fixture f;
        QVERIFY2(f.shop.ok(), qPrintable(f.shop.error()));
        CReturnGoodsDlg dlg(f.shop.ctx);
        dlg.show();
        chooseFirstMember(dlg);
        pickRows(dlg, {0, 1});
        QTest::mouseClick(dlg.modeButton(RefundBalance), Qt::LeftButton);
        QVERIFY(dlg.modeButton(RefundBalance)->isChecked());
        QCOMPARE(dlg.pointsLabel()->text(), QStringLiteral("扣除积分："));
        QCOMPARE(dlg.pointsEdit()->text(), QStringLiteral("15"));
        dlg.refundEdit()->clear();
        QTest::keyClicks(dlg.refundEdit(), QStringLiteral("4.5"));
        QCOMPARE(dlg.pointsEdit()->text(), QStringLiteral("4"));
        QCOMPARE(dlg.field(QStringLiteral("积分："))->text(), QStringLiteral("15"));
        dlg.remarkEdit()->setText(QStringLiteral("坏了"));

        MessageRecorder messages;
        messages.answerNext(true);
        Click(&dlg, QStringLiteral("结算(F10)"));
        QCOMPARE(messages.boxTexts().value(0), QStringLiteral("确认退货?\n返还余额￥4.50元"));
        QCOMPARE(f.value(QStringLiteral("SELECT Balance FROM tb_members")).toDouble(), 9.5);
        QCOMPARE(f.value(QStringLiteral("SELECT Integral FROM tb_members")).toInt(), 1);
        QCOMPARE(f.shop.count(QStringLiteral("tb_TopupRecord"),
                              QStringLiteral("Amount = 4.5 AND BefBalance = 5 AND Remark = '退货返还'")),
                 1);
        QCOMPARE(f.value(QStringLiteral("SELECT Remark FROM tb_orders")).toString(), QStringLiteral("坏了"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    // Refusals keep the dialog open, say why, point at the field and write nothing.
    void refusals() {
        Fixture f;
        QVERIFY2(f.shop.ok(), qPrintable(f.shop.error()));
        CReturnGoodsDlg dlg(f.shop.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        MessageRecorder messages;
        const auto settleSays = [&](const QString& text) {
            messages.clear();
            dlg.settle();
            return messages.toastTexts() == QStringList{text} && messages.boxes.isEmpty() && dlg.isVisible();
        };
        QVERIFY(settleSays(QStringLiteral("请选择商品")));
        pickRows(dlg, {0, 1}); // goods ￥15.00
        QVERIFY(settleSays(QStringLiteral("请选择会员\r\n或设置为散客消费")));
        chooseFirstMember(dlg);
        for (const QString& bad : {QStringLiteral("abc"), QStringLiteral("nan"), QStringLiteral("0x10"),
                                   QStringLiteral(""), QStringLiteral("😀"), QStringLiteral("1e99")}) {
            dlg.refundEdit()->setText(bad);
            QVERIFY2(settleSays(QStringLiteral("请输入正确的退款金额")), qPrintable(bad));
            QCOMPARE(dlg.focusWidget(), dlg.refundEdit());
        }
        dlg.refundEdit()->setText(QStringLiteral("-1"));
        QVERIFY(settleSays(QStringLiteral("退款金额不能小于0")));
        dlg.refundEdit()->setText(QStringLiteral("0"));
        QVERIFY(settleSays(QStringLiteral("退款金额不能为0")));
        dlg.refundEdit()->setText(QStringLiteral("15.50"));
        QVERIFY(settleSays(QStringLiteral("退款金额不能超过商品总价")));
        dlg.refundEdit()->setText(QStringLiteral("15"));
        QCOMPARE(dlg.pointsEdit()->text(), QStringLiteral("15"));
        QVERIFY(settleSays(QStringLiteral("会员剩余积分不足")));
        QCOMPARE(dlg.focusWidget(), dlg.pointsEdit());
        dlg.pointsEdit()->setText(QStringLiteral("'; DROP TABLE tb_members; --"));
        QVERIFY(settleSays(QStringLiteral("请输入正确的扣除积分")));
        // Given back as points, the same 15 are accepted; a No to the question writes nothing.
        dlg.modeButton(RefundPoints)->setChecked(true);
        dlg.pointsEdit()->setText(QStringLiteral("15"));
        messages.clear();
        messages.answerNext(false);
        dlg.settle();
        QCOMPARE(messages.boxTexts(), QStringList{QStringLiteral("确认退货?\n返还积分15分")});
        QVERIFY(dlg.isVisible());
        QCOMPARE(f.shop.count(QStringLiteral("tb_orders")), 0);
        QCOMPARE(f.value(QStringLiteral("SELECT Integral FROM tb_members")).toInt(), 5);
        QCOMPARE(dlg.listCtrl()->rowCount(), 2);
    }

    // "消费记录" shows once a member is loaded and opens that member's records; without a
    // member it is hidden and does nothing.
    void history() {
        Fixture f;
        QVERIFY2(f.shop.ok(), qPrintable(f.shop.error()));
        CReturnGoodsDlg dlg(f.shop.ctx);
        dlg.show();
        QVERIFY(dlg.historyButton()->isHidden());
        QVERIFY(!OpensModalOf<CUserHisDlg>([&] { dlg.showHistory(); }));
        dlg.loadMember(f.member);
        QVERIFY(!dlg.historyButton()->isHidden());
        QString title;
        QVERIFY(OpensModalOf<CUserHisDlg>([&] { dlg.historyButton()->click(); },
                                          [&](CUserHisDlg* his) { title = his->windowTitle(); }));
        QVERIFY(!title.isEmpty());
        dlg.loadMember(99999); // gone: the fields are cleared and no member is chosen
        QCOMPARE(dlg.memberId(), -1);
        QVERIFY(dlg.field(QStringLiteral("会员姓名："))->text().isEmpty());
        QVERIFY(dlg.historyButton()->isHidden());
        QVERIFY(!OpensModalOf<CUserHisDlg>([&] { dlg.showHistory(); }));
    }
};

QTEST_MAIN(TestReturnGoods)
#include "tst_return_goods.moc"
