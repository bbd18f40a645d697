#pragma once

#include "core/db/Database.h"

#include <QString>

namespace selvo {

struct AppContext;

// The data folder: SELVO_DATA_DIR when set, else the system setting DATAPATH (organisation
// "SELVO"), else the executable's folder when it can be written, else the per-user data folder.
// The folder is created when missing.
QString ResolveDataFolder(const QString& executableFolder);

// How to reach the database of a data folder: selvo.conf's [Database] section when present,
// else the embedded file hydb.db in that folder. The environment overrides the file: SELVO_PG
// (a libpq connection string), SELVO_PG_HOST, _PORT, _NAME, _USER, _PASSWORD, _SSLMODE, and
// SELVO_DB_DRIVER (sqlite or postgres). Unusable values are named in invalidReason.
db::ConnectionConfig ConnectionConfigFor(const QString& dataFolder);

// Where the database is, for messages: the file, or postgresql://user@host:port/name (never
// the password).
QString DatabaseLocation(const db::ConnectionConfig& config);

struct OpenResult {
    bool ok = false;
    // Why it failed, in words for the shop: which file or server, and what went wrong.
    QString detail;
};

// Opens the shop database and brings its schema up to date. Nothing is written to a file
// that is not a database, nor to a database made by a newer program.
OpenResult OpenDatabase(AppContext& ctx, const QString& dataFolder);

} // namespace selvo
