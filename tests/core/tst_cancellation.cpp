#include "TableDump.h"
#include "TestShop.h"

#include "core/sales/Cancellation.h"
#include "core/sales/SalesRecords.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"

#include <QProcess>
#include <QTest>

using namespace selvo;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));
const QString kOrder = QStringLiteral("2024030514000012345");
const QString kLog = QStringLiteral("撤销订单，订单详情（测试）");

// Each kind of order as the postings store it, for a member with balance 100, 50 points and a
// cumulative spending of 200. Lines: A ×2 and B ×1.5 for sales, A ×-2 for returns.
test::OrderSpec orderOf(const QString& kind, int member) {
    test::OrderSpec o;
    o.orderNo = kOrder;
    o.memberId = member;
    o.lines = {{QStringLiteral("A"), 2, 20}, {QStringLiteral("B"), 1.5, 15}};
    if (kind == QLatin1String("guest")) {
        o.memberId = kWalkInMember;
        o.realTotalPrice = 18;
    } else if (kind == QLatin1String("cash")) {
        o.realTotalPrice = 100;
        o.points = 10;
    } else if (kind == QLatin1String("balance")) {
        o.payType = PayBalance;
        o.realTotalPrice = 35.5;
        o.points = 3;
    } else if (kind == QLatin1String("points")) {
        o.payType = PayPoints;
        o.orderType = OrderPointsExchange;
        o.points = -1300;
    } else if (kind == QLatin1String("fast")) {
        o.orderType = OrderFastSale;
        o.realTotalPrice = 50;
        o.points = 5;
        o.lines.clear();
    } else if (kind.startsWith(QLatin1String("return"))) {
        o.orderType = OrderReturn;
        o.lines = {{QStringLiteral("A"), -2, -20}};
        if (kind == QLatin1String("return-balance")) {
            o.payType = PayBalance;
            o.realTotalPrice = -20;
            o.points = -2;
        } else if (kind == QLatin1String("return-cash")) {
            o.realTotalPrice = -12.5;
            o.points = -2;
        } else {
            o.payType = PayPoints;
            o.points = 30;
        }
    }
    return o;
}

using test::Account;
} // namespace

class TestCancellation final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

    // The balance less what its recharge records and balance-paid sales say it should be: a
    // cancellation must not change it.
    static double ledgerGap(test::TestShop& shop, int member) {
        const double records =
            shop.ctx.db
                .scalar(QStringLiteral("SELECT coalesce(sum(Total), 0) FROM tb_TopupRecord WHERE MemID = ?"),
                        {member})
                ->toDouble();
        const double spent =
            shop.ctx.db
                .scalar(QStringLiteral("SELECT coalesce(sum(RealTotalPrice), 0) FROM tb_orders "
                                       "WHERE MemID = ? AND PayType = 2 AND OrderType <> 2"),
                        {member})
                ->toDouble();
        return shop.accountOf(member).balance - (records - spent);
    }

    // A member with balance 100, 50 points, 200 spent, products A and B with 10 in stock, and
    // one order of `kind`. A return to the balance comes with its "退货返还" record.
    static int setUp(test::TestShop& shop, const QString& kind) {
        const int member = shop.addMember(QStringLiteral("张三"), QStringLiteral("13900000000"), 100, 50);
        shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET Cumulative = 200 WHERE ID = ?"), {member});
        shop.addProduct(QStringLiteral("A"), QStringLiteral("甲"), 10, 6, 10);
        shop.addProduct(QStringLiteral("B"), QStringLiteral("乙"), 10, 6, 10);
        shop.ctx.db.exec(
            QStringLiteral("INSERT INTO tb_TopupRecord(SaleManID, MemID, Amount, Giving, Total, "
                           "BefBalance, AftBalance, OpType, Remark) VALUES(1, ?, 100, 0, 100, 0, 100, "
                           "1, '')"),
            {member});
        if (kind == QLatin1String("return-balance"))
            shop.ctx.db.exec(
                QStringLiteral("INSERT INTO tb_TopupRecord(SaleManID, MemID, Amount, Giving, Total, "
                               "BefBalance, AftBalance, OpType, Remark) VALUES(1, ?, 20, 0, 20, 80, "
                               "100, 1, '退货返还')"),
                {member});
        if (kind == QLatin1String("balance"))
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_TopupRecord SET Total = 135.5 WHERE MemID = ?"),
                             {member});
        if (!shop.addOrder(orderOf(kind, member)))
            return -1;
        return member;
    }

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }
    void init() { m_clock.set(kNow); }

    // What each kind asks, and what it undoes once the operator says yes.
    void reversals_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("question");
        QTest::addColumn<double>("balance");
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("cumulative");
        QTest::addColumn<double>("stockA");
        QTest::addColumn<double>("stockB");
        QTest::newRow("guest sale")
            << "guest"
            << "如已收款，需要退还客户18.00元现金\r\n此订单为【散客消费】，订单将被删除。\r\n"
               "确认撤销此订单吗？"
            << 0.0 << 0 << 0.0 << 12.0 << 11.5;
        QTest::newRow("member cash sale")
            << "cash"
            << "如已收款，需要退还客户100.00元现金\r\n订单详情【会员消费】【现金支付】\r\n"
               "撤销后将扣除会员所得【积分】10\r\n确认撤销此订单吗？"
            << 0.0 << -10 << -100.0 << 12.0 << 11.5;
        QTest::newRow("balance sale")
            << "balance"
            << "无需退现金 \r\n订单详情【会员消费】【余额支付】\r\n"
               "撤销后将返还会员【余额】35.50元，扣除【积分】3。\r\n确认撤销此订单吗？"
            << 35.5 << -3 << -35.5 << 12.0 << 11.5;
        QTest::newRow("points exchange") << "points"
                                         << "无须退现金\r\n此订单为【会员积分兑换】，将返还积分1300。\r\n"
                                            "确认撤销此订单吗？"
                                         << 0.0 << 1300 << 0.0 << 12.0 << 11.5;
        QTest::newRow("fast sale without lines") << "fast"
                                                 << "如已收款，需要退还客户50.00元现金\r\n"
                                                    "订单详情【会员消费】【现金支付】\r\n"
                                                    "撤销后将扣除会员所得【积分】5\r\n确认撤销此订单吗？"
                                                 << 0.0 << -5 << -50.0 << 10.0 << 10.0;
        QTest::newRow("return to the balance")
            << "return-balance"
            << "无需退现金 \r\n此订单为【会员退货】【返还余额】\r\n"
               "撤销后将扣除【余额】20.00元，返还【积分】2。\r\n确认撤销此订单吗？"
            << -20.0 << 2 << 20.0 << 8.0 << 10.0;
        QTest::newRow("return in cash") << "return-cash"
                                        << "需要向客户收回12.50元现金\r\n此订单为【会员退货】【现金退款】\r\n"
                                           "撤销后将返还【积分】2。\r\n确认撤销此订单吗？"
                                        << 0.0 << 2 << 12.5 << 8.0 << 10.0;
        QTest::newRow("return in points")
            << "return-points"
            << "无须退现金\r\n此订单为【会员退货】【返还积分】，将扣除积分30积分。\r\n"
               "确认撤销此订单吗？"
            << 0.0 << -30 << 0.0 << 8.0 << 10.0;
    }
    void reversals() {
        QFETCH(QString, kind);
        QFETCH(QString, question);
        QFETCH(double, balance);
        QFETCH(int, points);
        QFETCH(double, cumulative);
        QFETCH(double, stockA);
        QFETCH(double, stockB);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = setUp(shop, kind);
        QVERIFY(member > 0);
        const Account before = shop.accountOf(member);
        const double gap = ledgerGap(shop, member);
        const qint64 records = shop.count(QStringLiteral("tb_TopupRecord"));

        const CancelPlan plan = PrepareCancelOrder(shop.ctx, kOrder);
        QVERIFY2(plan.ok(), qPrintable(plan.refusal));
        QCOMPARE(plan.confirmation, question);
        const CancelResult r = CommitCancelOrder(shop.ctx, plan, kLog);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));

        const Account after = shop.accountOf(member);
        QCOMPARE(after.balance - before.balance, balance);
        QCOMPARE(after.points - before.points, points);
        QCOMPARE(after.cumulative - before.cumulative, cumulative);
        QCOMPARE(shop.stockOf(QStringLiteral("A")), stockA);
        QCOMPARE(shop.stockOf(QStringLiteral("B")), stockB);
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 0);
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines")), 0);
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord"), QStringLiteral("Content = ?"), {kLog}), 1);
        // No stock history for a cancellation.
        QCOMPARE(shop.count(QStringLiteral("tb_prdnum_record")), 0);
        // The records still explain the balance: a refund taken back leaves a deduction record.
        QCOMPARE(ledgerGap(shop, member), gap);
        if (kind == QLatin1String("return-balance")) {
            QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord")), records + 1);
            QCOMPARE(shop.count(
                         QStringLiteral("tb_TopupRecord"),
                         QStringLiteral("OpType = 0 AND Total = -20 AND BefBalance = 100 AND AftBalance = 80 "
                                        "AND Remark = ?"),
                         {CancelReturnRemark(kOrder)}),
                     1);
        } else {
            QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord")), records);
        }

        // The same question answered again finds nothing left to cancel.
        const auto done = test::DumpTables(shop.ctx);
        const CancelResult again = CommitCancelOrder(shop.ctx, plan, kLog);
        QVERIFY(!again.ok);
        QCOMPARE(again.message, QStringLiteral("订单不存在或已被删除"));
        QVERIFY(test::DumpTables(shop.ctx) == done);
    }

    // Refusals: nothing is asked and nothing changes.
    void refusals_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("change"); // what happened before the operator chose "撤销订单"
        QTest::addColumn<QString>("refusal");
        QTest::newRow("another operator's order") << "cash"
                                                  << "other-operator"
                                                  << "对不起，只能撤销自己创建的订单！";
        QTest::newRow("24 h 30 min old") << "guest"
                                         << "old"
                                         << "对不起，只能撤销24小时之内创建的订单！";
        QTest::newRow("creation time unreadable") << "guest"
                                                  << "no-date"
                                                  << "对不起，只能撤销24小时之内创建的订单！";
        QTest::newRow("points already spent") << "cash"
                                              << "points-5"
                                              << "无法撤销\r\n原因：应扣积分10,会员剩余积分5,积分不足！";
        QTest::newRow("refund already spent") << "return-balance"
                                              << "balance-15.9"
                                              << "无法撤销\r\n原因：应扣余额20,会员剩余余额15,余额不足！";
        QTest::newRow("points given by a return spent")
            << "return-points"
            << "points-29"
            << "无法撤销\r\n原因：应扣积分30,会员剩余积分29,积分不足！";
        QTest::newRow("deleted order") << "cash"
                                       << "delete-order"
                                       << "订单不存在或已被删除";
        QTest::newRow("deleted member") << "balance"
                                        << "delete-member"
                                        << "无法读取会员信息";
    }
    void refusals() {
        QFETCH(QString, kind);
        QFETCH(QString, change);
        QFETCH(QString, refusal);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = setUp(shop, kind);
        QVERIFY(member > 0);
        auto& db = shop.ctx.db;
        if (change == QLatin1String("other-operator")) {
            const int clerk = shop.addOperator(QStringLiteral("clerk"), QStringLiteral("x"));
            db.exec(QStringLiteral("UPDATE tb_orders SET SaleManID = ?"), {clerk});
        } else if (change == QLatin1String("old")) {
            m_clock.set(kNow.addSecs(24 * 3600 + 30 * 60));
        } else if (change == QLatin1String("no-date")) {
            db.exec(QStringLiteral("UPDATE tb_orders SET AddDate = NULL"));
        } else if (change == QLatin1String("points-5")) {
            db.exec(QStringLiteral("UPDATE tb_members SET Integral = 5"));
        } else if (change == QLatin1String("points-29")) {
            db.exec(QStringLiteral("UPDATE tb_members SET Integral = 29"));
        } else if (change == QLatin1String("balance-15.9")) {
            db.exec(QStringLiteral("UPDATE tb_members SET Balance = 15.9"));
        } else if (change == QLatin1String("delete-order")) {
            db.exec(QStringLiteral("DELETE FROM tb_orders"));
        } else if (change == QLatin1String("delete-member")) {
            db.exec(QStringLiteral("DELETE FROM tb_members"));
        }
        const auto before = test::DumpTables(shop.ctx);
        const CancelPlan plan = PrepareCancelOrder(shop.ctx, kOrder);
        QCOMPARE(plan.refusal, refusal);
        QVERIFY(plan.confirmation.isEmpty());
        QVERIFY(test::DumpTables(shop.ctx) == before);
    }

    // The 24 hours run from AddDate; the sale date plays no part.
    void window_data() {
        QTest::addColumn<int>("ageSecs");
        QTest::addColumn<int>("saleDaysAgo");
        QTest::newRow("23 h 59 min old") << (23 * 3600 + 59 * 60) << 0;
        QTest::newRow("exactly 24 h old") << 24 * 3600 << 0;
        QTest::newRow("created in the future") << -3600 << 0;
        QTest::newRow("back-dated sale created an hour ago") << 3600 << 7;
    }
    void window() {
        QFETCH(int, ageSecs);
        QFETCH(int, saleDaysAgo);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        test::OrderSpec o = orderOf(QStringLiteral("guest"), 0);
        o.addDate = kNow.addSecs(-ageSecs);
        o.saleDate = kNow.addDays(-saleDaysAgo);
        QVERIFY(shop.addOrder(o));
        const CancelPlan plan = PrepareCancelOrder(shop.ctx, kOrder);
        QVERIFY2(plan.ok(), qPrintable(plan.refusal));
        QVERIFY(CommitCancelOrder(shop.ctx, plan, kLog).ok);
    }

    // Between the question and the answer another till spends what the cancellation must take
    // back: the cancellation is refused with what is left now, and nothing changes.
    void spentMeanwhile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("spend");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("points") << "balance"
                                << "UPDATE tb_members SET Integral = 1"
                                << "无法撤销\r\n原因：应扣积分3,会员剩余积分1,积分不足！";
        QTest::newRow("balance") << "return-balance"
                                 << "UPDATE tb_members SET Balance = 19.99"
                                 << "无法撤销\r\n原因：应扣余额20,会员剩余余额19,余额不足！";
        QTest::newRow("member deleted") << "cash"
                                        << "DELETE FROM tb_members"
                                        << "无法读取会员信息";
        QTest::newRow("another operator cancelled it") << "cash"
                                                       << "DELETE FROM tb_orders"
                                                       << "订单不存在或已被删除";
    }
    void spentMeanwhile() {
        QFETCH(QString, kind);
        QFETCH(QString, spend);
        QFETCH(QString, refusal);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(setUp(shop, kind) > 0);
        const CancelPlan plan = PrepareCancelOrder(shop.ctx, kOrder);
        QVERIFY2(plan.ok(), qPrintable(plan.refusal));
        QVERIFY(shop.ctx.db.exec(spend));
        const auto before = test::DumpTables(shop.ctx);
        const CancelResult r = CommitCancelOrder(shop.ctx, plan, kLog);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, refusal);
        QVERIFY(test::DumpTables(shop.ctx) == before);
    }

    // Lines whose products were deleted move nothing; the rest of the order is undone.
    void deletedProducts() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = setUp(shop, QStringLiteral("cash"));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_product WHERE PrdCode = 'A'")));
        const CancelResult r = CommitCancelOrder(shop.ctx, PrepareCancelOrder(shop.ctx, kOrder), kLog);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QCOMPARE(shop.stockOf(QStringLiteral("B")), 11.5);
        QCOMPARE(shop.count(QStringLiteral("tb_product")), 1);
        QCOMPARE(shop.accountOf(member).points, 40);
    }

    // A failure at any statement of a cancellation leaves every table exactly as it was.
    void atomicity_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Account>("after");
        QTest::addColumn<double>("stockA");
        QTest::addColumn<double>("stockB");
        // The member starts with ￥100, 50 points and ￥200 spent, 10 of A and of B in stock.
        QTest::newRow("guest sale") << "guest" << Account{100, 50, 200} << 12.0 << 11.5;
        QTest::newRow("balance sale") << "balance" << Account{135.5, 47, 164.5} << 12.0 << 11.5;
        QTest::newRow("points exchange") << "points" << Account{100, 1350, 200} << 12.0 << 11.5;
        QTest::newRow("return to the balance") << "return-balance" << Account{80, 52, 220} << 8.0 << 10.0;
        QTest::newRow("return in points") << "return-points" << Account{100, 20, 200} << 8.0 << 10.0;
    }
    void atomicity() {
        QFETCH(QString, kind);
        QFETCH(Account, after);
        QFETCH(double, stockA);
        QFETCH(double, stockB);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = setUp(shop, kind);
        QVERIFY(member > 0);
        const CancelPlan plan = PrepareCancelOrder(shop.ctx, kOrder);
        QVERIFY2(plan.ok(), qPrintable(plan.refusal));
        const auto before = test::DumpTables(shop.ctx);
        int failures = 0;
        for (int n = 1;; ++n) {
            shop.ctx.db.failNthStatement(n);
            const CancelResult r = CommitCancelOrder(shop.ctx, plan, kLog);
            const bool reached = shop.ctx.db.failpointReached();
            shop.ctx.db.failNthStatement(0);
            if (!reached) {
                QVERIFY2(r.ok, qPrintable(r.message + r.detail));
                break;
            }
            QVERIFY2(!r.ok, qPrintable(QStringLiteral("statement %1 failed unnoticed").arg(n)));
            QVERIFY(!r.message.isEmpty());
            QCOMPARE(shop.ctx.db.transactionDepth(), 0);
            QVERIFY2(test::DumpTables(shop.ctx) == before, qPrintable(QStringLiteral("statement %1").arg(n)));
            ++failures;
        }
        QVERIFY(failures > 0);
        // The run that went through undid the order once.
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 0);
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines")), 0);
        QCOMPARE(shop.accountOf(member), after);
        QCOMPARE(shop.stockOf(QStringLiteral("A")), stockA);
        QCOMPARE(shop.stockOf(QStringLiteral("B")), stockB);
    }

    // Two tills cancel the same orders at the same moment, each in its own process: every order
    // is cancelled exactly once and its stock comes back once.
    void twoTills() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("李四"), QStringLiteral("137"), 0, 100000);
        shop.addProduct(QStringLiteral("A"), QStringLiteral("甲"), 10, 6, 0);
        shop.addProduct(QStringLiteral("B"), QStringLiteral("乙"), 10, 6, 0);
        constexpr int kOrders = 60;
        QStringList numbers;
        QVERIFY(shop.ctx.db.begin());
        for (int i = 0; i < kOrders; ++i) {
            test::OrderSpec o = orderOf(i % 2 ? QStringLiteral("cash") : QStringLiteral("guest"), member);
            o.orderNo = QStringLiteral("20240305143000%1").arg(10000 + i);
            // Real time: the processes run on the system clock.
            o.addDate = QDateTime::currentDateTime();
            QVERIFY(shop.addOrder(o));
            numbers << o.orderNo;
        }
        QVERIFY(shop.ctx.db.commit());
        const int pointsBefore = shop.accountOf(member).points;

        QList<QProcess*> tills;
        const QString startAt = QString::number(QDateTime::currentMSecsSinceEpoch() + 1500);
        for (int i = 0; i < 2; ++i) {
            auto* p = new QProcess(this);
            p->setProgram(QStringLiteral(SELVO_CANCEL_PATH));
            p->setArguments({QStringLiteral("--data"), shop.dataFolder(), QStringLiteral("--start-at"),
                             startAt, QStringLiteral("--orders"), numbers.join(QLatin1Char(','))});
            p->setProcessChannelMode(QProcess::SeparateChannels);
            tills << p;
        }
        for (QProcess* p : tills)
            p->start();
        int cancelled = 0;
        int gone = 0;
        for (QProcess* p : tills) {
            QVERIFY(p->waitForFinished(120000));
            const QString err = QString::fromUtf8(p->readAllStandardError());
            QVERIFY2(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0, qPrintable(err));
            for (const QString& line :
                 QString::fromUtf8(p->readAllStandardOutput()).split(QLatin1Char('\n'))) {
                if (line.startsWith(QLatin1String("cancelled ")))
                    ++cancelled;
                else if (line.startsWith(QLatin1String("refused "))) {
                    QVERIFY2(line.endsWith(QStringLiteral("订单不存在或已被删除")), qPrintable(line));
                    ++gone;
                }
            }
            delete p;
        }
        QCOMPARE(cancelled, kOrders);
        QCOMPARE(gone, kOrders);
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 0);
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord"), QStringLiteral("Content = ?"), {kLog}), kOrders);
        QCOMPARE(shop.stockOf(QStringLiteral("A")), 2.0 * kOrders);
        QCOMPARE(shop.stockOf(QStringLiteral("B")), 1.5 * kOrders);
        QCOMPARE(shop.accountOf(member).points, pointsBefore - 10 * (kOrders / 2));
    }
};

QTEST_GUILESS_MAIN(TestCancellation)
#include "tst_cancellation.moc"
