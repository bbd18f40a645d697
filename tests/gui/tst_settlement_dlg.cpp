#include "GuiDriver.h"
#include "TestShop.h"

#include "core/store/Vocabulary.h"
#include "core/support/Money.h"
#include "gui/app/Messages.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/sales/CFastSaleDlg.h"
#include "gui/sales/CSettlementDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {} // namespace

class TestSettlementDlg final : public QObject {
    Q_OBJECT

private slots:
    void cashModeTexts() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CSettlementDlg dlg(shop.ctx, kWalkInMember, 35.5);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("结算帐单"));
        QVERIFY(dlg.cashRadio()->isChecked());
        QCOMPARE(dlg.focusWidget(), dlg.cashEdit());
        QCOMPARE(dlg.cashEdit()->selectedText(), QStringLiteral("35.50"));
        QVERIFY(!dlg.extraCashEdit()->isVisible());
        QVERIFY(!dlg.clearPointsBox()->isVisible());
        dlg.cashEdit()->setText(QStringLiteral("￥30"));
        QCOMPARE(dlg.changeLine()->text(), QStringLiteral("        找零：    收款不足"));
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("收款金额不足,不能结账")});
        QVERIFY(dlg.isVisible());
        // "No" to the question leaves the dialog open.
        dlg.cashEdit()->setText(QStringLiteral("35.50"));
        dlg.accept();
        QCOMPARE(messages.boxTexts().size(), 1);
        QVERIFY(dlg.isVisible());
        messages.answerNext(true);
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.payment().payType, int(PayCash));
        QCOMPARE(dlg.payment().change, 0.0);
    }

    void balanceAndPointsModes() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.interalToYuan = 100;
        const int member = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 50, 1200);
        MessageRecorder messages;
        CSettlementDlg dlg(shop.ctx, member, 12.3);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("帐户余额"))->text(), QStringLiteral("￥50.00"));
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("剩余积分"))->text(), QStringLiteral("1200"));

        dlg.balanceRadio()->click();
        QCOMPARE(dlg.infoLine()->text(), QStringLiteral("余额充足，可以消费"));
        QVERIFY(dlg.idHint()->isVisible());
        QVERIFY(!dlg.cashEdit()->isVisible());

        dlg.pointsRadio()->click();
        QCOMPARE(dlg.cashLabel()->text(), QStringLiteral("所需积分："));
        QCOMPARE(dlg.infoLine()->text(), QStringLiteral("1300"));
        QVERIFY(dlg.clearPointsBox()->isVisible());
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("积分不足,不能兑换!")});

        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET Integral = 1500 WHERE ID = ?"), {member}));
        dlg.clearPointsBox()->setChecked(true);
        messages.answerNext(true);
        dlg.accept();
        QCOMPARE(messages.boxTexts().last(),
                 QStringLiteral("确认使用 1300 积分兑换价值 ￥ 12.30 元 的商品吗？"));
        QCOMPARE(dlg.payment().payType, int(PayPoints));
        QCOMPARE(dlg.payment().pointsUsed, 1500);
        // The dialog itself writes nothing.
        QCOMPARE(shop.pointsOf(member), 1500);
    }

    void unreadableMemberPostsNothing() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CSettlementDlg dlg(shop.ctx, 4242, 10);
        QCOMPARE(messages.boxTexts(), QStringList{QStringLiteral("无法读取会员信息，请重试！")});
        QVERIFY(!dlg.usable());
        QVERIFY(dlg.amountLabel()->text().isEmpty());
        QVERIFY(!dlg.cashRadio()->isEnabled());
        messages.defaultAnswer = true;
        dlg.accept();
        QVERIFY(dlg.result() != QDialog::Accepted);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("无法读取会员信息，请重试！")});
    }

    void fastSaleGuestInCash() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CFastSaleDlg dlg(shop.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("快速销售"));

        dlg.amountEdit()->setText(QStringLiteral("50"));
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请选择会员\r\n或设置为散客消费！")});

        dlg.guestBox()->setChecked(true);
        QVERIFY(!dlg.pointsEdit()->isVisible());
        QVERIFY(!dlg.chooseMemberButton()->isEnabled());
        dlg.amountEdit()->setText(QStringLiteral("0"));
        dlg.accept();
        QCOMPARE(messages.toastTexts().last(), QStringLiteral("实收价格不能小于0"));

        // Cancelling the settlement keeps the dialog with its inputs.
        dlg.amountEdit()->setText(QStringLiteral("50"));
        dlg.remarkEdit()->setText(QStringLiteral("快售"));
        OnNextModalOf<CSettlementDlg>([](CSettlementDlg* pay) { pay->reject(); }, nullptr);
        dlg.accept();
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.amountEdit()->text(), QStringLiteral("50"));
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 0);

        OnNextModalOf<CSettlementDlg>([&](CSettlementDlg* pay) {
            messages.answerNext(true);
            pay->accept();
        });
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(messages.boxTexts().last(), QStringLiteral("消费成功"));
        QCOMPARE(messages.toastTexts().last(), QStringLiteral("消费成功"));
        QCOMPARE(shop.count(QStringLiteral("tb_orders"),
                            QStringLiteral("MemID = -1 AND OrderType = 4 AND PrdSum = 0 "
                                           "AND Integral = 0 AND Remark = ?"),
                            {QStringLiteral("快售")}),
                 1);
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines")), 0);
    }

    void fastSaleMemberPoints() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.yuanToInteral = 10;
        const int member = shop.addMember(QStringLiteral("李四"), QStringLiteral("13900000001"), 0, 5);
        MessageRecorder messages;
        CFastSaleDlg dlg(shop.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        OnNextModalOf<CSelUserDlg>([](CSelUserDlg* pick) { pick->accept(); });
        QVERIFY(dlg.chooseMember());
        QCOMPARE(dlg.memberId(), member);
        QCOMPARE(dlg.nameLabel()->text(), QStringLiteral("李四"));

        dlg.amountEdit()->setText(QStringLiteral("99.9"));
        QCOMPARE(dlg.pointsEdit()->text(), QStringLiteral("9"));
        dlg.pointsEdit()->setText(QStringLiteral("20"));
        OnNextModalOf<CSettlementDlg>([&](CSettlementDlg* pay) {
            pay->cashEdit()->setText(QStringLiteral("100"));
            messages.answerNext(true);
            pay->accept();
        });
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(shop.pointsOf(member), 25);
        QCOMPARE(shop.count(QStringLiteral("tb_orders"), QStringLiteral("GetMoney = 100 AND Integral = 20")),
                 1);
    }
};

QTEST_MAIN(TestSettlementDlg)
#include "tst_settlement_dlg.moc"
