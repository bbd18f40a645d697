#include "core/db/DaySums.h"

#include "core/db/Database.h"

#include <QDate>

namespace selvo::db {

namespace {

struct Sum {
    const char* column;
    const char* from; // the summed table's column
    bool integral;
};

// One day-sum table and the table it adds up.
struct Table {
    const char* name;
    const char* source;
    const char* date;
    const char* day;
    const char* count;
    QStringList codes; // integer columns kept as they are, under the same name
    QList<Sum> sums;
    const char* trigger;  // name prefix
    const char* function; // PostgreSQL's trigger function

    QStringList keyColumns() const {
        return QStringList{QStringLiteral("DateState"), QLatin1String(day), QStringLiteral("CustKind")} +
               codes;
    }
    QStringList sumColumns() const {
        QStringList out{QLatin1String(count)};
        for (const Sum& s : sums)
            out << QLatin1String(s.column);
        return out;
    }
    // The columns whose change moves a row between groups or changes its sums.
    QStringList summedColumns() const {
        QStringList out = QStringList{QLatin1String(date), QStringLiteral("MemID")} + codes;
        for (const Sum& s : sums)
            out << QLatin1String(s.from);
        return out;
    }
    QStringList triggers(Engine engine) const {
        const QString prefix = QLatin1String(trigger);
        if (engine == Engine::Sqlite)
            return {prefix + QStringLiteral("_insert"), prefix + QStringLiteral("_delete"),
                    prefix + QStringLiteral("_update")};
        return {prefix, prefix + QStringLiteral("_update"), prefix + QStringLiteral("_truncate")};
    }
};

const Table kTables[] = {
    {"tb_OrderDaySums",
     "tb_orders",
     "SaleDate",
     "SaleDay",
     "OrderCount",
     {QStringLiteral("PayType"), QStringLiteral("OrderType"), QStringLiteral("SaleManID")},
     {{"RealTotal", "RealTotalPrice", false}, {"Points", "Integral", true}, {"Profits", "Profits", false}},
     "tr_orders_daysums",
     "selvo_order_day_sums"},
    {"tb_TopupDaySums",
     "tb_TopupRecord",
     "AddDate",
     "AddDay",
     "RecordCount",
     {QStringLiteral("OpType"), QStringLiteral("SaleManID")},
     {{"Amount", "Amount", false}, {"Giving", "Giving", false}, {"Total", "Total", false}},
     "tr_topup_daysums",
     "selvo_topup_day_sums"},
};

QString joined(const QStringList& parts) {
    return parts.join(QLatin1String(", "));
}

// "1, 2, ..." for GROUP BY and ORDER BY on the key columns.
QString keyOrdinals(const Table& t) {
    QStringList ordinals;
    for (int i = 1; i <= t.keyColumns().size(); ++i)
        ordinals << QString::number(i);
    return joined(ordinals);
}

// The key of the row `r` (NEW, OLD or a table alias), in keyColumns() order.
QStringList keyOf(const Table& t, Engine engine, const QString& r) {
    const QString date = r + QLatin1Char('.') + QLatin1String(t.date);
    QString dateState, day, noValue;
    if (engine == Engine::Sqlite) {
        // A text whose part after the tenth character lies between ' 00:00:00' and ' 23:59:59'
        // compares with 'D 00:00:00' and 'D 23:59:59' exactly as its first ten characters compare
        // with D. Anything else (a bare date, a blob) cannot be placed on a day.
        const QString plain =
            QStringLiteral("typeof(%1) = 'text' AND substr(%1, 11) BETWEEN ' 00:00:00' AND ' 23:59:59'")
                .arg(date);
        dateState = QStringLiteral("CASE WHEN %1 IS NULL THEN 1 WHEN %2 THEN 0 ELSE 2 END").arg(date, plain);
        day = QStringLiteral("CASE WHEN %2 THEN substr(%1, 1, 10) ELSE '' END").arg(date, plain);
        noValue = QString::number(kDaySumNoValue);
    } else {
        // timestamp(0) holds whole seconds: every value lies within its day's 00:00:00 .. 23:59:59.
        dateState = QStringLiteral("CASE WHEN %1 IS NULL THEN 1 ELSE 0 END").arg(date);
        day = QStringLiteral("coalesce(CAST(%1 AS date), DATE '1900-01-01')").arg(date);
        noValue = QStringLiteral("CAST(%1 AS integer)").arg(kDaySumNoValue);
    }
    QStringList key{
        dateState, day,
        QStringLiteral("CASE WHEN %1.MemID IS NULL THEN 0 WHEN %1.MemID = -1 THEN 2 ELSE 1 END").arg(r)};
    for (const QString& c : t.codes)
        key << QStringLiteral("coalesce(%1.%2, %3)").arg(r, c, noValue);
    return key;
}

// The count and sums one row adds (sign "") or takes away (sign "-").
QStringList sumsOf(const Table& t, const QString& r, const QString& sign) {
    QStringList out{sign + QStringLiteral("1")};
    for (const Sum& s : t.sums)
        out << sign + QStringLiteral("coalesce(%1.%2, 0)").arg(r, QLatin1String(s.from));
    return out;
}

// Adds one row to its group, or takes it away.
QString upsert(const Table& t, Engine engine, const QString& r, const QString& sign) {
    QStringList set;
    for (const QString& c : t.sumColumns())
        set << QStringLiteral("%1 = %2.%1 + excluded.%1").arg(c, QLatin1String(t.name));
    return QStringLiteral("INSERT INTO %1(%2, %3) VALUES(%4, %5) ON CONFLICT(%2) DO UPDATE SET %6")
        .arg(QLatin1String(t.name), joined(t.keyColumns()), joined(t.sumColumns()),
             joined(keyOf(t, engine, r)), joined(sumsOf(t, r, sign)), joined(set));
}

// A group whose last row went away is removed, so no rounding residue outlives its rows.
QString dropEmpty(const Table& t, Engine engine, const QString& r) {
    const QStringList columns = t.keyColumns();
    const QStringList key = keyOf(t, engine, r);
    QStringList match;
    for (int i = 0; i < columns.size(); ++i)
        match << QStringLiteral("%1 = %2").arg(columns[i], key[i]);
    return QStringLiteral("DELETE FROM %1 WHERE %2 = 0 AND ")
               .arg(QLatin1String(t.name), QLatin1String(t.count)) +
           match.join(QLatin1String(" AND "));
}

QString changedCondition(const Table& t, const QString& distinct) {
    QStringList parts;
    for (const QString& c : t.summedColumns())
        parts << QStringLiteral("OLD.%1 %2 NEW.%1").arg(c, distinct);
    return parts.join(QLatin1String(" OR "));
}

QString createTable(const Table& t, Engine engine) {
    const bool pg = engine == Engine::Postgres;
    QStringList columns{QStringLiteral("DateState integer NOT NULL"),
                        QLatin1String(t.day) +
                            (pg ? QStringLiteral(" date NOT NULL") : QStringLiteral(" TEXT NOT NULL")),
                        QStringLiteral("CustKind integer NOT NULL")};
    for (const QString& c : t.codes)
        columns << c + QStringLiteral(" integer NOT NULL");
    columns << QLatin1String(t.count) + QStringLiteral(" integer NOT NULL");
    for (const Sum& s : t.sums)
        columns << QLatin1String(s.column) + (s.integral ? (pg ? QStringLiteral(" bigint NOT NULL")
                                                               : QStringLiteral(" integer NOT NULL"))
                                                         : (pg ? QStringLiteral(" double precision NOT NULL")
                                                               : QStringLiteral(" REAL NOT NULL")));
    // SQLite keeps the rows in key order, so a range of days is one stretch of the table.
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2, PRIMARY KEY(%3))%4")
        .arg(QLatin1String(t.name), joined(columns), joined(t.keyColumns()),
             pg ? QString() : QStringLiteral(" WITHOUT ROWID"));
}

QStringList sqliteDdl(const Table& t) {
    const Engine e = Engine::Sqlite;
    const QStringList names = t.triggers(e);
    const QString source = QLatin1String(t.source);
    return {
        createTable(t, e),
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER INSERT ON %2 BEGIN %3; END")
            .arg(names[0], source, upsert(t, e, QStringLiteral("NEW"), QString())),
        QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1 AFTER DELETE ON %2 BEGIN %3; %4; END")
            .arg(names[1], source, upsert(t, e, QStringLiteral("OLD"), QStringLiteral("-")),
                 dropEmpty(t, e, QStringLiteral("OLD"))),
        QStringLiteral(
            "CREATE TRIGGER IF NOT EXISTS %1 AFTER UPDATE OF %2 ON %3 WHEN %4 BEGIN %5; %6; %7; END")
            .arg(names[2], joined(t.summedColumns()), source, changedCondition(t, QStringLiteral("IS NOT")),
                 upsert(t, e, QStringLiteral("OLD"), QStringLiteral("-")),
                 dropEmpty(t, e, QStringLiteral("OLD")), upsert(t, e, QStringLiteral("NEW"), QString())),
    };
}

QStringList pgDdl(const Table& t) {
    const Engine e = Engine::Postgres;
    const QStringList names = t.triggers(e);
    const QString source = QLatin1String(t.source);
    const QString function = QLatin1String(t.function);
    return {
        createTable(t, e),
        QStringLiteral("CREATE OR REPLACE FUNCTION %1() RETURNS trigger LANGUAGE plpgsql AS $$ "
                       "BEGIN "
                       "IF TG_OP = 'TRUNCATE' THEN DELETE FROM %2; RETURN NULL; END IF; "
                       "IF TG_OP <> 'INSERT' THEN %3; %4; END IF; "
                       "IF TG_OP <> 'DELETE' THEN %5; END IF; "
                       "RETURN NULL; "
                       "END $$")
            .arg(function, QLatin1String(t.name), upsert(t, e, QStringLiteral("OLD"), QStringLiteral("-")),
                 dropEmpty(t, e, QStringLiteral("OLD")), upsert(t, e, QStringLiteral("NEW"), QString())),
        QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(names[0], source),
        QStringLiteral("CREATE TRIGGER %1 AFTER INSERT OR DELETE ON %2 FOR EACH ROW EXECUTE FUNCTION %3()")
            .arg(names[0], source, function),
        QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(names[1], source),
        QStringLiteral(
            "CREATE TRIGGER %1 AFTER UPDATE OF %2 ON %3 FOR EACH ROW WHEN (%4) EXECUTE FUNCTION %5()")
            .arg(names[1], joined(t.summedColumns()), source,
                 changedCondition(t, QStringLiteral("IS DISTINCT FROM")), function),
        QStringLiteral("DROP TRIGGER IF EXISTS %1 ON %2").arg(names[2], source),
        QStringLiteral("CREATE TRIGGER %1 AFTER TRUNCATE ON %2 FOR EACH STATEMENT EXECUTE FUNCTION %3()")
            .arg(names[2], source, function),
    };
}

// Every row's key and sums, grouped: what the table must hold.
QString groupedRows(const Table& t, Engine engine, const QString& sign) {
    QStringList sums;
    for (const QString& s : sumsOf(t, QStringLiteral("r"), QString()))
        sums << QStringLiteral("%1sum(%2)").arg(sign, s);
    return QStringLiteral("SELECT %1, %2 FROM %3 r GROUP BY %4")
        .arg(joined(keyOf(t, engine, QStringLiteral("r"))), joined(sums), QLatin1String(t.source),
             keyOrdinals(t));
}

// In key order, so that each day's groups lie together (PostgreSQL's hashed grouping would
// scatter them over the whole table).
bool refill(Database& db, const Table& t) {
    return db.exec(QStringLiteral("DELETE FROM ") + QLatin1String(t.name)) &&
           db.exec(QStringLiteral("INSERT INTO %1(%2, %3) ")
                       .arg(QLatin1String(t.name), joined(t.keyColumns()), joined(t.sumColumns())) +
                   groupedRows(t, db.engine(), QString()) + QStringLiteral(" ORDER BY ") + keyOrdinals(t));
}

QStringList check(Database& db, const Table& t) {
    QStringList problems;
    const bool sqlite = db.engine() == Engine::Sqlite;
    const QString source = QLatin1String(t.source);
    auto q =
        sqlite ? db.select(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' AND "
                                          "tbl_name = ?"),
                           {source})
               : db.select(QStringLiteral("SELECT tgname FROM pg_trigger WHERE tgrelid = CAST(? AS regclass) "
                                          "AND NOT tgisinternal AND tgenabled <> 'D'"),
                           {source.toLower()});
    if (!q)
        return {QStringLiteral("%1: triggers unreadable").arg(source)};
    QStringList present;
    while (q->next())
        present << q->value(0).toString();
    for (const QString& name : t.triggers(db.engine())) {
        if (!present.contains(name, Qt::CaseInsensitive))
            problems << QStringLiteral("%1: trigger %2 missing or disabled (its day sums fall behind)")
                            .arg(source, name);
    }

    // The table's groups less the rows' own groups leave nothing where both agree. Sums are
    // compared to well under a fen: adding and taking away leaves rounding noise.
    QStringList differs{QStringLiteral("sum(%1) <> 0").arg(QLatin1String(t.count))};
    for (const Sum& s : t.sums)
        differs << (s.integral ? QStringLiteral("sum(%1) <> 0") : QStringLiteral("abs(sum(%1)) > 0.0001"))
                       .arg(QLatin1String(s.column));
    const QString diff =
        QStringLiteral("SELECT %1 FROM (SELECT %2, %3 FROM %4 UNION ALL %5) d "
                       "GROUP BY %2 HAVING %6 ORDER BY 1")
            .arg(QLatin1String(t.day), joined(t.keyColumns()), joined(t.sumColumns()), QLatin1String(t.name),
                 groupedRows(t, db.engine(), QStringLiteral("-")), differs.join(QLatin1String(" OR ")));
    auto d = db.select(diff);
    if (!d) {
        problems << QStringLiteral("%1: table missing or unreadable").arg(QLatin1String(t.name));
        return problems;
    }
    QStringList days;
    int groups = 0;
    while (d->next()) {
        ++groups;
        const QString day = sqlite ? d->value(0).toString() : d->value(0).toDate().toString(Qt::ISODate);
        if (!days.contains(day) && days.size() < 5)
            days << day;
    }
    if (groups > 0)
        problems << QStringLiteral("%1: %2 groups disagree with %3 (days %4)")
                        .arg(QLatin1String(t.name))
                        .arg(groups)
                        .arg(source, days.join(QLatin1String(", ")));
    return problems;
}

} // namespace

bool CreateDaySums(Database& db) {
    for (const Table& t : kTables) {
        for (const QString& ddl : db.engine() == Engine::Sqlite ? sqliteDdl(t) : pgDdl(t)) {
            if (!db.exec(ddl))
                return false;
        }
        if (!refill(db, t))
            return false;
    }
    return true;
}

bool RefillDaySums(Database& db) {
    return runTransaction(db, [&] {
        for (const Table& t : kTables) {
            if (!refill(db, t))
                return false;
        }
        return true;
    });
}

QStringList CheckDaySums(Database& db) {
    QStringList problems;
    for (const Table& t : kTables)
        problems << check(db, t);
    return problems;
}

} // namespace selvo::db
