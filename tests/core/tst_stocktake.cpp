#include "TableDump.h"
#include "TestShop.h"

#include "core/products/StockTake.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"

#include <QTest>

using namespace selvo;

namespace {} // namespace

class TestStockTake final : public QObject {
    Q_OBJECT

private slots:
    void opening() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addProduct(QStringLiteral("A1"), QStringLiteral("大米"), 5, 3, 12.5);
        const StockTakeProduct p = LoadStockTakeProduct(shop.ctx, QStringLiteral("A1"));
        QVERIFY(p.found);
        QCOMPARE(p.name, QStringLiteral("大米"));
        QCOMPARE(p.stockText, QStringLiteral("12.5"));
        const StockTakeProduct none = LoadStockTakeProduct(shop.ctx, QStringLiteral("nope' OR '1'='1"));
        QVERIFY(!none.found);
        QVERIFY(none.name.isEmpty() && none.stockText.isEmpty());
        QCOMPARE(none.mustIntNum, 0);
    }

    void book_data() {
        QTest::addColumn<int>("mustInt");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message"); // empty: booked
        QTest::addColumn<double>("stock");    // afterwards
        QTest::newRow("10 counted as 7") << 0 << "7"
                                         << "" << 7.0;
        QTest::newRow("counted as 0") << 0 << "0"
                                      << "" << 0.0;
        QTest::newRow("fraction for a weighed product") << 0 << "2.5"
                                                        << "" << 2.5;
        QTest::newRow("blanks around") << 1 << " 12 "
                                       << "" << 12.0;
        QTest::newRow("unchanged") << 0 << "10"
                                   << "请先调整库存量" << 10.0;
        QTest::newRow("within 0.00001") << 0 << "10.000001"
                                        << "请先调整库存量" << 10.0;
        QTest::newRow("fraction for a whole product") << 1 << "2.5"
                                                      << "必须输入整数" << 10.0;
        QTest::newRow("10.0 for a whole product") << 1 << "10.0"
                                                  << "必须输入整数" << 10.0;
        QTest::newRow("exponent fraction for a whole product") << 1 << "1e-1"
                                                               << "必须输入整数" << 10.0;
        QTest::newRow("negative") << 0 << "-3"
                                  << "数量不能小于0" << 10.0;
        for (const char* bad : {"", "   ", "abc", "nan", "inf", "-inf", "0x10", "7件", "1e300", "1000000",
                                "😀", "' OR 1=1 --", "'; DELETE FROM tb_product; --"})
            QTest::addRow("bad text \"%s\"", bad)
                << 0 << QString::fromUtf8(bad) << "请输入正确的数量" << 10.0;
    }
    void book() {
        QFETCH(int, mustInt);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QFETCH(double, stock);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addProduct(QStringLiteral("A1"), QStringLiteral("大米"), 5, 3, 10);
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET MustIntNum = ?"), {mustInt}));
        const auto before = test::DumpTables(shop.ctx);
        const StockTakeResult r = BookStockTake(shop.ctx, QStringLiteral("A1"), mustInt, QStringLiteral("10"),
                                                typed, QStringLiteral("盘亏"));
        QCOMPARE(r.message, message);
        QCOMPARE(r.ok, message.isEmpty());
        QCOMPARE(shop.stockOf(QStringLiteral("A1")), stock);
        if (!r.ok) {
            QVERIFY(r.refocus);
            QVERIFY(test::DumpTables(shop.ctx) == before);
            return;
        }
        auto q = shop.ctx.db.select(QStringLiteral("SELECT addNum, addType, Remark, SaleManID, prdCode FROM "
                                                   "tb_prdnum_record"));
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toDouble(), stock - 10);
        QCOMPARE(q->value(1).toInt(), int(StockTake));
        QCOMPARE(q->value(2).toString(), QStringLiteral("盘亏"));
        QCOMPARE(q->value(3).toInt(), 1);
        QCOMPARE(q->value(4).toString(), QStringLiteral("A1"));
        QVERIFY(!q->next());
    }

    // The reason is stored exactly as typed, whatever it holds.
    void reasonAsTyped() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addProduct(QStringLiteral("A1"), QStringLiteral("大米"), 5, 3, 10);
        const QString reason = QStringLiteral("老鼠'咬了\r\n第二行 😀 \"; DROP TABLE tb_product; --");
        QVERIFY(BookStockTake(shop.ctx, QStringLiteral("A1"), 0, QStringLiteral("10"), QStringLiteral("9"),
                              reason)
                    .ok);
        const QList<StockTakeRecord> rows = ListStockTakes(shop.ctx, QStringLiteral("A1"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].remark, reason);
        QCOMPARE(rows[0].change, -1.0);
        QCOMPARE(rows[0].operatorName, QStringLiteral("管理员"));
    }

    // Another till sold 2 of the 10 shown: the count of 7 still ends at 7, and the history says -1.
    void countedAgainstStoredStock() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addProduct(QStringLiteral("A1"), QStringLiteral("大米"), 5, 3, 10);
        QVERIFY(MoveStock(shop.ctx, QStringLiteral("A1"), StockSale, false, QString(), -2));
        const StockTakeResult r = BookStockTake(shop.ctx, QStringLiteral("A1"), 0, QStringLiteral("10"),
                                                QStringLiteral("7"), QString());
        QVERIFY(r.ok);
        QCOMPARE(r.change, -1.0);
        QCOMPARE(shop.stockOf(QStringLiteral("A1")), 7.0);
        QCOMPARE(shop.count(QStringLiteral("tb_prdnum_record"), QStringLiteral("addNum = -1")), 1);
    }

    // A code that is not (or no longer) there books nothing and says so.
    void missingProduct() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const auto before = test::DumpTables(shop.ctx);
        const StockTakeResult r =
            BookStockTake(shop.ctx, QStringLiteral("GONE"), 0, QString(), QStringLiteral("5"), QString());
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("无法找到产品信息"));
        QVERIFY(test::DumpTables(shop.ctx) == before);
    }

    // Stock read, stock update, history row: a failure at any of them changes nothing.
    void atomicity() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addProduct(QStringLiteral("A1"), QStringLiteral("大米"), 5, 3, 10);
        const auto before = test::DumpTables(shop.ctx);
        int failures = 0;
        for (int n = 1;; ++n) {
            shop.ctx.db.failNthStatement(n);
            const StockTakeResult r = BookStockTake(shop.ctx, QStringLiteral("A1"), 0, QStringLiteral("10"),
                                                    QStringLiteral("4"), QStringLiteral("r"));
            const bool reached = shop.ctx.db.failpointReached();
            shop.ctx.db.failNthStatement(0);
            if (!reached) {
                QVERIFY(r.ok);
                break;
            }
            QVERIFY2(!r.ok, qPrintable(QStringLiteral("statement %1 failed unnoticed").arg(n)));
            QCOMPARE(r.message, QStringLiteral("盘点失败，请重试！"));
            QCOMPARE(shop.ctx.db.transactionDepth(), 0);
            QVERIFY2(test::DumpTables(shop.ctx) == before, qPrintable(QStringLiteral("statement %1").arg(n)));
            ++failures;
        }
        QVERIFY(failures > 0);
        // The run that went through booked the count once.
        QCOMPARE(shop.stockOf(QStringLiteral("A1")), 4.0);
        QCOMPARE(shop.count(QStringLiteral("tb_prdnum_record")), 1);
    }

    // At most 500 rows, newest first, stock-takes only, and none of operators who are gone.
    void history() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addProduct(QStringLiteral("A1"), QStringLiteral("大米"), 5, 3, 10);
        const int gone = shop.addOperator(QStringLiteral("zhang"), QStringLiteral("pw"));
        const QDateTime start(QDate(2024, 3, 1), QTime(8, 0));
        const QString insert = QStringLiteral("INSERT INTO tb_prdnum_record(SaleManID, prdCode, addNum, "
                                              "addType, addDate, Remark) VALUES(?, ?, ?, ?, ?, ?)");
        QVERIFY(shop.ctx.db.begin());
        for (int i = 0; i < 510; ++i)
            QVERIFY(shop.ctx.db.exec(insert, {1, QStringLiteral("A1"), double(i), int(StockTake),
                                              shop.ctx.db.dateTimeValue(start.addSecs(60 * i)), QString()}));
        // Newer than all of them, but not stock-takes, another product, or an operator who is gone.
        for (int kind : {int(StockPurchaseIn), int(StockPurchaseReturn), int(StockPurchaseDelete)})
            QVERIFY(shop.ctx.db.exec(insert, {1, QStringLiteral("A1"), 1.0, kind,
                                              shop.ctx.db.dateTimeValue(start.addDays(30)), QString()}));
        QVERIFY(shop.ctx.db.exec(insert, {1, QStringLiteral("B2"), 1.0, int(StockTake),
                                          shop.ctx.db.dateTimeValue(start.addDays(30)), QString()}));
        QVERIFY(shop.ctx.db.exec(insert, {gone, QStringLiteral("A1"), 1.0, int(StockTake),
                                          shop.ctx.db.dateTimeValue(start.addDays(30)), QString()}));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_manager WHERE ID = ?"), {gone}));
        QVERIFY(shop.ctx.db.commit());

        const QList<StockTakeRecord> rows = ListStockTakes(shop.ctx, QStringLiteral("A1"));
        QCOMPARE(rows.size(), kStockTakeRecordLimit);
        QCOMPARE(rows.first().change, 509.0);
        QCOMPARE(rows.first().when, start.addSecs(60 * 509));
        QCOMPARE(rows.last().change, 10.0);
        QCOMPARE(StockTakeRecordCaption(QStringLiteral("大米")),
                 QStringLiteral("盘点历史(大米)  最多显示500条"));
    }
};

QTEST_GUILESS_MAIN(TestStockTake)
#include "tst_stocktake.moc"
