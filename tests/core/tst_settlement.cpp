#include "TestShop.h"

#include "core/members/Topup.h"
#include "core/sales/Posting.h"
#include "core/sales/Returns.h"
#include "core/sales/Settlement.h"
#include "core/support/Money.h"

#include <QTest>

using namespace selvo;

class TestSettlement final : public QObject {
    Q_OBJECT

private slots:
    void pointsNeeded_data() {
        QTest::addColumn<double>("amount");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("points");
        QTest::newRow("12.30 rounds up") << 12.30 << 100 << 1300;
        QTest::newRow("whole yuan stays") << 12.0 << 100 << 1200;
        QTest::newRow("one fen") << 0.01 << 100 << 100;
        QTest::newRow("float noise above a whole yuan") << 0.1 + 0.2 + 11.7 << 10 << 120;
        QTest::newRow("huge amount is capped") << 1e12 << 100 << 2147483647;
    }
    void pointsNeeded() {
        QFETCH(double, amount);
        QFETCH(int, rate);
        QFETCH(int, points);
        QCOMPARE(PointsNeeded(amount, rate), points);
    }

    void cash_data() {
        QTest::addColumn<QString>("cash");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<double>("change");
        QTest::newRow("50 for 35.50") << "￥50"
                                      << ""
                                      << "收取现金￥    50.00 元\r\n      找零￥    14.50 元" << 14.5;
        QTest::newRow("exact") << "￥35.50"
                               << ""
                               << "收取现金￥    35.50 元\r\n      找零￥     0.00 元" << 0.0;
        QTest::newRow("one fen short") << "￥35.49"
                                       << "收款金额不足,不能结账"
                                       << "" << 0.0;
        QTest::newRow("without the sign") << "40"
                                          << ""
                                          << "收取现金￥    40.00 元\r\n      找零￥     4.50 元" << 4.5;
        QTest::newRow("empty") << ""
                               << "请输入正确的收款金额"
                               << "" << 0.0;
        QTest::newRow("text") << "abc"
                              << "请输入正确的收款金额"
                              << "" << 0.0;
        QTest::newRow("trailing text") << "50元"
                                       << "请输入正确的收款金额"
                                       << "" << 0.0;
        QTest::newRow("infinity") << "inf"
                                  << "请输入正确的收款金额"
                                  << "" << 0.0;
        QTest::newRow("huge") << "1e300"
                              << "请输入正确的收款金额"
                              << "" << 0.0;
        QTest::newRow("negative") << "-50"
                                  << "收款金额不足,不能结账"
                                  << "" << 0.0;
    }
    void cash() {
        QFETCH(QString, cash);
        QFETCH(QString, refusal);
        QFETCH(QString, confirmation);
        QFETCH(double, change);
        const SettlementCheck c = CheckCashPayment(cash, 35.5);
        QCOMPARE(c.refusal, refusal);
        QCOMPARE(c.confirmation, confirmation);
        if (c.ok()) {
            QCOMPARE(c.payment.payType, int(PayCash));
            QCOMPARE(c.payment.change, change);
        }
    }

    // One typed amount means one sum in every dialog: settlement, recharge, fast sale, returns.
    void everyDialogReadsAnAmountAlike_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("full-width sign") << "￥40";
        QTest::newRow("half-width sign") << "¥40";
        QTest::newRow("sign and blanks") << " ¥ 40 ";
        QTest::newRow("no sign") << "40";
    }
    void everyDialogReadsAnAmountAlike() {
        QFETCH(QString, text);
        QCOMPARE(ParseMoneyText(text), 40.0);
        const SettlementCheck cash = CheckCashPayment(text, 35.5);
        QVERIFY2(cash.ok(), qPrintable(cash.refusal));
        QCOMPARE(cash.payment.change, 4.5);
        TopupRequest recharge;
        recharge.memberId = 1;
        recharge.amountText = text;
        const TopupPlan topup = PrepareTopup(recharge);
        QVERIFY2(topup.ok(), qPrintable(topup.refusal));
        QCOMPARE(topup.amount, 40.0);
        const FastSaleInput fast{true, kWalkInMember, text, QStringLiteral("0")};
        QCOMPARE(CheckFastSale(fast), QString());
        QCOMPARE(FastSaleAmount(text), 40.0);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int product = shop.addProduct(QStringLiteral("P1"), QStringLiteral("可乐"), 50);
        Cart list;
        const auto row = LoadSaleProduct(shop.ctx, product);
        QVERIFY(row);
        list.add(*row, false);
        ReturnInput back;
        back.guest = true;
        back.refundText = text;
        const ReturnPlan plan = PrepareReturn(shop.ctx, list, back);
        QVERIFY2(plan.refusal.isEmpty(), qPrintable(plan.refusal));
        QCOMPARE(plan.refund, 40.0);
    }

    void liveTexts() {
        QCOMPARE(ChangeLineText(QStringLiteral("￥50.00"), 35.5),
                 QStringLiteral("        找零：   ￥ 14.50"));
        QCOMPARE(ChangeLineText(QStringLiteral("￥35.50"), 35.5), QStringLiteral("        找零：   ￥ 0.00"));
        QCOMPARE(ChangeLineText(QStringLiteral("￥3"), 35.5), QStringLiteral("        找零：    收款不足"));
        const ExcessCaptions enough = ExcessCaptionsFor(QStringLiteral("￥20"), 15.5);
        QCOMPARE(enough.change, QStringLiteral("找零￥4.50"));
        QCOMPARE(enough.deposit, QStringLiteral("充入余额￥4.50"));
        const ExcessCaptions shortOf = ExcessCaptionsFor(QStringLiteral("10"), 15.5);
        QCOMPARE(shortOf.change, QStringLiteral("收款不足"));
        QCOMPARE(shortOf.deposit, QStringLiteral("收款不足"));
        QCOMPARE(ParseMoneyText(QStringLiteral("￥14.505")), 14.51);
    }

    void balance_data() {
        QTest::addColumn<double>("balance");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<bool>("keep");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("confirmation");
        QTest::addColumn<double>("recharge");
        QTest::newRow("enough") << 50.0 << "" << false << ""
                                << "扣除余额: ￥    35.50 元\r\n无需收银、无需找零" << 0.0;
        QTest::newRow("exactly enough") << 35.5 << "" << false << ""
                                        << "扣除余额: ￥    35.50 元\r\n无需收银、无需找零" << 0.0;
        QTest::newRow("short, change given")
            << 20.0 << "￥20" << false << ""
            << "扣除余额￥    20.00 元\r\n收取现金￥    20.00 元\r\n      找零￥     4.50 元" << 15.5;
        QTest::newRow("short, excess kept") << 20.0 << "￥20" << true << ""
                                            << "扣除余额￥    20.00 元\r\n收取现金￥    20.00 元\r\n      "
                                               "找零￥     无需找零\r\n充入余额￥     4.50 元"
                                            << 20.0;
        QTest::newRow("short, exact extra")
            << 20.0 << "￥15.50" << false << ""
            << "扣除余额￥    20.00 元\r\n收取现金￥    15.50 元\r\n      找零￥     0.00 元" << 15.5;
        QTest::newRow("short, too little") << 20.0 << "￥15.49" << false << "余额不足,不能结账!"
                                           << "" << 0.0;
        QTest::newRow("short, text") << 20.0 << "abc" << false << "请输入正确的收款金额"
                                     << "" << 0.0;
    }
    void balance() {
        QFETCH(double, balance);
        QFETCH(QString, extra);
        QFETCH(bool, keep);
        QFETCH(QString, refusal);
        QFETCH(QString, confirmation);
        QFETCH(double, recharge);
        // The disabled field holds the shortfall shown when the balance mode was chosen.
        const QString shortfall = QStringLiteral("￥%1").arg(35.5 - balance, 0, 'f', 2);
        const SettlementCheck c = CheckBalancePayment(7, balance, 35.5, shortfall, extra, keep);
        QCOMPARE(c.refusal, refusal);
        QCOMPARE(c.confirmation, confirmation);
        if (c.ok()) {
            QCOMPARE(c.payment.payType, int(PayBalance));
            QCOMPARE(c.payment.recharge, recharge);
            QCOMPARE(c.payment.autoRecharge(), recharge > 0);
            if (recharge > 0) {
                QCOMPARE(c.payment.shortfall, 15.5);
                QCOMPARE(c.payment.balanceBefore, balance);
            }
            QCOMPARE(c.payment.cashReceived, 0.0);
        }
    }

    // The dialog shows "余额充足" exactly when the balance payment deducts the balance alone, and
    // otherwise asks for the shortfall it shows.
    void balanceCoversAsThePaymentDoes_data() {
        QTest::addColumn<double>("balance");
        QTest::addColumn<double>("due");
        QTest::addColumn<bool>("covers");
        QTest::addColumn<double>("shortfall");
        QTest::newRow("more") << 50.0 << 35.5 << true << 0.0;
        QTest::newRow("exactly") << 35.5 << 35.5 << true << 0.0;
        QTest::newRow("float noise") << 0.1 + 0.2 << 0.3 << true << 0.0;
        QTest::newRow("due below half a fen more") << 35.5 << 35.504 << true << 0.0;
        QTest::newRow("one fen short") << 35.49 << 35.5 << false << 0.01;
        QTest::newRow("nothing on it") << 0.0 << 35.5 << false << 35.5;
        QTest::newRow("overdrawn") << -4.5 << 35.5 << false << 40.0;
    }
    void balanceCoversAsThePaymentDoes() {
        QFETCH(double, balance);
        QFETCH(double, due);
        QFETCH(bool, covers);
        QFETCH(double, shortfall);
        QCOMPARE(BalanceCovers(balance, due), covers);
        if (!covers)
            QCOMPARE(BalanceShortfall(balance, due), shortfall);
        // What the dialog then puts in its fields, and what OK makes of them.
        const QString shortText = covers ? QString() : FormatMoney(BalanceShortfall(balance, due));
        const SettlementCheck c = CheckBalancePayment(7, balance, due, shortText, shortText, false);
        QVERIFY2(c.ok(), qPrintable(c.refusal));
        QCOMPARE(c.payment.autoRecharge(), !covers);
        if (!covers)
            QCOMPARE(c.payment.recharge, shortfall);
    }

    void points_data() {
        QTest::addColumn<int>("memberPoints");
        QTest::addColumn<bool>("clearAll");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<int>("used");
        QTest::newRow("enough") << 2000 << false << "" << 1300;
        QTest::newRow("cleared after") << 2000 << true << "" << 2000;
        QTest::newRow("exactly enough") << 1300 << false << "" << 1300;
        QTest::newRow("short") << 1299 << true << "积分不足,不能兑换!" << 0;
    }
    void points() {
        QFETCH(int, memberPoints);
        QFETCH(bool, clearAll);
        QFETCH(QString, refusal);
        QFETCH(int, used);
        const SettlementCheck c =
            CheckPointsPayment(7, memberPoints, PointsNeeded(12.3, 100), 12.3, clearAll);
        QCOMPARE(c.refusal, refusal);
        if (c.ok()) {
            QCOMPARE(c.confirmation, QStringLiteral("确认使用 1300 积分兑换价值 ￥ 12.30 元 的商品吗？"));
            QCOMPARE(c.payment.payType, int(PayPoints));
            QCOMPARE(c.payment.pointsUsed, used);
        }
    }

    void guestPaysOnlyCash() {
        QVERIFY(!CheckBalancePayment(kWalkInMember, 100, 35.5, QString(), QString(), false).ok());
        QVERIFY(!CheckPointsPayment(kWalkInMember, 100000, 100, 1, false).ok());
    }

    void memberForTheDialog() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int id = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000000"), 20, 1500);
        const auto m = LoadSettlementMember(shop.ctx, id);
        QVERIFY(m);
        QCOMPARE(m->name, QStringLiteral("张三"));
        QCOMPARE(m->balance, 20.0);
        QCOMPARE(m->points, 1500);
        QVERIFY(!LoadSettlementMember(shop.ctx, id + 100));
    }
};

QTEST_GUILESS_MAIN(TestSettlement)
#include "tst_settlement.moc"
