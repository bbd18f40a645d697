// The ledger check: every way the program changes a balance leaves records that explain it, and
// every way the books can be wrong is named with its member or order, by core and by selvo-cli.
#include "TestShop.h"

#include "core/members/Topup.h"
#include "core/sales/Cancellation.h"
#include "core/sales/Ledger.h"
#include "core/sales/Posting.h"
#include "core/sales/Returns.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"

#include <QProcess>
#include <QTest>

using namespace selvo;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));

struct Run {
    int code = -1;
    QString out;
};
Run cli(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SELVO_DATA_DIR"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SELVO_CLI_PATH), args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

OrderDraft saleOf(int member, double amount, int payType) {
    OrderDraft d;
    d.memberId = member;
    d.totalPrice = amount;
    d.realTotalPrice = payType == PayPoints ? 0 : amount;
    d.cumulative = d.realTotalPrice;
    d.prdSum = 1;
    d.points = payType == PayPoints ? -int(amount) : int(amount);
    d.saleDate = kNow;
    d.orderType = payType == PayPoints ? OrderPointsExchange : OrderSale;
    d.payment.payType = payType;
    d.payment.pointsUsed = payType == PayPoints ? int(amount) : 0;
    if (payType == PayCash)
        d.payment.cashReceived = amount;
    OrderLine line;
    line.code = QStringLiteral("P1");
    line.name = QStringLiteral("商品一");
    line.price = amount;
    line.quantity = 1;
    line.discountPrice = amount;
    line.totalPrice = d.realTotalPrice;
    d.lines << line;
    d.stockMoves << std::pair{QStringLiteral("P1"), 1.0};
    return d;
}
} // namespace

class TestLedger final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

    static QString post(test::TestShop& shop, const OrderDraft& d) {
        const PostResult r = PostOrder(shop.ctx, d);
        return r.ok ? r.orderNo : QString();
    }
    static bool topup(test::TestShop& shop, int member, bool recharge, double amount, double bonus = 0) {
        TopupPlan p;
        p.memberId = member;
        p.recharge = recharge;
        p.amount = amount;
        p.bonus = bonus;
        return CommitTopup(shop.ctx, p).ok;
    }
    static QString giveBack(test::TestShop& shop, int member, int product, int mode, const QString& refund) {
        Cart list;
        list.add(*LoadSaleProduct(shop.ctx, product), true);
        ReturnInput in;
        in.memberId = member;
        in.mode = mode;
        in.refundText = refund;
        in.pointsText = QStringLiteral("0");
        const ReturnPlan plan = PrepareReturn(shop.ctx, list, in);
        if (!plan.ok())
            return {};
        const ReturnResult r = CommitReturn(shop.ctx, plan);
        return r.ok ? r.orderNo : QString();
    }
    static bool cancel(test::TestShop& shop, const QString& orderNo) {
        const CancelPlan plan = PrepareCancelOrder(shop.ctx, orderNo);
        return plan.ok() && CommitCancelOrder(shop.ctx, plan, QStringLiteral("撤销")).ok;
    }

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }

    // Every step the program has for a balance keeps it equal to what its rows say.
    void everyBalanceStepKeepsTheLedger() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int m = shop.addMember(QStringLiteral("张三"), QStringLiteral("1"), 0, 0);
        const int product = shop.addProduct(QStringLiteral("P1"), QStringLiteral("商品一"), 30, 10, 100);
        QVERIFY(m > 0 && product > 0);
        const auto holds = [&](const char* step) {
            const QStringList problems = CheckLedger(shop.ctx.db);
            if (!problems.isEmpty())
                qWarning() << step << problems;
            return problems.isEmpty();
        };
        QVERIFY(topup(shop, m, true, 100, 10));
        QVERIFY(holds("recharge"));
        QVERIFY(topup(shop, m, false, 5));
        QVERIFY(holds("deduction"));
        const QString byBalance = post(shop, saleOf(m, 30, PayBalance));
        QVERIFY(!byBalance.isEmpty());
        QVERIFY(holds("balance sale"));
        // 75 left: a sale of 90 recharges the shortfall first, in the same posting.
        OrderDraft shortSale = saleOf(m, 90, PayBalance);
        shortSale.payment.shortfall = 15;
        shortSale.payment.recharge = 20;
        const QString recharged = post(shop, shortSale);
        QVERIFY(!recharged.isEmpty());
        QVERIFY(holds("sale with an automatic recharge"));
        QVERIFY(!post(shop, saleOf(m, 12, PayCash)).isEmpty());
        QVERIFY(!post(shop, saleOf(m, 10, PayPoints)).isEmpty());
        QVERIFY(holds("cash and points sales"));
        OrderDraft fast = saleOf(m, 3, PayBalance);
        fast.orderType = OrderFastSale;
        fast.lines.clear();
        fast.stockMoves.clear();
        QVERIFY(!post(shop, fast).isEmpty());
        QVERIFY(holds("fast sale from the balance"));
        const QString returned = giveBack(shop, m, product, RefundBalance, QStringLiteral("25"));
        QVERIFY(!returned.isEmpty());
        QVERIFY(!giveBack(shop, m, product, RefundCash, QStringLiteral("20")).isEmpty());
        QVERIFY(holds("returns"));
        QVERIFY(cancel(shop, byBalance));
        QVERIFY(holds("cancelled balance sale"));
        QVERIFY(cancel(shop, recharged));
        QVERIFY(holds("cancelled sale with an automatic recharge"));
        QVERIFY(cancel(shop, returned));
        QVERIFY(holds("cancelled return to the balance"));
        // 110 − 5 − 30 + 20 − 90 − 3 + 25 + 30 + 90 − 25
        QCOMPARE(shop.ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {m})
                     ->toDouble(),
                 122.0);
    }

    void discrepanciesAreNamed_data() {
        QTest::addColumn<QString>("tamper");
        QTest::addColumn<QString>("expected");
        QTest::newRow("balance changed by hand")
            << QStringLiteral("UPDATE tb_members SET Balance = Balance + 1 WHERE ID = :m")
            << QStringLiteral("member :m (张三): balance 61.00, but the recharge records (100.00) and the "
                              "balance-paid orders (40.00) make 60.00");
        QTest::newRow("recharge record deleted")
            << QStringLiteral("DELETE FROM tb_TopupRecord WHERE MemID = :m")
            << QStringLiteral("member :m (张三): balance 60.00, but the recharge records (0.00) and the "
                              "balance-paid orders (40.00) make -40.00");
        QTest::newRow("balance-paid order deleted without giving the money back")
            << QStringLiteral("DELETE FROM tb_orders WHERE OrderNo = 'B1'; DELETE FROM tb_order_lines WHERE "
                              "OrderNo = 'B1'")
            << QStringLiteral("member :m (张三): balance 60.00, but the recharge records (100.00) and the "
                              "balance-paid orders (0.00) make 100.00");
        QTest::newRow("points below zero")
            << QStringLiteral("UPDATE tb_members SET Integral = -3 WHERE ID = :m")
            << QStringLiteral("member :m (张三): points below zero (-3)");
        QTest::newRow("balance below zero")
            << QStringLiteral("UPDATE tb_TopupRecord SET Total = Total - 160 WHERE MemID = :m; "
                              "UPDATE tb_members SET Balance = -100 WHERE ID = :m")
            << QStringLiteral("member :m (张三): balance below zero (-100.00)");
        QTest::newRow("line without its order")
            << QStringLiteral("DELETE FROM tb_orders WHERE OrderNo = 'C1'")
            << QStringLiteral("order C1: 1 lines without their order");
        QTest::newRow("order without lines")
            << QStringLiteral("DELETE FROM tb_order_lines WHERE OrderNo = 'C1'")
            << QStringLiteral("order C1: has no lines");
        QTest::newRow("order number twice")
            << QStringLiteral("DROP INDEX ux_orders_no; "
                              "INSERT INTO tb_orders(OrderNo, MemID, PayType, OrderType, RealTotalPrice) "
                              "VALUES('C1', -1, 1, 4, 5)")
            << QStringLiteral("order C1: number used by 2 orders");
    }
    void discrepanciesAreNamed() {
        QFETCH(QString, tamper);
        QFETCH(QString, expected);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int m = shop.addMember(QStringLiteral("张三"), QStringLiteral("1"), 60, 0);
        QVERIFY(WriteTopupRecord(shop.ctx, true, m, QString(), 100, 0, 0));
        test::OrderSpec b;
        b.orderNo = QStringLiteral("B1");
        b.memberId = m;
        b.payType = PayBalance;
        b.realTotalPrice = 40;
        b.lines = {{QStringLiteral("P1"), 1, 40}};
        test::OrderSpec c;
        c.orderNo = QStringLiteral("C1");
        c.realTotalPrice = 5;
        c.lines = {{QStringLiteral("P1"), 1, 5}};
        QVERIFY(shop.addOrder(b) && shop.addOrder(c));
        QCOMPARE(CheckLedger(shop.ctx.db), QStringList());

        for (QString statement : tamper.split(QStringLiteral("; "))) {
            statement.replace(QStringLiteral(":m"), QString::number(m));
            QVERIFY2(shop.ctx.db.exec(statement), qPrintable(shop.ctx.db.lastError()));
        }
        expected.replace(QStringLiteral(":m"), QString::number(m));
        const QStringList problems = CheckLedger(shop.ctx.db);
        QVERIFY2(problems.size() == 1 && problems[0].startsWith(expected), qPrintable(problems.join(u'\n')));

        // selvo-cli check names it too, and fails.
        const Run check = cli({QStringLiteral("check"), QStringLiteral("--data"), shop.dataFolder()});
        QVERIFY2(check.code == 1, qPrintable(check.out));
        QVERIFY2(check.out.contains(QStringLiteral("ledger: ") + expected), qPrintable(check.out));
    }
};

QTEST_GUILESS_MAIN(TestLedger)
#include "tst_ledger.moc"
