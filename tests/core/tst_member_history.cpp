#include "ReportsShop.h"

#include "core/members/MemberHistory.h"
#include "core/support/Clock.h"

#include <QTest>

using namespace selvo;
using namespace selvo::test::reports;

class TestMemberHistory final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }

    void recordTime_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("today") << "2024-03-05 09:08:07" << QStringLiteral("今天 09:08:07");
        QTest::newRow("today, just after midnight")
            << "2024-03-05 00:00:00" << QStringLiteral("今天 00:00:00");
        QTest::newRow("yesterday") << "2024-03-04 23:59:59" << QStringLiteral("2024-03-04 23:59:59");
        QTest::newRow("same day a year before")
            << "2023-03-05 10:00:00" << QStringLiteral("2023-03-05 10:00:00");
        QTest::newRow("empty") << "" << QString();
    }
    void recordTime() {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QCOMPARE(RecordTimeText(stored), shown);
    }

    // The clock moves on a day: yesterday's records lose their 今天.
    void recordTimeFollowsTheClock() {
        Shop s;
        QVERIFY(s.build());
        TopupRecordFilter f;
        f.memberId = s.alice;
        auto page = QueryTopupRecordPage(s.shop.ctx, f, std::nullopt, 10);
        QVERIFY(page && page->rows.size() == 2);
        QCOMPARE(page->rows.at(0).value(TopupTime), QStringLiteral("今天 13:30:00"));
        QCOMPARE(page->rows.at(1).value(TopupTime), QStringLiteral("2024-03-04 14:30:00"));
        m_clock.set(kNow.addDays(1));
        page = QueryTopupRecordPage(s.shop.ctx, f, std::nullopt, 10);
        m_clock.set(kNow);
        QVERIFY(page);
        QCOMPARE(page->rows.at(0).value(TopupTime), QStringLiteral("2024-03-05 13:30:00"));
    }

    void topupRecords() {
        Shop s;
        QVERIFY(s.build());
        const auto page = QueryTopupRecordPage(s.shop.ctx, {}, std::nullopt, 100);
        QVERIFY(page);
        QCOMPARE(page->rows, (QList<QStringList>{
                                 strings({"爱丽丝", "13800000001", "充值+", "￥100.00", "￥10.00", "￥110.00",
                                          "￥0.00", "￥110.00", "今天 13:30:00", "管理员", "首充"}),
                                 strings({"爱丽丝", "13800000001", "扣款-", "-", "-", "￥-5.00", "￥110.00",
                                          "￥105.00", "2024-03-04 14:30:00", "#已删除", ""}),
                                 strings({"#已删除", "", "充值+", "￥20.00", "￥0.00", "￥20.00", "￥0.00",
                                          "￥20.00", "2024-02-27 14:30:00", "管理员", ""}),
                             }));
        QVERIFY(page->last);
        QCOMPARE(page->last->addDate, QStringLiteral("2024-02-27 14:30:00"));
    }

    void topupFilters_data() {
        QTest::addColumn<bool>("alice");
        QTest::addColumn<int>("op");          // 0 all, 1 admin
        QTest::addColumn<int>("fromDaysAgo"); // -1 unticked
        QTest::addColumn<int>("toDaysAgo");
        QTest::addColumn<int>("count");
        QTest::newRow("nothing") << false << 0 << -1 << -1 << 53;
        QTest::newRow("member") << true << 0 << -1 << -1 << 2;
        QTest::newRow("operator") << false << 1 << -1 << -1 << 52;
        QTest::newRow("member and operator") << true << 1 << -1 << -1 << 1;
        QTest::newRow("today") << false << 0 << 0 << 0 << 51;
        QTest::newRow("yesterday") << false << 0 << 1 << 1 << 1;
        QTest::newRow("up to yesterday") << false << 0 << -1 << 1 << 2;
    }
    void topupFilters() {
        QFETCH(bool, alice);
        QFETCH(int, op);
        QFETCH(int, fromDaysAgo);
        QFETCH(int, toDaysAgo);
        QFETCH(int, count);
        Shop s;
        QVERIFY(s.build());
        // 50 more records of a walk-in at one and the same second: pages must neither repeat nor
        // skip any of them.
        s.shop.ctx.db.begin();
        for (int i = 0; i < 50; ++i)
            QVERIFY(s.topup(kWalkInMember, 1, 1, i, 0, 0, kNow.addSecs(-60), QString::number(i)));
        QVERIFY(s.shop.ctx.db.commit());
        TopupRecordFilter f;
        f.memberId = alice ? s.alice : -1;
        f.operatorId = op;
        if (fromDaysAgo >= 0)
            f.from = kNow.date().addDays(-fromDaysAgo);
        if (toDaysAgo >= 0)
            f.to = kNow.date().addDays(-toDaysAgo);
        QStringList seen;
        QList<QStringList> all;
        std::optional<TopupPageKey> after;
        for (;;) {
            const auto page = QueryTopupRecordPage(s.shop.ctx, f, after, 7);
            QVERIFY(page);
            all += page->rows;
            if (page->rows.size() < 7)
                break;
            after = page->last;
        }
        QCOMPARE(all.size(), count);
        for (const QStringList& r : all)
            seen << r.value(TopupTime) + r.value(TopupRemark) + r.value(TopupTotal);
        seen.removeDuplicates();
        QCOMPARE(seen.size(), count);
    }

    void memberOrders() {
        Shop s;
        QVERIFY(s.build());
        const auto rows = QueryMemberOrders(s.shop.ctx, s.alice);
        QVERIFY(rows);
        QCOMPARE(rows->size(), 5);
        // Newest first: the return of Z, X, Z, A (cash) ... and yesterday's points exchange.
        QCOMPARE(rows->at(0), strings({"2024-03-05 13:30:05", "退货", "￥-39.00", "现金支付", "管理员"}));
        QCOMPARE(rows->at(4),
                 strings({"2024-03-04 14:30:00", "积分兑换", "-1000积分", "积分支付", "管理员"}));
        QCOMPARE(QueryMemberOrders(s.shop.ctx, kWalkInMember)->size(), 3);
    }

    void memberOrdersOfADeletedOperatorAndNullType() {
        Shop s;
        QVERIFY(s.build());
        const int carol = s.shop.addMember(QStringLiteral("卡罗"), QStringLiteral("139"));
        QVERIFY(s.line(QStringLiteral("A"), carol, PayBalance, 1, 8, 1, 1, kNow, QVariant()));
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("UPDATE tb_orders SET SaleManID = ? WHERE MemID = ?"),
                                   {s.clerk, carol}));
        const auto rows = QueryMemberOrders(s.shop.ctx, carol);
        QVERIFY(rows && rows->size() == 1);
        QCOMPARE(rows->at(0), strings({"2024-03-05 14:30:00", "正常销售", "￥9.00", "余额支付", "#已删除"}));
    }

    void memberHistoriesStopAt500() {
        Shop s;
        QVERIFY(s.build());
        const int dave = s.shop.addMember(QStringLiteral("戴夫"), QStringLiteral("137"));
        QVERIFY(s.shop.ctx.db.begin());
        for (int i = 0; i < 501; ++i) {
            QVERIFY(s.line(QStringLiteral("A"), dave, PayCash, 1, i, 0, 0, kLastWeek.addSecs(i)));
            QVERIFY(s.topup(dave, 1, 1, i, 0, 0, kLastWeek.addSecs(i)));
        }
        QVERIFY(s.shop.ctx.db.commit());
        const auto orders = QueryMemberOrders(s.shop.ctx, dave);
        const auto topups = QueryMemberTopups(s.shop.ctx, dave);
        QVERIFY(orders && topups);
        QCOMPARE(orders->size(), 500);
        QCOMPARE(topups->size(), 500);
        // The oldest one (amount 0) is the one left out.
        QCOMPARE(orders->first().value(MemOrderPrice), QStringLiteral("￥501.00"));
        QCOMPARE(orders->last().value(MemOrderPrice), QStringLiteral("￥2.00"));
        QCOMPARE(topups->last().value(MemTopupTotal), QStringLiteral("￥1.00"));
    }

    void memberTopups() {
        Shop s;
        QVERIFY(s.build());
        const auto rows = QueryMemberTopups(s.shop.ctx, s.alice);
        QVERIFY(rows);
        QCOMPARE(*rows,
                 (QList<QStringList>{strings({"今天 13:30:00", "充值+", "￥110.00", "管理员", "首充"}),
                                     strings({"2024-03-04 14:30:00", "扣款-", "￥-5.00", "#已删除", ""})}));
    }

    void caption() {
        Shop s;
        QVERIFY(s.build());
        QCOMPARE(MemberHistoryCaption(s.shop.ctx, s.alice),
                 QStringLiteral("爱丽丝(13800000001)的消费/充值记录  最多显示500条"));
        QVERIFY(s.shop.notes.messages.isEmpty());
        QCOMPARE(MemberHistoryCaption(s.shop.ctx, s.bob), QStringLiteral("的消费/充值记录  最多显示500条"));
        QCOMPARE(s.shop.notes.messages, QStringList{QStringLiteral("无法读取会员信息")});
    }
};

QTEST_GUILESS_MAIN(TestMemberHistory)
#include "tst_member_history.moc"
