#pragma once

#include <QString>
#include <QStringList>

namespace selvo::db {

class Database;

// The schema version this program writes. Older databases are upgraded at start-up;
// a newer one is refused untouched.
inline constexpr int kSchemaVersion = 7;

enum class MigrateResult { Ok, TooNew, Failed };

// Creates the schema in an empty database or upgrades an older one, each numbered step in
// its own transaction. Then adds the two order-line columns older databases may lack.
MigrateResult migrate(Database& db, QString* message = nullptr);

// Version recorded in the database: 0 for an empty or unversioned one, -1 when unreadable.
int schemaVersion(Database& db);

// 1 when the table has a column of exactly this name (case-sensitive), 0 when it has none,
// -1 when the table cannot be read.
int ColumnExists(Database& db, const QString& table, const QString& column);
// "ALTER TABLE <table> add <column> <type> default <default>", with the type mapped to the engine.
bool AddColumn(Database& db, const QString& table, const QString& column, const QString& type,
               const QString& defaultText);
// The start-up upgrade of tb_order_lines: Integral and PayType, each only when missing.
// A failed check counts as present; a failed ALTER is ignored.
void UpgradeOrderLines(Database& db);

// What is wrong with the tables, one line each: a missing table or column, and on PostgreSQL an
// identity behind its table's highest ID or an index left unusable. Reads only.
QStringList CheckSchema(Database& db);

// The units list a new shop starts with.
QString defaultUnits();

} // namespace selvo::db
