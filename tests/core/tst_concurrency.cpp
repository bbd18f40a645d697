// Several tills writing one shop at once: separate processes posting sales, and the retry of
// transactions that the server aborts (deadlock, serialization failure).
#include "TestShop.h"

#include "core/db/Database.h"
#include "core/db/DaySums.h"
#include "core/store/Startup.h"

#include <QHash>
#include <QProcess>
#include <QSemaphore>
#include <QTest>

#include <atomic>
#include <thread>

using namespace selvo;
using namespace selvo::test;

namespace {

double sumOf(db::Database& db, const QString& sql, const QVariantList& binds) {
    auto v = db.scalar(sql, binds);
    return v ? v->toDouble() : std::nan("");
}

// Waits until `count` sessions of the current database wait for a lock.
bool waitForLockWaiters(db::Database& monitor, int count) {
    for (int i = 0; i < 500; ++i) {
        auto n = monitor.scalar(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                               "current_database() AND wait_event_type = 'Lock'"));
        if (n && n->toInt() >= count)
            return true;
        QThread::msleep(10);
    }
    return false;
}

} // namespace

class TestConcurrency final : public QObject {
    Q_OBJECT

private slots:
    // N processes post balance-paid and cash sales for the same few members and products at once.
    void tillsPostingAtOnceStayExact() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const double startBalance = 60; // far less than the balance sales ask for: many are refused
        const int startPoints = 5;
        const double startStock = 1000;
        QList<int> members;
        for (int i = 0; i < 3; ++i)
            members << shop.addMember(QStringLiteral("会员%1").arg(i), QStringLiteral("1380000000%1").arg(i),
                                      startBalance, startPoints);
        const QStringList codes{QStringLiteral("A1"), QStringLiteral("B2"), QStringLiteral("C3")};
        for (int i = 0; i < codes.size(); ++i)
            QVERIFY(shop.addProduct(codes[i], QStringLiteral("商品%1").arg(i), 1.25 * (i + 1), i + 1,
                                    startStock) > 0);
        QVERIFY(!members.contains(-1));

        const int processes = 4;
        const int salesEach = 120;
        QList<QProcess*> tills;
        for (int i = 0; i < processes; ++i) {
            auto* p = new QProcess(this);
            p->setProgram(QStringLiteral(SELVO_LOAD_PATH));
            p->setArguments({QStringLiteral("--data"), shop.dataFolder(), QStringLiteral("--sales"),
                             QString::number(salesEach), QStringLiteral("--seed"), QString::number(1000 + i),
                             QStringLiteral("--same-second")});
            tills << p;
        }
        for (QProcess* p : tills)
            p->start();
        int committed = 0;
        int refused = 0;
        int attempts = 0;
        int clashes = 0;
        QHash<QString, int> reportedLines;
        for (QProcess* p : tills) {
            QVERIFY(p->waitForFinished(300000));
            const QString err = QString::fromUtf8(p->readAllStandardError());
            QVERIFY2(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0, qPrintable(err));
            const QStringList lines = QString::fromUtf8(p->readAllStandardOutput()).split(QLatin1Char('\n'));
            for (const QString& line : lines) {
                const QStringList f = line.split(QLatin1Char(' '));
                if (f.value(0) == QLatin1String("order")) {
                    QVERIFY2(!reportedLines.contains(f.value(1)), "two tills committed one order number");
                    reportedLines.insert(f.value(1), f.value(2).toInt());
                } else if (f.value(0) == QLatin1String("summary")) {
                    for (const QString& kv : f.mid(1)) {
                        const int v = kv.section(QLatin1Char('='), 1).toInt();
                        if (kv.startsWith(QLatin1String("committed=")))
                            committed += v;
                        else if (kv.startsWith(QLatin1String("refused=")))
                            refused += v;
                        else if (kv.startsWith(QLatin1String("attempts=")))
                            attempts += v;
                        else if (kv.startsWith(QLatin1String("clashes=")))
                            clashes += v;
                    }
                }
            }
        }
        qInfo("%s: %d sales by %d processes: %d committed, %d refused for want of balance, "
              "%d transaction runs, %d order-number clashes",
              qPrintable(TestShop::engineName()), processes * salesEach, processes, committed, refused,
              attempts, clashes);
        QCOMPARE(committed + refused, processes * salesEach);
        QVERIFY2(refused > 0, "the load must exhaust the balances, or the refusal path went untested");
        QCOMPARE(reportedLines.size(), committed);

        db::Database& db = shop.ctx.db;
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), qint64(committed));
        QCOMPARE(db.scalar(QStringLiteral("SELECT count(DISTINCT OrderNo) FROM tb_orders"))->toLongLong(),
                 qint64(committed));
        // Every committed order has all its lines, and its totals are theirs.
        auto q =
            db.select(QStringLiteral("SELECT o.OrderNo, o.PrdSum, o.RealTotalPrice, count(l.OrderNo), "
                                     "sum(l.PrdNum), sum(l.TotalPrice) "
                                     "FROM tb_orders o LEFT JOIN tb_order_lines l ON l.OrderNo = o.OrderNo "
                                     "GROUP BY o.OrderNo, o.PrdSum, o.RealTotalPrice"));
        QVERIFY(q);
        int orders = 0;
        while (q->next()) {
            ++orders;
            const QString no = q->value(0).toString();
            QVERIFY2(reportedLines.contains(no), qPrintable(no));
            QCOMPARE(q->value(3).toInt(), reportedLines.value(no));
            QCOMPARE(q->value(4).toDouble(), q->value(1).toDouble());
            QCOMPARE(q->value(5).toDouble(), q->value(2).toDouble());
        }
        QCOMPARE(orders, committed);
        // The day sums the triggers keep add up under tills posting into the same groups at once.
        QCOMPARE(db::CheckDaySums(db), QStringList());
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines"),
                            QStringLiteral("OrderNo NOT IN (SELECT OrderNo FROM tb_orders)")),
                 qint64(0));

        // Accounts equal what the committed orders imply; no balance below zero.
        for (int m : members) {
            const double spentFromBalance = sumOf(
                db,
                QStringLiteral(
                    "SELECT coalesce(sum(RealTotalPrice), 0) FROM tb_orders WHERE MemID = ? AND PayType = 2"),
                {m});
            const double spent = sumOf(
                db, QStringLiteral("SELECT coalesce(sum(RealTotalPrice), 0) FROM tb_orders WHERE MemID = ?"),
                {m});
            const double earned = sumOf(
                db, QStringLiteral("SELECT coalesce(sum(Integral), 0) FROM tb_orders WHERE MemID = ?"), {m});
            auto row = db.select(
                QStringLiteral("SELECT Balance, Integral, Cumulative FROM tb_members WHERE ID = ?"), {m});
            QVERIFY(row && row->next());
            QVERIFY2(spentFromBalance > 0, "every member should have paid from the balance at least once");
            QCOMPARE(row->value(0).toDouble(), startBalance - spentFromBalance);
            QVERIFY(row->value(0).toDouble() >= 0);
            QCOMPARE(row->value(1).toDouble(), startPoints + earned);
            QCOMPARE(row->value(2).toDouble(), spent);
        }
        for (const QString& code : codes) {
            const double sold = sumOf(
                db, QStringLiteral("SELECT coalesce(sum(PrdNum), 0) FROM tb_order_lines WHERE PrdCode = ?"),
                {code});
            QVERIFY(sold > 0);
            QCOMPARE(
                sumOf(db, QStringLiteral("SELECT PrdInventory FROM tb_product WHERE PrdCode = ?"), {code}),
                startStock - sold);
        }
    }

    void abortedTransactionIsRunAgain_data() {
        QTest::addColumn<bool>("deadlock");
        QTest::newRow("deadlock (40P01)") << true;
        QTest::newRow("serialization failure (40001)") << false;
    }
    // Two tills meet on the same rows; the one the server aborts runs its transaction again and
    // both changes land exactly once.
    void abortedTransactionIsRunAgain() {
        QFETCH(bool, deadlock);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        if (!shop.isPostgres())
            QSKIP("SQLite takes its write lock at BEGIN IMMEDIATE, so its writers queue and never meet this "
                  "way");
        const int m1 = shop.addMember(QStringLiteral("甲"), QStringLiteral("1"), 100);
        const int m2 = shop.addMember(QStringLiteral("乙"), QStringLiteral("2"), 100);
        const db::ConnectionConfig config = ConnectionConfigFor(shop.dataFolder());
        db::Database monitor;
        QVERIFY(monitor.open(config));

        const QString add = QStringLiteral("UPDATE tb_members SET Balance = Balance + ? WHERE ID = ?");
        std::atomic<int> runsA{0};
        std::atomic<int> runsB{0};
        QSemaphore bHasFirstRow;
        QSemaphore aHasFirstRow;
        std::atomic<bool> bOk{false};
        std::atomic<bool> bOpened{false};

        std::thread tillB([&] {
            db::Database db;
            bOpened = db.open(config);
            if (!bOpened) {
                bHasFirstRow.release();
                return;
            }
            bOk = db::runTransaction(db, [&] {
                const bool first = ++runsB == 1;
                if (deadlock) {
                    if (!db.exec(add, {1.0, m2}))
                        return false;
                    if (first) {
                        bHasFirstRow.release();
                        aHasFirstRow.acquire();
                    }
                    return db.exec(add, {1.0, m1});
                }
                if (!db.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ")) ||
                    !db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {m1}))
                    return false;
                if (first) {
                    bHasFirstRow.release();
                    aHasFirstRow.acquire();
                }
                return db.exec(add, {1.0, m1});
            });
        });

        db::Database db;
        QVERIFY(db.open(config));
        const bool aOk = db::runTransaction(db, [&] {
            const bool first = ++runsA == 1;
            if (deadlock) {
                if (!db.exec(add, {10.0, m1}))
                    return false;
                if (first) {
                    bHasFirstRow.acquire();
                    aHasFirstRow.release();
                    // Till B now waits for our row; taking its row closes the circle.
                    if (!waitForLockWaiters(monitor, 1))
                        return false;
                }
                return db.exec(add, {10.0, m2});
            }
            if (!db.exec(QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ")) ||
                !db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {m1}))
                return false;
            if (first) {
                bHasFirstRow.acquire();
                aHasFirstRow.release();
            }
            return db.exec(add, {10.0, m1});
        });
        tillB.join();
        QVERIFY(bOpened);
        QVERIFY2(aOk, qPrintable(db.lastError()));
        QVERIFY(bOk);
        QCOMPARE(runsA + runsB, 3); // exactly one of the two ran again
        QCOMPARE(shop.ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {m1})
                     ->toDouble(),
                 111.0);
        QCOMPARE(shop.ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {m2})
                     ->toDouble(),
                 deadlock ? 111.0 : 100.0);
    }

    // A transaction the server keeps aborting is given up after a bounded number of runs, reported
    // as such, and leaves nothing behind.
    void retriesAreBounded() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        if (!shop.isPostgres())
            QSKIP("raising a serialization failure on demand needs PostgreSQL");
        db::Database& db = shop.ctx.db;
        int runs = 0;
        const bool ok = db::runTransaction(
            db,
            [&] {
                ++runs;
                return db.exec(
                           QStringLiteral("INSERT INTO tb_OpRecord(SaleManID, Content) VALUES(1, 'x')")) &&
                       db.exec(QStringLiteral("DO $$ BEGIN RAISE EXCEPTION 'busy' USING ERRCODE = "
                                              "'serialization_failure'; END $$"));
            },
            4);
        QVERIFY(!ok);
        QCOMPARE(runs, 4);
        QVERIFY(db.lastErrorIsTransient());
        QCOMPARE(db.lastErrorCode(), QStringLiteral("40001"));
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord")), qint64(0));
    }
};

QTEST_GUILESS_MAIN(TestConcurrency)
#include "tst_concurrency.moc"
