// The sales records window's query (500 newest orders and both summary lines) against three years of
// a busy shop: 2.4 million orders, 12 million order lines, 200,000 members, 300,000 recharge
// records. Each filter is timed first the plain way, the summary added up from the order and
// recharge rows and the list on the indexes there were before (SaleDate, MemID and SaleManID
// alone), then as the window runs it: the day sums and the list's composite indexes.
//
//   bench_records [orders]         SELVO_BENCH_ORDERS=N    fewer orders for a quick run
//   SELVO_BENCH_RUNS=N             timed runs per query (default 9)
//   SELVO_BENCH_PG=conninfo        also on PostgreSQL (SELVO_TEST_PG serves as well)
//
// The shop is built once per size and kept: SQLite under /tmp/selvo-bench-records-N/, PostgreSQL
// as the database selvo_bench_records_N (drop it with DROP DATABASE when done).
#include "BenchServer.h"

#include "core/db/DaySums.h"
#include "core/sales/SalesRecords.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"
#include "core/store/Vocabulary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

using namespace selvo;

namespace {

// Bumped whenever the generated shop changes, so an old cached one is built again.
constexpr int kFixtureVersion = 1;
constexpr int kDays = 1096;
const QDate kLastDay(2025, 12, 31);
constexpr int kOperators = 10;
constexpr int kProducts = 20000;

// What this window changed in the schema: its indexes, each with the one it replaced (put back for
// the plain runs).
struct AddedIndex {
    const char* name;
    const char* replaced;
    const char* replacedDdl;
};
const AddedIndex kAddedIndexes[] = {
    {"ix_orders_saledate_id", "ix_orders_saledate", "CREATE INDEX ix_orders_saledate ON tb_orders(SaleDate)"},
    {"ix_orders_mem_saledate", "ix_orders_mem", "CREATE INDEX ix_orders_mem ON tb_orders(MemID)"},
    {"ix_orders_saleman_saledate", "ix_orders_saleman",
     "CREATE INDEX ix_orders_saleman ON tb_orders(SaleManID)"},
};

struct Size {
    qint64 orders = 2400000;
    int members = 200000;
    int topups = 300000;
};

double round2(double v) {
    return std::round(v * 100) / 100;
}

// Multi-row INSERT with bound values, `rows` rows per statement.
class BulkInsert final {
public:
    BulkInsert(db::Database& db, const QString& table, const QStringList& columns, int rows = 500)
        : m_db(db), m_table(table), m_columns(columns), m_rows(rows) {}
    ~BulkInsert() { flush(); }
    bool add(const QVariantList& row) {
        m_pending << row;
        if (m_pending.size() / m_columns.size() >= m_rows)
            return flush();
        return m_ok;
    }
    bool flush() {
        const int n = int(m_pending.size() / m_columns.size());
        if (n == 0 || !m_ok)
            return m_ok;
        QSqlQuery& q = n == m_rows ? m_full : m_partial;
        if (n != m_rows || !m_fullPrepared) {
            q = QSqlQuery(m_db.handle());
            const QString one = QLatin1Char('(') +
                                QStringList(m_columns.size(), QStringLiteral("?")).join(u',') +
                                QLatin1Char(')');
            m_ok = q.prepare(QStringLiteral("INSERT INTO %1(%2) VALUES ").arg(m_table, m_columns.join(u',')) +
                             QStringList(n, one).join(u','));
            m_fullPrepared = m_fullPrepared || n == m_rows;
        }
        for (const QVariant& v : std::as_const(m_pending))
            q.addBindValue(v);
        m_ok = m_ok && q.exec();
        if (!m_ok)
            std::fprintf(stderr, "insert into %s: %s\n", qPrintable(m_table),
                         qPrintable(q.lastError().text()));
        m_pending.clear();
        return m_ok;
    }

private:
    db::Database& m_db;
    QString m_table;
    QStringList m_columns;
    int m_rows;
    QVariantList m_pending;
    QSqlQuery m_full, m_partial;
    bool m_fullPrepared = false;
    bool m_ok = true;
};

bool exec(db::Database& db, const QString& sql) {
    if (db.exec(sql))
        return true;
    std::fprintf(stderr, "%s\n  failed: %s\n", qPrintable(sql.left(300)), qPrintable(db.lastError()));
    return false;
}

bool isPg(db::Database& db) {
    return db.engine() == db::Engine::Postgres;
}

// Index definitions by name, read from the engine's catalogue.
QList<std::pair<QString, QString>> indexesOf(db::Database& db, const QString& table) {
    QList<std::pair<QString, QString>> out;
    auto q = isPg(db)
                 ? db.select(QStringLiteral("SELECT indexname, indexdef FROM pg_indexes WHERE schemaname = "
                                            "current_schema() AND tablename = ? AND indexname NOT IN "
                                            "(SELECT conname FROM pg_constraint)"),
                             {table.toLower()})
                 : db.select(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND "
                                            "tbl_name = ? AND sql IS NOT NULL"),
                             {table});
    while (q && q->next())
        out.append({q->value(0).toString(), q->value(1).toString()});
    return out;
}

// Dropped indexes are written down first, so an interrupted run leaves a shop that the next run mends.
bool dropIndexes(db::Database& db, const QList<std::pair<QString, QString>>& indexes) {
    for (const auto& [name, sql] : indexes) {
        if (!db.exec(QStringLiteral("INSERT INTO bench_dropped(name, sql) VALUES(?, ?)"), {name, sql}) ||
            !exec(db, QStringLiteral("DROP INDEX ") + name))
            return false;
    }
    return true;
}

bool restoreIndexes(db::Database& db) {
    QList<std::pair<QString, QString>> dropped;
    auto q = db.select(QStringLiteral("SELECT name, sql FROM bench_dropped"));
    while (q && q->next())
        dropped.append({q->value(0).toString(), q->value(1).toString()});
    for (const auto& [name, sql] : dropped) {
        if (!exec(db, sql) || !db.exec(QStringLiteral("DELETE FROM bench_dropped WHERE name = ?"), {name}))
            return false;
    }
    return true;
}

// Undoes the plain runs' schema, also after a run stopped half-way.
bool putBackAddedIndexes(db::Database& db) {
    for (const AddedIndex& a : kAddedIndexes) {
        if (!exec(db, QStringLiteral("DROP INDEX IF EXISTS ") + QLatin1String(a.replaced)))
            return false;
    }
    return restoreIndexes(db);
}

bool analyze(db::Database& db) {
    return exec(db, isPg(db) ? QStringLiteral("VACUUM ANALYZE") : QStringLiteral("ANALYZE"));
}

// Three years of sales, oldest first: about 2,200 orders a day (more at weekends and as the shop
// grows), four of the ten operators on each day's shift, 60 % walk-in guests paying cash.
bool fillShop(AppContext& ctx, const Size& size) {
    db::Database& db = ctx.db;
    QRandomGenerator rng(20251231);
    QElapsedTimer t;
    t.start();
    const auto step = [&](const char* what) {
        std::printf("  %-34s %6.1f s\n", what, t.nsecsElapsed() / 1e9);
        std::fflush(stdout);
    };

    QList<int> operators;
    {
        BulkInsert ins(db, QStringLiteral("tb_manager"),
                       {QStringLiteral("UID"), QStringLiteral("PWD"), QStringLiteral("SalesManCode"),
                        QStringLiteral("TrueName"), QStringLiteral("Phone"), QStringLiteral("UserType"),
                        QStringLiteral("state"), QStringLiteral("pwdWarn")});
        for (int i = 0; i < kOperators; ++i)
            ins.add({QStringLiteral("clerk%1").arg(i), QString(), QStringLiteral("E%1").arg(i),
                     QStringLiteral("店员%1").arg(i), QString(), 2, 0, QString()});
        if (!ins.flush())
            return false;
        auto q = db.select(QStringLiteral("SELECT ID FROM tb_manager WHERE UID LIKE 'clerk%' ORDER BY ID"));
        while (q && q->next())
            operators << q->value(0).toInt();
    }
    {
        BulkInsert ins(db, QStringLiteral("tb_product"),
                       {QStringLiteral("PrdCode"), QStringLiteral("PrdName"), QStringLiteral("FirstSpell"),
                        QStringLiteral("Price"), QStringLiteral("PurchasePrice"),
                        QStringLiteral("MeasuringUnit"), QStringLiteral("PrdInventory")});
        for (int i = 0; i < kProducts; ++i)
            ins.add({QString::number(10000000 + i), QStringLiteral("商品%1").arg(i),
                     QStringLiteral("SP%1").arg(i), 1.5 + i % 50, 1.0 + i % 40, QStringLiteral("个"), 100.0});
        if (!ins.flush())
            return false;
    }
    {
        BulkInsert ins(db, QStringLiteral("tb_members"),
                       {QStringLiteral("MemberCode"), QStringLiteral("TrueName"),
                        QStringLiteral("FirstSpell"), QStringLiteral("MobilePhone"),
                        QStringLiteral("Integral"), QStringLiteral("Balance"), QStringLiteral("AddDate")});
        const QDateTime first(kLastDay.addDays(-kDays - 365), QTime(9, 0));
        for (int i = 0; i < size.members; ++i)
            ins.add({QString::asprintf("VIP%06d", i), QStringLiteral("会员%1").arg(i),
                     QStringLiteral("HY%1").arg(i), QString::asprintf("139%08d", i), int(rng.bounded(5000)),
                     double(rng.bounded(100000)) / 100, db::dateTimeText(first.addSecs(qint64(i) * 200))});
        if (!ins.flush())
            return false;
    }
    const int memberBase = db.scalar(QStringLiteral("SELECT min(ID) FROM tb_members"))->toInt();
    // Regulars come often: the lowest IDs are drawn most.
    const auto member = [&] {
        const double u = rng.generateDouble();
        return memberBase + int(u * u * size.members);
    };
    step("operators, products, members");

    // Orders per day: weekends a third busier, the third year half again as busy as the first.
    QList<double> weight(kDays);
    double weights = 0;
    const QDate firstDay = kLastDay.addDays(-(kDays - 1));
    for (int d = 0; d < kDays; ++d) {
        const QDate day = firstDay.addDays(d);
        weight[d] = (day.dayOfWeek() >= 6 ? 1.33 : 1.0) * (0.8 + 0.4 * d / kDays);
        weights += weight[d];
    }
    {
        BulkInsert ins(db, QStringLiteral("tb_orders"),
                       {QStringLiteral("OrderNo"), QStringLiteral("MemID"), QStringLiteral("SaleManID"),
                        QStringLiteral("TotalPrice"), QStringLiteral("RealTotalPrice"),
                        QStringLiteral("PrdPurchasePrice"), QStringLiteral("Profits"),
                        QStringLiteral("PrdSum"), QStringLiteral("Integral"), QStringLiteral("GetMoney"),
                        QStringLiteral("Change"), QStringLiteral("Remark"), QStringLiteral("SaleDate"),
                        QStringLiteral("PayType"), QStringLiteral("OrderType"), QStringLiteral("AddDate")},
                       1000);
        qint64 made = 0;
        double carried = 0;
        QList<int> seconds;
        for (int d = 0; d < kDays; ++d) {
            carried += weight[d] / weights * double(size.orders);
            const int today = d == kDays - 1 ? int(size.orders - made) : int(std::llround(carried) - made);
            const QDateTime open(firstDay.addDays(d), QTime(8, 0));
            QList<int> shift;
            for (int k = 0; k < 4; ++k)
                shift << operators[(d * 3 + k) % operators.size()];
            seconds.resize(today);
            for (int& s : seconds)
                s = int(rng.bounded(14 * 3600));
            std::sort(seconds.begin(), seconds.end());
            for (int k = 0; k < today; ++k, ++made) {
                const QDateTime when = open.addSecs(seconds[k]);
                const QString whenText = db::dateTimeText(when);
                const bool guest = rng.generateDouble() < 0.6;
                const double r = rng.generateDouble();
                int orderType = OrderSale, payType = PayCash;
                if (guest) {
                    if (r >= 0.98)
                        orderType = OrderReturn;
                    else if (r >= 0.86)
                        orderType = OrderFastSale;
                } else if (r < 0.50) {
                } else if (r < 0.86) {
                    payType = PayBalance;
                } else if (r < 0.92) {
                    orderType = OrderPointsExchange;
                    payType = PayPoints;
                } else if (r < 0.96) {
                    orderType = OrderFastSale;
                } else {
                    orderType = OrderReturn;
                    payType = r < 0.98 ? PayCash : PayBalance;
                }
                const int lines = 1 + int(rng.bounded(9));
                const double u = rng.generateDouble();
                double total = round2(3 + u * u * 300);
                double real = guest || rng.bounded(10) >= 3 ? total : round2(total * 0.95);
                double cost = round2(total * (0.6 + 0.2 * rng.generateDouble()));
                int points = guest ? 0 : int(std::floor(real));
                double getMoney = 0, change = 0;
                if (orderType == OrderPointsExchange) {
                    points = -int(std::ceil(total)) * 100;
                    real = 0;
                } else if (orderType == OrderReturn) {
                    total = -total;
                    real = -real;
                    cost = -cost;
                    points = -points;
                }
                if (payType == PayCash && orderType != OrderReturn) {
                    getMoney = guest ? std::ceil(real / 10) * 10 : real;
                    change = round2(getMoney - real);
                }
                const int saleMan = rng.bounded(100) == 0 ? 1 : shift[int(rng.bounded(4))];
                QString orderNo = whenText;
                orderNo.remove(u'-').remove(u' ').remove(u':');
                orderNo += QString::asprintf("%05d", int(made % 100000));
                if (!ins.add({orderNo, guest ? kWalkInMember : member(), saleMan, total, real, cost,
                              round2(real - cost), double(orderType == OrderReturn ? -lines : lines), points,
                              getMoney, change, QString(), whenText, payType, orderType, whenText}))
                    return false;
            }
        }
        if (!ins.flush())
            return false;
    }
    step("orders");

    // The lines are made by the server from the orders: one to nine each, five on average.
    if (!exec(db, QStringLiteral("CREATE TABLE bench_n(i integer)")) ||
        !exec(db, QStringLiteral("INSERT INTO bench_n(i) VALUES (1),(2),(3),(4),(5),(6),(7),(8),(9)")) ||
        !exec(
            db,
            QStringLiteral(
                "INSERT INTO tb_order_lines(OrderNo, MemID, SaleManID, PrdCode, PrdName, PrdPrice, PrdNum, "
                "DisCount, DisCountPrice, PrdPurchasePrice, Profits, TotalPrice, Integral, PayType, "
                "SaleDate) "
                "SELECT o.OrderNo, o.MemID, o.SaleManID, CAST(10000000 + (o.ID * 37 + n.i * 7919) % 20000 AS "
                "text), '商品' || CAST((o.ID * 37 + n.i * 7919) % 20000 AS text), o.TotalPrice / "
                "abs(o.PrdSum), "
                "1, 10, o.RealTotalPrice / abs(o.PrdSum), o.PrdPurchasePrice / abs(o.PrdSum), "
                "o.Profits / abs(o.PrdSum), o.RealTotalPrice / abs(o.PrdSum), 0, o.PayType, o.SaleDate "
                "FROM tb_orders o JOIN bench_n n ON n.i <= abs(o.PrdSum)")) ||
        !exec(db, QStringLiteral("DROP TABLE bench_n")))
        return false;
    step("order lines");

    {
        BulkInsert ins(db, QStringLiteral("tb_TopupRecord"),
                       {QStringLiteral("MemID"), QStringLiteral("SaleManID"), QStringLiteral("Amount"),
                        QStringLiteral("Giving"), QStringLiteral("Total"), QStringLiteral("BefBalance"),
                        QStringLiteral("AftBalance"), QStringLiteral("OpType"), QStringLiteral("Remark"),
                        QStringLiteral("AddDate")},
                       1000);
        QList<qint64> when(size.topups);
        const QDateTime open(firstDay, QTime(8, 0));
        for (qint64& w : when)
            w = qint64(rng.bounded(kDays)) * 86400 + rng.bounded(14 * 3600);
        std::sort(when.begin(), when.end());
        for (const qint64 w : when) {
            const bool recharge = rng.bounded(100) < 92;
            const double amount = recharge ? 50.0 * (2 + rng.bounded(39)) : 0;
            const double bonus = recharge ? amount * 0.05 * rng.bounded(3) : 0;
            const double total = recharge ? amount + bonus : -double(10 + rng.bounded(191));
            const int day = int(w / 86400);
            if (!ins.add({member(), operators[(day * 3 + int(rng.bounded(4))) % operators.size()], amount,
                          bonus, total, 0.0, 0.0, recharge ? 1 : 0, QString(),
                          db::dateTimeText(open.addSecs(w))}))
                return false;
        }
        if (!ins.flush())
            return false;
    }
    step("recharge records");
    return true;
}

// Indexes and the day-sum triggers come back after the rows: building an index once is cheaper
// than keeping it through millions of inserts.
bool buildShop(AppContext& ctx, const Size& size) {
    db::Database& db = ctx.db;
    const QStringList tables = {QStringLiteral("tb_members"), QStringLiteral("tb_orders"),
                                QStringLiteral("tb_order_lines"), QStringLiteral("tb_TopupRecord")};
    QElapsedTimer t;
    t.start();
    if (!db.begin())
        return false;
    for (const QString& table : tables) {
        if (!dropIndexes(db, indexesOf(db, table)))
            return false;
    }
    QStringList triggers;
    if (isPg(db)) {
        if (!exec(db, QStringLiteral("ALTER TABLE tb_orders DISABLE TRIGGER USER")) ||
            !exec(db, QStringLiteral("ALTER TABLE tb_TopupRecord DISABLE TRIGGER USER")))
            return false;
    } else {
        auto q = db.select(QStringLiteral(
            "SELECT name, sql FROM sqlite_master WHERE type = 'trigger' AND tbl_name IN ('tb_orders', "
            "'tb_TopupRecord')"));
        QStringList names;
        while (q && q->next()) {
            names << q->value(0).toString();
            triggers << q->value(1).toString();
        }
        for (const QString& name : names) {
            if (!exec(db, QStringLiteral("DROP TRIGGER ") + name))
                return false;
        }
    }
    if (!fillShop(ctx, size))
        return false;
    if (!restoreIndexes(db))
        return false;
    std::printf("  %-34s %6.1f s\n", "indexes", t.nsecsElapsed() / 1e9);
    if (isPg(db)) {
        if (!exec(db, QStringLiteral("ALTER TABLE tb_orders ENABLE TRIGGER USER")) ||
            !exec(db, QStringLiteral("ALTER TABLE tb_TopupRecord ENABLE TRIGGER USER")))
            return false;
    } else {
        for (const QString& sql : std::as_const(triggers)) {
            if (!exec(db, sql))
                return false;
        }
    }
    if (!db::RefillDaySums(db))
        return false;
    std::printf("  %-34s %6.1f s\n", "day sums", t.nsecsElapsed() / 1e9);
    if (!db.exec(QStringLiteral("INSERT INTO bench_fixture(version, orders) VALUES(?, ?)"),
                 {kFixtureVersion, size.orders}) ||
        !db.commit())
        return false;
    if (!analyze(db))
        return false;
    std::printf("  %-34s %6.1f s\n", "built and analysed", t.nsecsElapsed() / 1e9);
    return true;
}

bool fixtureIsComplete(db::Database& db, const Size& size) {
    auto v = db.scalar(QStringLiteral("SELECT count(*) FROM bench_fixture WHERE version = ? AND orders = ?"),
                       {kFixtureVersion, size.orders});
    return v && v->toInt() == 1;
}

bool prepareBenchTables(db::Database& db) {
    return exec(db,
                QStringLiteral("CREATE TABLE IF NOT EXISTS bench_fixture(version integer, orders bigint)")) &&
           exec(db, QStringLiteral("CREATE TABLE IF NOT EXISTS bench_dropped(name text, sql text)"));
}

// Opens the kept shop of this size, or builds it.
bool openShop(AppContext& ctx, const Size& size, const std::optional<db::ConnectionConfig>& pg,
              QTemporaryDir& confDir) {
    QString folder;
    if (pg) {
        const QString name = QStringLiteral("selvo_bench_records_%1").arg(size.orders);
        db::Database admin;
        if (!admin.open(*pg)) {
            std::fprintf(stderr, "cannot reach the server: %s\n", qPrintable(admin.lastError()));
            return false;
        }
        bool reuse = false;
        if (admin.scalar(QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = ?"), {name})
                ->toInt()) {
            db::ConnectionConfig c = *pg;
            c.name = name;
            db::Database probe;
            reuse = probe.open(c) && fixtureIsComplete(probe, size);
        }
        if (!reuse && (!exec(admin, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name)) ||
                       !exec(admin, QStringLiteral("CREATE DATABASE %1").arg(name))))
            return false;
        if (!WriteServerConf(confDir.path(), *pg, name))
            return false;
        folder = confDir.path();
    } else {
        folder = QDir::temp().filePath(QStringLiteral("selvo-bench-records-%1").arg(size.orders));
        QDir().mkpath(folder);
        const QString file = QDir(folder).filePath(QStringLiteral("hydb.db"));
        if (QFile::exists(file)) {
            db::Database probe;
            db::ConnectionConfig c;
            c.sqliteFile = file;
            if (!probe.open(c) || !fixtureIsComplete(probe, size)) {
                probe.close();
                for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                    QFile::remove(file + suffix);
            }
        }
    }
    const OpenResult opened = OpenDatabase(ctx, folder);
    if (!opened.ok) {
        std::fprintf(stderr, "cannot open the shop: %s\n", qPrintable(opened.detail));
        return false;
    }
    ctx.op.id = 1;
    ctx.op.role = 0;
    db::Database& db = ctx.db;
    if (!prepareBenchTables(db))
        return false;
    if (fixtureIsComplete(db, size)) {
        std::printf("kept shop: %s\n", qPrintable(DatabaseLocation(db.config())));
        // A run stopped while the plain tables were being timed left its indexes written down.
        return putBackAddedIndexes(db);
    }
    std::printf("building the shop: %s\n", qPrintable(DatabaseLocation(db.config())));
    if (!isPg(db)) {
        // Throw-away data: no journal while building, and a large page cache.
        for (const char* pragma : {"PRAGMA journal_mode=OFF", "PRAGMA synchronous=OFF",
                                   "PRAGMA cache_size=-2000000", "PRAGMA temp_store=MEMORY"})
            db.exec(QString::fromLatin1(pragma));
    } else {
        for (const char* set : {"SET maintenance_work_mem = '1GB'", "SET synchronous_commit = off"})
            db.exec(QString::fromLatin1(set));
    }
    const bool built = buildShop(ctx, size);
    if (!isPg(db)) {
        db.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        db.exec(QStringLiteral("PRAGMA cache_size=-2000"));
        db.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    if (!built)
        std::fprintf(stderr, "building failed: %s\n", qPrintable(db.lastError()));
    return built;
}

QList<double> timings(int runs, const std::function<void()>& work) {
    work(); // warm the caches
    QList<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms << t.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}
double median(const QList<double>& v) {
    return v[v.size() / 2];
}
double p95(const QList<double>& v) {
    return v[std::min<qsizetype>(v.size() - 1, qsizetype(std::ceil(0.95 * v.size())) - 1)];
}

// Microseconds per order row inserted on the last day, with the day-sum triggers and without;
// both inside a transaction that is rolled back.
std::pair<double, double> orderInsertCost(AppContext& ctx) {
    db::Database& db = ctx.db;
    constexpr int kRows = 5000;
    const auto run = [&](bool triggers, int pass) {
        if (!db.begin())
            return -1.0;
        if (!triggers) {
            if (isPg(db)) {
                db.exec(QStringLiteral("ALTER TABLE tb_orders DISABLE TRIGGER USER"));
            } else {
                for (const char* t : {"insert", "delete", "update"})
                    db.exec(QStringLiteral("DROP TRIGGER tr_orders_daysums_%1").arg(QLatin1String(t)));
            }
        }
        QSqlQuery q(db.handle());
        q.prepare(
            QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID, SaleManID, TotalPrice, RealTotalPrice, "
                           "Profits, Integral, SaleDate, PayType, OrderType, AddDate) "
                           "VALUES(?, ?, ?, 12.5, 12.5, 3.1, 12, ?, ?, 1, ?)"));
        const QString when = db::dateTimeText(QDateTime(kLastDay, QTime(21, 0)));
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < kRows; ++i) {
            q.addBindValue(QString::asprintf("BENCH%d%06d", pass, i));
            q.addBindValue(i % 5 < 3 ? kWalkInMember : 1 + i);
            q.addBindValue(1 + i % 4);
            q.addBindValue(when);
            q.addBindValue(1 + i % 2);
            q.addBindValue(when);
            if (!q.exec())
                break;
        }
        const double us = t.nsecsElapsed() / 1e3 / kRows;
        db.rollback();
        return us;
    };
    // Alternating, twice each, keeping the better of two: the first pass warms the caches.
    double with = 1e9, without = 1e9;
    for (int pass = 0; pass < 2; ++pass) {
        with = std::min(with, run(true, pass * 2));
        without = std::min(without, run(false, pass * 2 + 1));
    }
    return {with, without};
}

struct Case {
    const char* label;
    SalesRecordFilter filter;
};

// What the window shows: the rows' order numbers and both summary lines.
QString shown(const SalesRecords& r) {
    QStringList numbers;
    for (const SalesRecordRow& row : r.rows)
        numbers << row.orderNo;
    return numbers.join(u',') + QLatin1Char('|') + (r.summary ? r.summary->ordersLine() : QString()) +
           QLatin1Char('|') + (r.summary ? r.summary->rechargesLine() : QString());
}

bool runEngine(const Size& size, int runs, const std::optional<db::ConnectionConfig>& pg) {
    QTemporaryDir confDir;
    AppContext ctx;
    if (!openShop(ctx, size, pg, confDir))
        return false;
    db::Database& db = ctx.db;
    const char* engine = isPg(db) ? "PostgreSQL" : "SQLite";
    const auto count = [&](const char* table) {
        return db.scalar(QStringLiteral("SELECT count(*) FROM ") + QLatin1String(table))->toLongLong();
    };
    std::printf("%s: %lld orders, %lld order lines, %lld members, %lld recharge records; day sums: %lld + "
                "%lld rows\n",
                engine, count("tb_orders"), count("tb_order_lines"), count("tb_members"),
                count("tb_TopupRecord"), count("tb_OrderDaySums"), count("tb_TopupDaySums"));

    const int regular = db.scalar(QStringLiteral("SELECT min(ID) FROM tb_members"))->toInt();
    QList<Case> cases;
    const auto add = [&](const char* label, auto&& set) {
        SalesRecordFilter f;
        set(f);
        cases.append({label, f});
    };
    add("one day (the last)", [&](SalesRecordFilter& f) { f.from = f.to = kLastDay; });
    add("one month", [&](SalesRecordFilter& f) {
        f.from = QDate(kLastDay.year(), kLastDay.month(), 1);
        f.to = kLastDay;
    });
    add("unfiltered", [](SalesRecordFilter&) {});
    add("one member (regular)", [&](SalesRecordFilter& f) {
        f.customer = SalesRecordFilter::Members;
        f.memberId = regular;
    });
    add("payment = cash", [](SalesRecordFilter& f) { f.payType = PayCash; });
    add("guests", [](SalesRecordFilter& f) { f.customer = SalesRecordFilter::Guests; });

    // The plain tables first: the day sums are not read and the indexes are those before.
    QList<std::pair<QString, QString>> added;
    for (const auto& index : indexesOf(db, QStringLiteral("tb_orders"))) {
        if (std::any_of(std::begin(kAddedIndexes), std::end(kAddedIndexes), [&](const AddedIndex& a) {
                return index.first.compare(QLatin1String(a.name), Qt::CaseInsensitive) == 0;
            }))
            added << index;
    }
    if (!dropIndexes(db, added))
        return false;
    for (const AddedIndex& a : kAddedIndexes) {
        if (!exec(db, QString::fromLatin1(a.replacedDdl)))
            return false;
    }
    if (isPg(db) && !analyze(db))
        return false;
    QList<QList<double>> plain;
    QStringList plainShown;
    for (const Case& c : std::as_const(cases)) {
        SalesRecords r;
        plain << timings(runs, [&] {
            r = QuerySalesList(ctx, c.filter);
            r.summary = QuerySalesSummaryFromRows(ctx, c.filter);
        });
        plainShown << shown(r);
    }
    if (!putBackAddedIndexes(db))
        return false;
    if (isPg(db) && !analyze(db))
        return false;

    std::printf(
        "\n%s, %lld orders: the records window's query (500 rows + both summary lines), ms over %d runs\n",
        engine, static_cast<long long>(size.orders), runs);
    std::printf("  %-20s %12s %12s   %12s %12s   %8s\n", "filter", "plain median", "plain p95", "ours median",
                "ours p95", "speed-up");
    bool same = true;
    for (int i = 0; i < cases.size(); ++i) {
        SalesRecords r;
        const QList<double> ours = timings(runs, [&] { r = QuerySalesRecords(ctx, cases[i].filter); });
        const bool agrees = shown(r) == plainShown[i] && r.listOk && r.summary;
        same = same && agrees;
        std::printf("  %-20s %12.1f %12.1f   %12.2f %12.2f   %7.0fx%s\n", cases[i].label, median(plain[i]),
                    p95(plain[i]), median(ours), p95(ours), median(plain[i]) / median(ours),
                    agrees ? "" : "   DIFFERENT RESULT");
    }
    std::printf("  (%s)\n", same ? "both ways show the same rows and summary lines"
                                 : "the two ways disagree: see DIFFERENT RESULT");
    const auto [withTriggers, without] = orderInsertCost(ctx);
    std::printf("  what the day sums cost a posting: an order row insert takes %.1f us with the triggers, "
                "%.1f us without\n",
                withTriggers, without);
    return same;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Size size;
    const QString asked =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("SELVO_BENCH_ORDERS");
    if (!asked.isEmpty())
        size.orders = std::max<qint64>(10000, asked.toLongLong());
    size.members = int(std::min<qint64>(200000, std::max<qint64>(1000, size.orders / 12)));
    size.topups = int(size.orders / 8);
    const int asRuns = qEnvironmentVariableIntValue("SELVO_BENCH_RUNS");
    const int runs = asRuns > 0 ? std::max(3, asRuns) : 9;

    bool ok = runEngine(size, runs, std::nullopt);
    std::optional<db::ConnectionConfig> pg;
    if (!bench::BenchServer(pg))
        return 1;
    if (pg) {
        std::printf("\n");
        ok = runEngine(size, runs, pg) && ok;
    }
    return ok ? 0 : 1;
}
