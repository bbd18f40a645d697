#pragma once

#include "core/db/Database.h"

#include <QString>

namespace selvo {

struct AppContext;

// The data folder: SELVO_DATA_DIR when set, else the system setting DATAPATH (organisation
// "SELVO"), else the executable's folder when it can be written, else the per-user data folder.
// The folder is created when missing (mode 0700: it holds the members' personal data) unless
// `create` is false.
QString ResolveDataFolder(const QString& executableFolder, bool create = true);

// From here on, files and folders this process makes are readable by their owner only (umask
// 077): the database, its WAL, set.ini, photos and backups hold names, phones, ID cards,
// balances and password hashes. Files that exist keep the mode their owner gave them.
void KeepNewFilesPrivate();

// Makes `folder` and any missing parents; the folders made get mode 0700, existing ones keep
// theirs. False when it cannot be made.
bool MakePrivateFolder(const QString& folder);

// What in a data folder shows that a shop lived there (a WAL or journal left by a database,
// the login file, backups, photos, a rescued copy), as file names; empty for a folder where a
// new shop may start.
QStringList EarlierShopTraces(const QString& dataFolder);
// Files a new database would be mixed up with: SQLite would replay them into it.
QStringList LeftoverJournalFiles(const QString& dataFolder);

// How to reach the database of a data folder: selvo.conf's [Database] section when present,
// else the embedded file hydb.db in that folder. The environment overrides the file: SELVO_PG
// (a libpq connection string), SELVO_PG_HOST, _PORT, _NAME, _USER, _PASSWORD, _SSLMODE, and
// SELVO_DB_DRIVER (sqlite or postgres). Unusable values are named in invalidReason.
db::ConnectionConfig ConnectionConfigFor(const QString& dataFolder);
// Points a data folder at a server: writes selvo.conf's [Database] section for `server`, with
// `name` as the database. False when the file cannot be written.
bool WriteServerConf(const QString& dataFolder, const db::ConnectionConfig& server, const QString& name);

// Where the database is, for messages: the file, or postgresql://user@host:port/name (never
// the password).
QString DatabaseLocation(const db::ConnectionConfig& config);

struct OpenResult {
    bool ok = false;
    // Why it failed, in words for the shop: which file or server, and what went wrong.
    QString detail;
};

// When a missing SQLite database may be made: only in a folder without EarlierShopTraces()
// (every start), or also beside them when the shop asked for it (selvo-cli init). Never beside
// a leftover WAL or journal.
enum class NewShop { OnlyInEmptyFolder, Allowed };

// Opens the shop database and brings its schema up to date. Nothing is written to a file
// that is not a database, nor to a database made by a newer program.
OpenResult OpenDatabase(AppContext& ctx, const QString& dataFolder,
                        NewShop newShop = NewShop::OnlyInEmptyFolder);

} // namespace selvo
