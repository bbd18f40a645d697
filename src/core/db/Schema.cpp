#include "core/db/Schema.h"

#include "core/db/Backup.h"
#include "core/db/Database.h"
#include "core/db/DaySums.h"
#include "core/db/TextSearch.h"
#include "core/support/Password.h"

#include <QSqlRecord>
#include <QStringList>

namespace selvo::db {

namespace {

// Engine-neutral DDL: the tokens below are replaced per engine.
//   @ID@     generated integer primary key    @DOUBLE@  8-byte float
//   @DATE@   local date-time                   @NOW@     local time of insertion
const char* const kBaseSchema[] = {
    R"(CREATE TABLE IF NOT EXISTS tb_manager (
        ID @ID@, UID text, PWD text, SalesManCode text, TrueName text, Phone text,
        UserType integer DEFAULT 2, state integer DEFAULT 0, pwdWarn text))",
    R"(CREATE TABLE IF NOT EXISTS tb_members (
        ID @ID@, MemberCode text, TrueName text, FirstSpell text, MobilePhone text,
        Sex integer DEFAULT -1, BirthDay @DATE@, IsLuner integer DEFAULT 0, QQ text, Email text, IdCard text,
        Integral integer NOT NULL DEFAULT 0, Cumulative @DOUBLE@ NOT NULL DEFAULT 0,
        Balance @DOUBLE@ NOT NULL DEFAULT 0, Remark text, UserState integer NOT NULL DEFAULT 0, photo text,
        AddDate @DATE@ DEFAULT @NOW@, LastEditDate @DATE@))",
    R"(CREATE TABLE IF NOT EXISTS tb_product (
        ID @ID@, PrdCode text, PrdName text, FirstSpell text, Price @DOUBLE@ DEFAULT 0,
        PurchasePrice @DOUBLE@ DEFAULT 0, PrdType integer DEFAULT 0, MeasuringUnit text,
        MustIntNum integer DEFAULT 0, PrdInventory @DOUBLE@ NOT NULL DEFAULT 0, State integer DEFAULT 1,
        PrdProperty integer DEFAULT 1, LastEditDate @DATE@, AddDate @DATE@ DEFAULT @NOW@))",
    R"(CREATE TABLE IF NOT EXISTS tb_productTypes (ID @ID@, Pid integer DEFAULT 0, PrdTypeName text))",
    R"(CREATE TABLE IF NOT EXISTS tb_Units (ID @ID@, Units text))",
    R"(CREATE TABLE IF NOT EXISTS tb_orders (
        ID @ID@, OrderNo text NOT NULL, MemID integer DEFAULT -1, SaleManID integer, TotalPrice @DOUBLE@ DEFAULT 0,
        RealTotalPrice @DOUBLE@ DEFAULT 0, PrdPurchasePrice @DOUBLE@ DEFAULT 0, Profits @DOUBLE@ DEFAULT 0,
        PrdSum @DOUBLE@ DEFAULT 0, Integral integer DEFAULT 0, GetMoney @DOUBLE@ DEFAULT 0,
        Change @DOUBLE@ DEFAULT 0, Remark text, SaleDate @DATE@ DEFAULT @NOW@, PayType integer DEFAULT 0,
        OrderType integer DEFAULT 0, AddDate @DATE@ DEFAULT @NOW@))",
    R"(CREATE TABLE IF NOT EXISTS tb_order_lines (
        OrderNo text, MemID integer, SaleManID integer, PrdCode text, PrdName text, PrdPrice @DOUBLE@,
        PrdNum @DOUBLE@, DisCount @DOUBLE@, DisCountPrice @DOUBLE@, PrdPurchasePrice @DOUBLE@,
        Profits @DOUBLE@, TotalPrice @DOUBLE@, Integral integer DEFAULT 0, PayType integer DEFAULT 0,
        SaleDate @DATE@ DEFAULT @NOW@))",
    R"(CREATE TABLE IF NOT EXISTS tb_TopupRecord (
        MemID integer, SaleManID integer, Amount @DOUBLE@ DEFAULT 0, Giving @DOUBLE@ DEFAULT 0,
        Total @DOUBLE@ DEFAULT 0, BefBalance @DOUBLE@ DEFAULT 0, AftBalance @DOUBLE@ DEFAULT 0,
        OpType integer, Remark text, AddDate @DATE@ DEFAULT @NOW@))",
    R"(CREATE TABLE IF NOT EXISTS tb_OpRecord (SaleManID integer, Content text, AddDate @DATE@ DEFAULT @NOW@))",
    R"(CREATE TABLE IF NOT EXISTS tb_prdnum_record (
        SaleManID integer, prdCode text, addNum @DOUBLE@, addType integer, addDate @DATE@ DEFAULT @NOW@,
        Remark text))",
    R"(CREATE TABLE IF NOT EXISTS tb_StorageIn_His (
        StoreInCode text, SaleManID integer, totalPrice @DOUBLE@ DEFAULT 0, IsPay integer DEFAULT 0,
        addDate @DATE@ DEFAULT @NOW@, IsReturn integer DEFAULT 0))",
    R"(CREATE TABLE IF NOT EXISTS tb_StorageIn_His_details (
        StoreInCode text, PrdCode text, InPrice @DOUBLE@, InNum @DOUBLE@, SaleManID integer,
        addDate @DATE@ DEFAULT @NOW@, IsReturn integer DEFAULT 0, DisCountPrice @DOUBLE@, DisCount @DOUBLE@))",
    R"(CREATE TABLE IF NOT EXISTS tb_StoreInfo (
        id @ID@, StoreName text, Location text, Website text, Phone text, Announcement text, piaoInfo text,
        YuanToInteral integer DEFAULT 1, InteralToYuan integer DEFAULT 100, SpecialOffer integer DEFAULT 0))",

    // Every column the screens filter, join or sort on.
    "CREATE UNIQUE INDEX IF NOT EXISTS ux_manager_uid ON tb_manager(UID)",
    "CREATE INDEX IF NOT EXISTS ix_manager_code ON tb_manager(SalesManCode)",
    "CREATE INDEX IF NOT EXISTS ix_members_mobile ON tb_members(MobilePhone)",
    "CREATE INDEX IF NOT EXISTS ix_members_code ON tb_members(MemberCode)",
    "CREATE INDEX IF NOT EXISTS ix_members_idcard ON tb_members(IdCard)",
    "CREATE INDEX IF NOT EXISTS ix_members_name ON tb_members(TrueName)",
    "CREATE INDEX IF NOT EXISTS ix_members_spell ON tb_members(FirstSpell)",
    "CREATE INDEX IF NOT EXISTS ix_members_state ON tb_members(UserState, ID)",
    "CREATE INDEX IF NOT EXISTS ix_members_adddate ON tb_members(AddDate)",
    "CREATE INDEX IF NOT EXISTS ix_members_state_adddate ON tb_members(UserState, AddDate)",
    "CREATE UNIQUE INDEX IF NOT EXISTS ux_product_code ON tb_product(PrdCode)",
    "CREATE INDEX IF NOT EXISTS ix_product_name ON tb_product(PrdName)",
    "CREATE INDEX IF NOT EXISTS ix_product_spell ON tb_product(FirstSpell)",
    "CREATE INDEX IF NOT EXISTS ix_product_type ON tb_product(PrdType, State)",
    "CREATE INDEX IF NOT EXISTS ix_product_state ON tb_product(State, ID)",
    "CREATE INDEX IF NOT EXISTS ix_product_adddate ON tb_product(AddDate)",
    "CREATE INDEX IF NOT EXISTS ix_types_pid ON tb_productTypes(Pid)",
    "CREATE INDEX IF NOT EXISTS ix_types_name ON tb_productTypes(PrdTypeName)",
    "CREATE UNIQUE INDEX IF NOT EXISTS ux_orders_no ON tb_orders(OrderNo)",
    "CREATE INDEX IF NOT EXISTS ix_orders_mem ON tb_orders(MemID)",
    "CREATE INDEX IF NOT EXISTS ix_orders_saleman ON tb_orders(SaleManID)",
    "CREATE INDEX IF NOT EXISTS ix_orders_saledate ON tb_orders(SaleDate)",
    "CREATE INDEX IF NOT EXISTS ix_orders_adddate ON tb_orders(AddDate)",
    "CREATE INDEX IF NOT EXISTS ix_lines_order ON tb_order_lines(OrderNo)",
    "CREATE INDEX IF NOT EXISTS ix_lines_prd ON tb_order_lines(PrdCode)",
    "CREATE INDEX IF NOT EXISTS ix_lines_mem ON tb_order_lines(MemID)",
    "CREATE INDEX IF NOT EXISTS ix_lines_saledate ON tb_order_lines(SaleDate)",
    "CREATE INDEX IF NOT EXISTS ix_topup_mem ON tb_TopupRecord(MemID)",
    "CREATE INDEX IF NOT EXISTS ix_topup_adddate ON tb_TopupRecord(AddDate)",
    "CREATE INDEX IF NOT EXISTS ix_oprecord_adddate ON tb_OpRecord(AddDate)",
    "CREATE INDEX IF NOT EXISTS ix_oprecord_saleman ON tb_OpRecord(SaleManID)",
    "CREATE INDEX IF NOT EXISTS ix_prdnum_code ON tb_prdnum_record(prdCode, addDate)",
    "CREATE UNIQUE INDEX IF NOT EXISTS ux_storein_code ON tb_StorageIn_His(StoreInCode)",
    "CREATE INDEX IF NOT EXISTS ix_storein_adddate ON tb_StorageIn_His(addDate)",
    "CREATE INDEX IF NOT EXISTS ix_storein_details_code ON tb_StorageIn_His_details(StoreInCode)",
    "CREATE INDEX IF NOT EXISTS ix_storein_details_prd ON tb_StorageIn_His_details(PrdCode)",
};

QString dialect(Database& db, const char* ddl) {
    QString s = QString::fromUtf8(ddl);
    if (db.engine() == Engine::Postgres) {
        s.replace(QLatin1String("@ID@"),
                  QLatin1String("integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
        s.replace(QLatin1String("@DOUBLE@"), QLatin1String("double precision"));
        s.replace(QLatin1String("@DATE@"), QLatin1String("timestamp(0) without time zone"));
        s.replace(QLatin1String("@NOW@"), QLatin1String("LOCALTIMESTAMP(0)"));
    } else {
        s.replace(QLatin1String("@ID@"), QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT"));
        s.replace(QLatin1String("@DOUBLE@"), QLatin1String("REAL"));
        s.replace(QLatin1String("@DATE@"), QLatin1String("TEXT"));
        s.replace(QLatin1String("@NOW@"), QLatin1String("(datetime('now','localtime'))"));
    }
    return s;
}

bool tableIsEmpty(Database& db, const QString& table) {
    auto v = db.scalar(QStringLiteral("SELECT count(*) FROM ") + table);
    return v && v->toLongLong() == 0;
}

bool migrateTo1(Database& db) {
    for (const char* ddl : kBaseSchema) {
        if (!db.exec(dialect(db, ddl)))
            return false;
    }
    if (tableIsEmpty(db, QStringLiteral("tb_manager"))) {
        const QString hash = HashPassword(QStringLiteral("admin"));
        if (hash.isEmpty())
            return false;
        if (!db.exec(QStringLiteral(
                         "INSERT INTO tb_manager(ID, UID, PWD, SalesManCode, TrueName, Phone, UserType, "
                         "state, pwdWarn) VALUES(1, ?, ?, ?, ?, ?, 0, 0, ?)"),
                     {QStringLiteral("admin"), hash, QStringLiteral("0001"), QStringLiteral("管理员"),
                      QString(), QString()}))
            return false;
        // The row above set ID 1 by hand; move PostgreSQL's identity past it.
        if (db.engine() == Engine::Postgres &&
            !db.exec(QStringLiteral("SELECT setval(pg_get_serial_sequence('tb_manager','id'), "
                                    "(SELECT max(id) FROM tb_manager))")))
            return false;
    }
    if (tableIsEmpty(db, QStringLiteral("tb_StoreInfo")) &&
        !db.exec(QStringLiteral("INSERT INTO tb_StoreInfo(StoreName, Location, Website, Phone, Announcement, "
                                "piaoInfo, YuanToInteral, InteralToYuan, SpecialOffer) "
                                "VALUES('', '', '', '', '', '', 1, 100, 0)")))
        return false;
    if (tableIsEmpty(db, QStringLiteral("tb_Units")) &&
        !db.exec(QStringLiteral("INSERT INTO tb_Units(Units) VALUES(?)"), {defaultUnits()}))
        return false;
    return true;
}

// The sales records window: its summary reads day sums instead of every order and recharge
// record, and its list (newest first, at most 500) walks an index in that order whatever the
// customer, operator or date filter; a lone MemID or SaleManID index made the engines fetch and
// sort every guest's or every operator's orders.
const char* const kRecordsIndexes[] = {
    "DROP INDEX IF EXISTS ix_orders_saledate",
    "DROP INDEX IF EXISTS ix_orders_mem",
    "DROP INDEX IF EXISTS ix_orders_saleman",
    "CREATE INDEX IF NOT EXISTS ix_orders_saledate_id ON tb_orders(SaleDate, ID)",
    "CREATE INDEX IF NOT EXISTS ix_orders_mem_saledate ON tb_orders(MemID, SaleDate, ID)",
    "CREATE INDEX IF NOT EXISTS ix_orders_saleman_saledate ON tb_orders(SaleManID, SaleDate, ID)",
};

bool migrateTo2(Database& db) {
    for (const char* ddl : kRecordsIndexes) {
        if (!db.exec(QString::fromLatin1(ddl)))
            return false;
    }
    return CreateDaySums(db);
}

// A purchase line keeps InNum as the whole part of its quantity; MovedNum keeps what the stock
// really moved, so cancelling the order moves back exactly that.
bool migrateTo3(Database& db) {
    return db.exec(dialect(db, "ALTER TABLE tb_StorageIn_His_details ADD COLUMN MovedNum @DOUBLE@"));
}

// The product statistics add up a date range of order lines from the index alone, and one
// product's lines of a range come from one index range. The recharge records list pages on
// AddDate, newest first, also for one member or operator.
const char* const kReportsIndexes[] = {
    "DROP INDEX IF EXISTS ix_lines_saledate",
    "DROP INDEX IF EXISTS ix_lines_prd",
    "CREATE INDEX IF NOT EXISTS ix_lines_saledate_sums ON tb_order_lines(SaleDate, PayType, PrdCode, PrdNum, "
    "TotalPrice, Profits, PrdPurchasePrice)",
    "CREATE INDEX IF NOT EXISTS ix_lines_prd_saledate ON tb_order_lines(PrdCode, SaleDate)",
    "DROP INDEX IF EXISTS ix_topup_mem",
    "CREATE INDEX IF NOT EXISTS ix_topup_mem_adddate ON tb_TopupRecord(MemID, AddDate)",
    "CREATE INDEX IF NOT EXISTS ix_topup_saleman_adddate ON tb_TopupRecord(SaleManID, AddDate)",
};

bool migrateTo4(Database& db) {
    // The sums index names PayType, which a legacy tb_order_lines may still lack.
    UpgradeOrderLines(db);
    for (const char* ddl : kReportsIndexes) {
        if (!db.exec(QString::fromLatin1(ddl)))
            return false;
    }
    return true;
}

// The product statistics walk the catalogue in code order and add up each product's lines of the
// date range from one index range, without touching the lines themselves: no grouping sort over
// a month of lines. The same index serves one product's detail list.
bool migrateTo5(Database& db) {
    return db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS ix_lines_prd_sums ON tb_order_lines(PrdCode, "
                                  "SaleDate, PayType, PrdNum, TotalPrice, Profits, PrdPurchasePrice)")) &&
           db.exec(QStringLiteral("DROP INDEX IF EXISTS ix_lines_prd_saledate"));
}

// Searches as the operator types: a search index of members and products that the database keeps
// itself (see TextSearch.h). The uniqueness checks on saving compare trimmed values on both sides;
// these indexes hold the trimmed values, so the checks stay single lookups.
const char* const kTrimmedIndexes[] = {
    "CREATE INDEX IF NOT EXISTS ix_members_trim_mobile ON tb_members(trim(MobilePhone))",
    "CREATE INDEX IF NOT EXISTS ix_members_trim_idcard ON tb_members(trim(IdCard))",
    "CREATE INDEX IF NOT EXISTS ix_members_trim_code ON tb_members(trim(MemberCode))",
    "CREATE INDEX IF NOT EXISTS ix_product_trim_code ON tb_product(trim(PrdCode))",
    "CREATE INDEX IF NOT EXISTS ix_product_trim_name ON tb_product(trim(PrdName))",
    // The sale screen's search box: a scanned code, letter case ignored.
    "CREATE INDEX IF NOT EXISTS ix_product_upper_code ON tb_product(upper(PrdCode))",
    // The product page lists a state newest first, a page at a time.
    "CREATE INDEX IF NOT EXISTS ix_product_state_adddate ON tb_product(State, AddDate, ID)",
};

bool migrateTo6(Database& db) {
    bool trigrams = true;
    if (db.engine() == Engine::Postgres) {
        // pg_trgm is one of the server's contrib modules (Debian: postgresql-contrib). A server
        // without it still searches correctly; texts of three or more characters then go unindexed.
        if (!db.begin())
            return false;
        trigrams = db.exec(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm"));
        if (!(trigrams ? db.commit() : db.rollback()))
            return false;
    }
    for (const QString& ddl : SearchIndexDdl(db)) {
        if (!trigrams && ddl.contains(QLatin1String("gin_trgm_ops")))
            continue;
        if (!db.exec(ddl))
            return false;
    }
    for (const char* ddl : kTrimmedIndexes) {
        if (!db.exec(QString::fromLatin1(ddl)))
            return false;
    }
    return true;
}

// SQLite's search index keeps where in a row each trigram stands, so that a text's trigrams must
// follow one another: a text repeating one common trigram ("0000000") no longer names every row
// that holds it once. The index is made again, once, from the tables.
bool migrateTo7(Database& db) {
    if (db.engine() != Engine::Sqlite)
        return true;
    const auto made = db.scalar(
        QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'tb_members_find'"));
    if (!made)
        return false;
    if (made->toString().contains(QLatin1String("detail = full")))
        return true; // made by this program's step 6 already
    for (const char* index : {"tb_members_find", "tb_product_find"}) {
        const QString name = QString::fromLatin1(index);
        for (const QString& drop :
             {QStringLiteral("DROP TRIGGER IF EXISTS %1_ai"), QStringLiteral("DROP TRIGGER IF EXISTS %1_ad"),
              QStringLiteral("DROP TRIGGER IF EXISTS %1_au"), QStringLiteral("DROP TABLE IF EXISTS %1_terms"),
              QStringLiteral("DROP TABLE IF EXISTS %1")}) {
            if (!db.exec(drop.arg(name)))
                return false;
        }
    }
    for (const QString& ddl : SearchIndexDdl(db)) {
        if (!db.exec(ddl))
            return false;
    }
    return true;
}

using Step = bool (*)(Database&);
const Step kSteps[] = {migrateTo1, migrateTo2, migrateTo3, migrateTo4, migrateTo5, migrateTo6, migrateTo7};
static_assert(std::size(kSteps) == kSchemaVersion, "one migration step per schema version");

// Two tills starting on an empty shared database must not both create the schema: PostgreSQL
// serialises the upgraders with a transaction-scoped advisory lock (SQLite's BEGIN IMMEDIATE
// already does).
bool lockSchema(Database& db) {
    if (db.engine() != Engine::Postgres)
        return true;
    return db.select(QStringLiteral("SELECT pg_advisory_xact_lock(7314052901)")).has_value();
}

bool ensureVersionTable(Database& db) {
    return runTransaction(db, [&] {
        return lockSchema(db) &&
               db.exec(
                   QStringLiteral("CREATE TABLE IF NOT EXISTS tb_SchemaVersion(Version integer NOT NULL)"));
    });
}

} // namespace

QString defaultUnits() {
    return QStringLiteral("个|件|盒|瓶|包|袋|箱|支|条|只|双|套|台|本|张|桶|罐|听|提|卷|斤|公斤|千克|克|米|");
}

int schemaVersion(Database& db) {
    const auto exists =
        db.engine() == Engine::Sqlite
            ? db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'tb_SchemaVersion'"))
            : db.scalar(
                  QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema() AND "
                                 "tablename = 'tb_schemaversion'"));
    if (!exists)
        return -1;
    if (exists->toInt() == 0)
        return 0;
    auto v = db.scalar(QStringLiteral("SELECT max(Version) FROM tb_SchemaVersion"));
    if (!v)
        return -1;
    return v->isNull() ? 0 : v->toInt();
}

MigrateResult migrate(Database& db, QString* message) {
    const int current = schemaVersion(db);
    if (current < 0) {
        if (message)
            *message = db.lastError();
        return MigrateResult::Failed;
    }
    if (current > kSchemaVersion) {
        if (message)
            *message = QStringLiteral("数据库由较新版本的程序创建（数据结构版本 %1，本程序支持到 %2），"
                                      "请升级本程序后再使用。")
                           .arg(current)
                           .arg(kSchemaVersion);
        return MigrateResult::TooNew;
    }
    // WAL lets one till read while another writes; it is a property of the file, so it is set
    // only once the file is known to be ours.
    if (db.engine() == Engine::Sqlite)
        db.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    // A shop's tables about to be changed: a copy of them first, or no change at all.
    if (db.engine() == Engine::Sqlite && current < kSchemaVersion &&
        (current > 0 || db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table'"))
                                .value_or(QVariant(0))
                                .toInt() > 0)) {
        const BackupResult copy = UpgradeBackup(db, current);
        if (!copy.ok) {
            if (message)
                *message = QStringLiteral("升级数据结构前备份数据库失败，未升级：%1").arg(copy.message);
            return MigrateResult::Failed;
        }
    }
    if (!ensureVersionTable(db)) {
        if (message)
            *message = QStringLiteral("无法写入数据库：%1").arg(db.lastError());
        return MigrateResult::Failed;
    }
    for (int version = current + 1; version <= kSchemaVersion; ++version) {
        const bool ok = runTransaction(db, [&] {
            if (!lockSchema(db))
                return false;
            // Another till may have done this step while we waited for the lock.
            const int now = schemaVersion(db);
            if (now < 0)
                return false;
            if (now >= version)
                return true;
            if (!kSteps[version - 1](db))
                return false;
            if (version == 1)
                return db.exec(QStringLiteral("INSERT INTO tb_SchemaVersion(Version) VALUES(?)"), {version});
            return db.exec(QStringLiteral("UPDATE tb_SchemaVersion SET Version = ?"), {version});
        });
        if (!ok) {
            if (message)
                *message = QStringLiteral("升级数据结构到版本 %1 失败：%2").arg(version).arg(db.lastError());
            return MigrateResult::Failed;
        }
    }
    UpgradeOrderLines(db);
    return MigrateResult::Ok;
}

QStringList CheckSchema(Database& db) {
    QStringList problems;
    for (const char* ddl : kBaseSchema) {
        const QString text = QString::fromUtf8(ddl).simplified();
        if (!text.startsWith(QLatin1String("CREATE TABLE")))
            continue;
        const int open = text.indexOf(QLatin1Char('('));
        const QString table = text.left(open).section(QLatin1Char(' '), -1, -1, QString::SectionSkipEmpty);
        auto q = db.select(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 1=0"));
        if (!q) {
            problems << QStringLiteral("%1: table missing or unreadable").arg(table);
            continue;
        }
        const QSqlRecord rec = q->record();
        // Column definitions are separated by commas outside parentheses; each starts with its name.
        int depth = 0;
        QString part;
        QStringList columns;
        for (const QChar c : text.mid(open + 1, text.lastIndexOf(QLatin1Char(')')) - open - 1)) {
            if (c == QLatin1Char('('))
                ++depth;
            else if (c == QLatin1Char(')'))
                --depth;
            if (c == QLatin1Char(',') && depth == 0) {
                columns << part.trimmed().section(QLatin1Char(' '), 0, 0);
                part.clear();
            } else {
                part += c;
            }
        }
        columns << part.trimmed().section(QLatin1Char(' '), 0, 0);
        for (const QString& column : columns) {
            if (rec.indexOf(column) < 0)
                problems << QStringLiteral("%1.%2: column missing").arg(table, column);
        }
        if (db.engine() == Engine::Postgres && text.contains(QLatin1String("@ID@"))) {
            const QString idColumn = columns.value(0);
            auto behind = db.scalar(
                QStringLiteral(
                    "SELECT count(*) FROM %1 WHERE %2 > (SELECT CASE WHEN is_called THEN last_value "
                    "ELSE last_value - 1 END FROM %3)")
                    .arg(table, idColumn,
                         db.scalar(QStringLiteral("SELECT pg_get_serial_sequence(?, ?)"),
                                   {table.toLower(), idColumn.toLower()})
                             .value_or(QVariant())
                             .toString()));
            if (!behind)
                problems << QStringLiteral("%1.%2: identity unreadable").arg(table, idColumn);
            else if (behind->toLongLong() > 0)
                problems << QStringLiteral(
                                "%1.%2: identity is behind the highest ID (new rows would collide)")
                                .arg(table, idColumn);
        }
    }
    if (db.engine() == Engine::Postgres) {
        auto q = db.select(
            QStringLiteral("SELECT c.relname FROM pg_index i JOIN pg_class c ON c.oid = i.indexrelid "
                           "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = current_schema() "
                           "AND NOT (i.indisvalid AND i.indisready) ORDER BY c.relname"));
        if (!q)
            problems << QStringLiteral("indexes unreadable");
        while (q && q->next())
            problems << QStringLiteral("index %1: not usable (rebuild it with REINDEX)")
                            .arg(q->value(0).toString());
    }
    return problems;
}

int ColumnExists(Database& db, const QString& table, const QString& column) {
    auto q = db.select(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 1=0"));
    if (!q)
        return -1;
    const QSqlRecord rec = q->record();
    for (int i = 0; i < rec.count(); ++i) {
        // PostgreSQL folds unquoted names to lower case; compare as the engine stores them.
        const QString expected = db.engine() == Engine::Postgres ? column.toLower() : column;
        if (rec.fieldName(i) == expected)
            return 1;
    }
    return 0;
}

bool AddColumn(Database& db, const QString& table, const QString& column, const QString& type,
               const QString& defaultText) {
    QString engineType = type;
    const QString t = type.toLower();
    if (t == QLatin1String("long") || t == QLatin1String("int"))
        engineType = QStringLiteral("integer");
    return db.exec(QStringLiteral("ALTER TABLE ") + table + QStringLiteral(" add ") + column +
                   QLatin1Char(' ') + engineType + QStringLiteral(" default ") + defaultText);
}

void UpgradeOrderLines(Database& db) {
    const QString table = QStringLiteral("tb_order_lines");
    if (ColumnExists(db, table, QStringLiteral("Integral")) == 0)
        AddColumn(db, table, QStringLiteral("Integral"), QStringLiteral("long"), QStringLiteral("0"));
    if (ColumnExists(db, table, QStringLiteral("PayType")) == 0)
        AddColumn(db, table, QStringLiteral("PayType"), QStringLiteral("int"), QStringLiteral("0"));
}

} // namespace selvo::db
