// The product sales statistics and the recharge records on a busy shop: three years of order lines
// (12 million at full size, about 330,000 a month) and a million recharge records. Each statement
// is timed as the windows run it, then on the same tables with this feature's indexes swapped
// for the ones they replaced.
//
//   bench_reports                 SELVO_BENCH_LINES=N      order lines (default 1,200,000)
//                                 SELVO_BENCH_TOPUPS=N     recharge records (default lines / 12)
//   SELVO_BENCH_RUNS=N            timed runs per statement (default 5)
//   SELVO_BENCH_PG=conninfo       also on PostgreSQL (SELVO_TEST_PG serves as well)
//   SELVO_BENCH_NO_SQLITE=1       only on PostgreSQL
//   SELVO_BENCH_ONLY_NEW=1        only with this feature's indexes (a second, quicker look)
//
// The shop is built once per size and kept: under /tmp/selvo-bench-reports-<lines>-<topups>/ for
// SQLite, as the database selvo_bench_reports_<lines>_<topups> on the server.
#include "BenchServer.h"

#include "core/db/DaySums.h"
#include "core/members/MemberHistory.h"
#include "core/sales/ProductStats.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"
#include "core/support/Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace selvo;

namespace {

constexpr int kDays = 1096;
const QDate kLastDay(2025, 12, 31);
constexpr int kProducts = 20000;
constexpr int kMembers = 200000;
constexpr int kLinesPerOrder = 5;

qint64 envNumber(const char* name, qint64 fallback) {
    bool ok = false;
    const qint64 v = qEnvironmentVariable(name).toLongLong(&ok);
    return ok && v > 0 ? v : fallback;
}

bool exec(db::Database& db, const QString& sql) {
    if (db.exec(sql))
        return true;
    std::fprintf(stderr, "failed: %s\n  %s\n", qPrintable(sql), qPrintable(db.lastError()));
    return false;
}

// Multi-row INSERT of literal numbers and generated codes (no typed text in this fixture).
class Bulk final {
public:
    Bulk(db::Database& db, const QString& head) : m_db(db), m_head(head) {}
    bool add(const QString& values) {
        m_rows << values;
        return m_rows.size() < 400 || flush();
    }
    bool flush() {
        if (m_rows.isEmpty())
            return true;
        const bool ok = exec(m_db, m_head + QStringLiteral(" VALUES ") + m_rows.join(QLatin1Char(',')));
        m_rows.clear();
        return ok;
    }

private:
    db::Database& m_db;
    QString m_head;
    QStringList m_rows;
};

// Popular products and members come first: a few are bought or recharged very often.
int skewed(QRandomGenerator& rng, int n, int power) {
    double r = rng.generateDouble();
    double x = r;
    for (int i = 1; i < power; ++i)
        x *= r;
    return std::min(n - 1, int(x * n));
}

QString stamp(const QDate& day, int secs) {
    return QDateTime(day, QTime(0, 0).addSecs(secs)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

bool isPg(db::Database& db) {
    return db.engine() == db::Engine::Postgres;
}

constexpr const char* kBigTables[] = {"tb_orders", "tb_order_lines", "tb_TopupRecord"};

bool build(AppContext& ctx, qint64 lines, qint64 topups) {
    db::Database& db = ctx.db;
    QRandomGenerator rng(20251231);
    // Throw-away shop: the day sums' triggers and every index of the big tables go while loading.
    QStringList indexNames, indexDdl, triggerNames;
    for (const char* table : kBigTables) {
        auto q =
            isPg(db)
                ? db.select(QStringLiteral("SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = "
                                           "current_schema() AND tablename = ? AND indexname NOT IN "
                                           "(SELECT conname FROM pg_constraint)"),
                            {QString::fromLatin1(table).toLower()})
                : db.select(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND "
                                           "sql IS NOT NULL AND tbl_name = ?"),
                            {QString::fromLatin1(table)});
        while (q && q->next()) {
            indexNames << q->value(0).toString();
            indexDdl << q->value(1).toString();
        }
    }
    if (isPg(db)) {
        for (const char* set : {"SET maintenance_work_mem = '1GB'", "SET synchronous_commit = off"})
            db.exec(QString::fromLatin1(set));
        for (const char* table : kBigTables) {
            if (!exec(db, QStringLiteral("ALTER TABLE %1 DISABLE TRIGGER USER").arg(QLatin1String(table))))
                return false;
        }
    } else {
        for (const char* pragma : {"PRAGMA journal_mode=OFF", "PRAGMA synchronous=OFF",
                                   "PRAGMA cache_size=-1000000", "PRAGMA temp_store=MEMORY"})
            db.exec(QString::fromLatin1(pragma));
        auto triggers = db.select(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger'"));
        while (triggers && triggers->next())
            triggerNames << triggers->value(0).toString();
    }
    for (const QString& name : indexNames) {
        if (!exec(db, QStringLiteral("DROP INDEX ") + name))
            return false;
    }
    for (const QString& t : triggerNames) {
        if (!exec(db, QStringLiteral("DROP TRIGGER ") + t))
            return false;
    }
    if (!db.begin())
        return false;
    {
        Bulk products(db, QStringLiteral("INSERT INTO tb_product(PrdCode, PrdName, Price, PurchasePrice)"));
        for (int p = 0; p < kProducts; ++p) {
            if (!products.add(QStringLiteral("('P%1', '商品%1', %2, %3)")
                                  .arg(p, 5, 10, QLatin1Char('0'))
                                  .arg(10 + p % 90)
                                  .arg(6 + p % 50)))
                return false;
        }
        Bulk members(db, QStringLiteral("INSERT INTO tb_members(TrueName, MobilePhone, Balance)"));
        for (int m = 0; m < kMembers; ++m) {
            if (!members.add(
                    QStringLiteral("('会员%1', '139%2', 100)").arg(m).arg(m, 8, 10, QLatin1Char('0'))))
                return false;
        }
        if (!products.flush() || !members.flush())
            return false;
    }
    const qint64 orders = lines / kLinesPerOrder;
    Bulk orderRows(
        db, QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID, SaleManID, TotalPrice, RealTotalPrice, "
                           "Profits, PrdSum, PayType, OrderType, SaleDate, AddDate)"));
    Bulk lineRows(db,
                  QStringLiteral("INSERT INTO tb_order_lines(OrderNo, MemID, SaleManID, PrdCode, PrdName, "
                                 "PrdPrice, PrdNum, DisCount, DisCountPrice, PrdPurchasePrice, Profits, "
                                 "TotalPrice, Integral, PayType, SaleDate)"));
    const QDate first = kLastDay.addDays(-(kDays - 1));
    for (qint64 o = 0; o < orders; ++o) {
        const QDate day = first.addDays(int(o * kDays / orders));
        const QString when = stamp(day, 8 * 3600 + int(rng.bounded(14 * 3600)));
        const QString no =
            day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("%1").arg(o, 11, 10, QLatin1Char('0'));
        const int r = int(rng.bounded(100));
        const int pay = r < 60 ? 1 : r < 95 ? 2 : 3;
        const int member = rng.bounded(3) == 0 ? -1 : 1 + skewed(rng, kMembers, 2);
        double total = 0;
        double profit = 0;
        for (int l = 0; l < kLinesPerOrder; ++l) {
            const int p = skewed(rng, kProducts, 3);
            const int n = 1 + int(rng.bounded(3));
            const double price = 10 + p % 90;
            const double cost = 6 + p % 50;
            total += n * price;
            profit += n * (price - cost);
            if (!lineRows.add(
                    QStringLiteral("('%1', %2, 1, 'P%3', '商品%3', %4, %5, 10, %4, %6, %7, %8, 0, %9, '%10')")
                        .arg(no)
                        .arg(member)
                        .arg(p, 5, 10, QLatin1Char('0'))
                        .arg(price)
                        .arg(n)
                        .arg(cost)
                        .arg(n * (price - cost))
                        .arg(n * price)
                        .arg(pay)
                        .arg(when)))
                return false;
        }
        if (!orderRows.add(QStringLiteral("('%1', %2, 1, %3, %3, %4, %5, %6, %7, '%8', '%8')")
                               .arg(no)
                               .arg(member)
                               .arg(total)
                               .arg(profit)
                               .arg(kLinesPerOrder)
                               .arg(pay)
                               .arg(pay == 3 ? 3 : 1)
                               .arg(when)))
            return false;
    }
    Bulk topupRows(db, QStringLiteral("INSERT INTO tb_TopupRecord(MemID, SaleManID, Amount, Giving, Total, "
                                      "BefBalance, AftBalance, OpType, Remark, AddDate)"));
    for (qint64 t = 0; t < topups; ++t) {
        const QDate day = first.addDays(int(t * kDays / topups));
        const int member = 1 + skewed(rng, kMembers, 2);
        const bool recharge = rng.bounded(5) != 0;
        const int amount = 50 * (1 + int(rng.bounded(6)));
        if (!topupRows.add(QStringLiteral("(%1, %2, %3, %4, %5, 100, %6, %7, '', '%8')")
                               .arg(member)
                               .arg(1 + int(rng.bounded(10)))
                               .arg(recharge ? amount : 0)
                               .arg(recharge ? amount / 10 : 0)
                               .arg(recharge ? amount + amount / 10 : -amount)
                               .arg(recharge ? 100 + amount + amount / 10 : 100 - amount)
                               .arg(recharge ? 1 : 0)
                               .arg(stamp(day, 9 * 3600 + int(rng.bounded(12 * 3600))))))
            return false;
    }
    if (!orderRows.flush() || !lineRows.flush() || !topupRows.flush() || !db.commit())
        return false;
    for (const QString& ddl : indexDdl) {
        if (!exec(db, ddl))
            return false;
    }
    if (isPg(db)) {
        // The server kept its triggers, switched off: on again, and the day sums added up once.
        for (const char* table : kBigTables) {
            if (!exec(db, QStringLiteral("ALTER TABLE %1 ENABLE TRIGGER USER").arg(QLatin1String(table))))
                return false;
        }
        if (!db::RefillDaySums(db))
            return false;
    }
    return exec(db, isPg(db) ? QStringLiteral("VACUUM ANALYZE") : QStringLiteral("ANALYZE")) &&
           exec(db, QStringLiteral("CREATE TABLE bench_done(x integer)"));
}

// This feature's indexes and the ones they replaced.
struct Swap {
    const char* mine;
    const char* mineDdl;
    const char* old;
    const char* oldDdl;
};
const Swap kSwaps[] = {
    {"ix_lines_saledate_sums",
     "CREATE INDEX ix_lines_saledate_sums ON tb_order_lines(SaleDate, PayType, PrdCode, PrdNum, TotalPrice, "
     "Profits, PrdPurchasePrice)",
     "ix_lines_saledate", "CREATE INDEX ix_lines_saledate ON tb_order_lines(SaleDate)"},
    {"ix_lines_prd_sums",
     "CREATE INDEX ix_lines_prd_sums ON tb_order_lines(PrdCode, SaleDate, PayType, PrdNum, TotalPrice, "
     "Profits, PrdPurchasePrice)",
     "ix_lines_prd", "CREATE INDEX ix_lines_prd ON tb_order_lines(PrdCode)"},
    {"ix_topup_mem_adddate", "CREATE INDEX ix_topup_mem_adddate ON tb_TopupRecord(MemID, AddDate)",
     "ix_topup_mem", "CREATE INDEX ix_topup_mem ON tb_TopupRecord(MemID)"},
    {"ix_topup_saleman_adddate",
     "CREATE INDEX ix_topup_saleman_adddate ON tb_TopupRecord(SaleManID, AddDate)", nullptr, nullptr},
};

bool useMine(db::Database& db, bool mine) {
    for (const Swap& s : kSwaps) {
        const char* drop = mine ? s.old : s.mine;
        const char* create = mine ? s.mineDdl : s.oldDdl;
        if (drop && !exec(db, QStringLiteral("DROP INDEX IF EXISTS ") + QLatin1String(drop)))
            return false;
        if (create &&
            !exec(db, QString::fromLatin1(create).replace(QLatin1String("CREATE INDEX"),
                                                          QLatin1String("CREATE INDEX IF NOT EXISTS"))))
            return false;
    }
    // Earlier shops of this benchmark kept the narrower index of one product's lines.
    return exec(db, QStringLiteral("DROP INDEX IF EXISTS ix_lines_prd_saledate")) &&
           exec(db, isPg(db) ? QStringLiteral("VACUUM ANALYZE") : QStringLiteral("ANALYZE"));
}

struct Case {
    const char* name;
    std::function<qint64()> run; // rows returned
};

// Opens the kept shop of this size on SQLite (pg empty) or on the server, or builds it.
bool openShop(AppContext& ctx, qint64 lines, qint64 topups, const std::optional<db::ConnectionConfig>& pg,
              QTemporaryDir& confDir) {
    QString folder;
    if (pg) {
        if (!bench::KeptServerShop(*pg, QStringLiteral("selvo_bench_reports_%1_%2").arg(lines).arg(topups),
                                   confDir.path()))
            return false;
        folder = confDir.path();
    } else {
        folder = QStringLiteral("/tmp/selvo-bench-reports-%1-%2").arg(lines).arg(topups);
        QDir().mkpath(folder);
    }
    const OpenResult opened = OpenDatabase(ctx, folder);
    if (!opened.ok) {
        std::fprintf(stderr, "cannot open the shop: %s\n", qPrintable(opened.detail));
        return false;
    }
    db::Database& db = ctx.db;
    const bool done = isPg(db) ? db.scalar(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = "
                                                          "current_schema() AND tablename = 'bench_done'"))
                                         ->toInt() > 0
                               : db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = "
                                                          "'bench_done'"))
                                         ->toInt() > 0;
    if (done)
        return true;
    std::printf("building the shop (%s): %lld order lines, %lld recharge records\n",
                isPg(db) ? "PostgreSQL" : "SQLite", lines, topups);
    std::fflush(stdout);
    QElapsedTimer t;
    t.start();
    if (!build(ctx, lines, topups))
        return false;
    std::printf("built in %.1f s\n", t.elapsed() / 1000.0);
    return true;
}

bool runEngine(qint64 lines, qint64 topups, int runs, const std::optional<db::ConnectionConfig>& pg) {
    QTemporaryDir confDir;
    AppContext ctx;
    if (!openShop(ctx, lines, topups, pg, confDir))
        return false;
    db::Database& db = ctx.db;
    if (!isPg(db))
        db.exec(QStringLiteral("PRAGMA cache_size=-200000"));

    const QDate day = kLastDay.addDays(-10);
    const QDate monthFrom(2025, 11, 1), monthTo(2025, 11, 30);
    const QDate yearFrom(2025, 1, 1);
    const auto stats = [&](QDate from, QDate to) {
        ProductStatsFilter f;
        f.from = from;
        f.to = to;
        return qint64(QueryProductStats(ctx, f).value_or(QList<QStringList>{}).size());
    };
    const QString busiest =
        db.scalar(QStringLiteral("SELECT PrdCode FROM tb_order_lines WHERE SaleDate >= "
                                 "'2025-11-01' GROUP BY PrdCode ORDER BY count(*) DESC LIMIT 1"))
            .value_or(QVariant())
            .toString();
    const int member =
        db.scalar(QStringLiteral("SELECT MemID FROM tb_TopupRecord GROUP BY MemID ORDER BY count(*) "
                                 "DESC LIMIT 1"))
            .value_or(QVariant(1))
            .toInt();
    const qint64 monthLines =
        db.scalar(QStringLiteral("SELECT count(*) FROM tb_order_lines WHERE SaleDate >= "
                                 "'2025-11-01 00:00:00' AND SaleDate <= '2025-11-30 23:59:59'"))
            ->toLongLong();
    const qint64 memberRecords =
        db.scalar(QStringLiteral("SELECT count(*) FROM tb_TopupRecord WHERE MemID = ?"), {member})
            ->toLongLong();
    std::printf(
        "a month holds %lld order lines; the busiest product is %s; member %d has %lld recharge records\n",
        monthLines, qPrintable(busiest), member, memberRecords);

    const Case cases[] = {
        {"statistics, one day",
         [&] {
             return stats(day, day);
         }},
        {"statistics, one month",
         [&] {
             return stats(monthFrom, monthTo);
         }},
        {"statistics, one year",
         [&] {
             return stats(yearFrom, kLastDay);
         }},
        {"details of the busiest product, one month",
         [&] {
             ProductStatsFilter f;
             f.from = monthFrom;
             f.to = monthTo;
             return qint64(QueryProductStatDetails(ctx, busiest, f).value_or(QList<QStringList>{}).size());
         }},
        {"recharge records, first screen",
         [&] {
             return qint64(
                 QueryTopupRecordPage(ctx, {}, std::nullopt, 200).value_or(TopupRecordPage{}).rows.size());
         }},
        {"recharge records, 50th screen",
         [&] {
             std::optional<TopupPageKey> after;
             qint64 n = 0;
             for (int i = 0; i < 50; ++i) {
                 const auto page = QueryTopupRecordPage(ctx, {}, after, 200);
                 if (!page)
                     break;
                 n = page->rows.size();
                 after = page->last;
             }
             return n;
         }},
        {"recharge records of one member, first screen",
         [&] {
             TopupRecordFilter f;
             f.memberId = member;
             return qint64(
                 QueryTopupRecordPage(ctx, f, std::nullopt, 200).value_or(TopupRecordPage{}).rows.size());
         }},
        {"recharge records, one month, first screen",
         [&] {
             TopupRecordFilter f;
             f.from = monthFrom;
             f.to = monthTo;
             return qint64(
                 QueryTopupRecordPage(ctx, f, std::nullopt, 200).value_or(TopupRecordPage{}).rows.size());
         }},
    };
    const int n = int(std::size(cases));
    std::vector<double> withMine(n), without(n);
    std::vector<qint64> rows(n);
    const bool onlyNew = qEnvironmentVariableIntValue("SELVO_BENCH_ONLY_NEW") == 1;
    for (bool mine : {false, true}) {
        if (!mine && onlyNew)
            continue;
        if (!useMine(db, mine))
            return false;
        for (int i = 0; i < n; ++i) {
            std::vector<double> ms;
            for (int r = 0; r < runs; ++r) {
                QElapsedTimer t;
                t.start();
                rows[i] = cases[i].run();
                ms.push_back(t.nsecsElapsed() / 1e6);
            }
            std::sort(ms.begin(), ms.end());
            (mine ? withMine : without)[i] = ms[ms.size() / 2];
        }
    }
    std::printf("\n%s, median of %d runs (ms)\n%-46s %8s %14s %14s\n", isPg(db) ? "PostgreSQL" : "SQLite",
                runs, "", "rows", "old indexes", "these indexes");
    for (int i = 0; i < n; ++i)
        std::printf("%-46s %8lld %14s %14.1f\n", cases[i].name, rows[i],
                    onlyNew ? "-" : qPrintable(QString::number(without[i], 'f', 1)), withMine[i]);
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 lines = envNumber("SELVO_BENCH_LINES", 1200000);
    const qint64 topups = envNumber("SELVO_BENCH_TOPUPS", lines / 12);
    const int runs = int(envNumber("SELVO_BENCH_RUNS", 5));
    bool ok =
        qEnvironmentVariableIntValue("SELVO_BENCH_NO_SQLITE") || runEngine(lines, topups, runs, std::nullopt);
    std::optional<db::ConnectionConfig> pg;
    if (!bench::BenchServer(pg))
        return 1;
    if (pg) {
        ok = runEngine(lines, topups, runs, pg) && ok;
    }
    return ok ? 0 : 1;
}
