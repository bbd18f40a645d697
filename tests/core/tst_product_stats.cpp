#include "ReportsShop.h"

#include "core/sales/ProductStats.h"
#include "core/support/Clock.h"

#include <QTest>

using namespace selvo;
using namespace selvo::test::reports;

class TestProductStats final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }

    void grossMargin_data() {
        QTest::addColumn<double>("takings");
        QTest::addColumn<double>("profit");
        QTest::addColumn<QString>("text");
        QTest::newRow("200 with 50 profit") << 200.0 << 50.0 << QStringLiteral("25.00%");
        QTest::newRow("zero takings") << 0.0 << 5.0 << QStringLiteral("-");
        QTest::newRow("takings within the tolerance") << 0.000009 << 1.0 << QStringLiteral("-");
        QTest::newRow("negative takings, negative profit") << -20.0 << -8.0 << QStringLiteral("-40.00%");
        QTest::newRow("negative takings, profit kept") << -20.0 << 2.0 << QStringLiteral("10.00%");
        QTest::newRow("loss") << 100.0 << -12.345 << QStringLiteral("-12.35%");
    }
    void grossMargin() {
        QFETCH(double, takings);
        QFETCH(double, profit);
        QFETCH(QString, text);
        QCOMPARE(GrossMarginText(takings, profit), text);
    }

    // Lines are summed per product whatever their order's type; points lines never count; a
    // product no longer in the catalogue drops out.
    void productStats_data() {
        QTest::addColumn<int>("payType");
        QTest::addColumn<bool>("todayOnly");
        QTest::addColumn<QStringList>("rowA"); // empty: A is not listed
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("any payment, today")
            << 0 << true
            << strings({"A", "茶", "￥50.00", "￥30.00", "3", "￥200.00", "￥90.00", "￥50.00", "25.00%"})
            << strings({"A", "R", "Z"});
        QTest::newRow("any payment, every day")
            << 0 << false
            << strings({"A", "茶", "￥50.00", "￥30.00", "4", "￥250.00", "￥120.00", "￥70.00", "28.00%"})
            << strings({"A", "R", "Z"});
        QTest::newRow("cash, today") << 1 << true
                                     << strings({"A", "茶", "￥50.00", "￥30.00", "2", "￥100.00", "￥60.00",
                                                 "￥40.00", "40.00%"})
                                     << strings({"A", "R", "Z"});
        QTest::newRow("balance, today")
            << 2 << true
            << strings({"A", "茶", "￥50.00", "￥30.00", "1", "￥100.00", "￥30.00", "￥10.00", "10.00%"})
            << strings({"A"});
    }
    void productStats() {
        QFETCH(int, payType);
        QFETCH(bool, todayOnly);
        QFETCH(QStringList, rowA);
        QFETCH(QStringList, codes);
        Shop s;
        QVERIFY2(s.build(), qPrintable(s.shop.error() + s.shop.ctx.db.lastError()));
        const auto f = todayOnly ? days(payType, kNow, kNow) : days(payType, std::nullopt, std::nullopt);
        const auto rows = QueryProductStats(s.shop.ctx, f);
        QVERIFY(rows);
        QStringList listed;
        for (const QStringList& r : *rows)
            listed << r.value(StatCode);
        QCOMPARE(listed, codes);
        QCOMPARE(rows->first(), rowA);
    }

    void zeroAndNegativeTakings() {
        Shop s;
        QVERIFY(s.build());
        const auto rows = QueryProductStats(s.shop.ctx, days(0, kNow, kNow));
        QVERIFY(rows && rows->size() == 3);
        QCOMPARE(rows->at(1), strings({"R", "退", "￥10.00", "￥6.00", "-2", "￥-20.00", "￥-12.00",
                                       "￥-8.00", "-40.00%"}));
        QCOMPARE(rows->at(2).value(StatTakings), QStringLiteral("￥0.00"));
        QCOMPARE(rows->at(2).value(StatMargin), QStringLiteral("-"));
    }

    void details_data() {
        QTest::addColumn<int>("payType");
        QTest::addColumn<bool>("todayOnly");
        QTest::addColumn<QList<QStringList>>("rows");
        const QStringList guest =
            strings({"散客消费", "正常销售", "余额支付", "名A", "1", "￥100.00", "￥101.00"});
        const QStringList alice =
            strings({"爱丽丝(13800000001)", "正常销售", "现金支付", "名A", "2", "￥100.00", "￥101.00"});
        const QStringList gone =
            strings({"散客消费", "正常销售", "现金支付", "名A", "1", "￥50.00", "￥51.00"});
        QTest::newRow("any payment, today: newest first, guest and null order type")
            << 0 << true
            << QList<QStringList>{guest + strings({"24-03-05 13:30:02"}),
                                  alice + strings({"24-03-05 13:30:01"})};
        QTest::newRow("cash, every day: a deleted member reads as a guest, points lines absent")
            << 1 << false
            << QList<QStringList>{alice + strings({"24-03-05 13:30:01"}),
                                  gone + strings({"24-02-27 14:30:00"})};
    }
    void details() {
        QFETCH(int, payType);
        QFETCH(bool, todayOnly);
        QFETCH(QList<QStringList>, rows);
        Shop s;
        QVERIFY(s.build());
        const auto f = todayOnly ? days(payType, kNow, kNow) : days(payType, std::nullopt, std::nullopt);
        const auto got = QueryProductStatDetails(s.shop.ctx, QStringLiteral("A"), f);
        QVERIFY(got);
        QCOMPARE(got->size(), rows.size());
        for (int i = 0; i < rows.size(); ++i)
            QCOMPARE(got->at(i).mid(DetailMember), rows[i]);
        QVERIFY(got->first().value(DetailOrderNo).startsWith(QStringLiteral("2024030500000")));
    }

    // A code is a bound value: quotes and wildcards match nothing.
    void detailsOfAnOddCode() {
        Shop s;
        QVERIFY(s.build());
        for (const char* code : {"A' OR '1'='1", "%", "A%"}) {
            const auto got = QueryProductStatDetails(s.shop.ctx, QString::fromUtf8(code), {});
            QVERIFY(got);
            QVERIFY(got->isEmpty());
        }
    }

    void exportName() {
        QCOMPARE(ProductStatsExportName(), QStringLiteral("产品销售统计2024-03-05 14.30.00.csv"));
    }
};

QTEST_GUILESS_MAIN(TestProductStats)
#include "tst_product_stats.moc"
