#pragma once

#include "core/db/Database.h"

#include <QDate>
#include <QString>

namespace selvo::db {

// Backups of the shop database. Every copy is a consistent one made by the engine itself: SQLite's
// VACUUM INTO (which reads one snapshot, the WAL included; a copy of the file would miss what is
// still in the WAL) or pg_dump. Copies go to backup/ beside the database file, made 0600 in a 0700
// folder, since they hold the shop's members and password hashes.
//
//   hydb-daily-YYYYMMDD.db               the first start of each day; the newest 30 are kept
//   hydb-before-upgrade-vN-<stamp>.db    before the schema is upgraded from version N
//   hydb-before-restore-<stamp>.db       the database a restore replaced
//   hydb-<stamp>.db / hydb-<stamp>.dump  made on demand (the system page, selvo-cli backup)

// How many daily copies are kept.
inline constexpr int kDailyBackupsKept = 30;

// <folder of the database file>/backup.
QString BackupFolder(const ConnectionConfig& config);

struct BackupResult {
    bool ok = false;
    QString file;    // where the copy went
    QString message; // why it failed, in words for the shop
};

// A copy of the open database now: into `file` when given, else a fresh name in the backup folder.
// SQLite copies are checked with integrity_check before they are reported as made; a copy that
// fails the check is removed. PostgreSQL runs pg_dump (custom format) with the connection's
// settings, its password passed in the environment, never on the command line.
BackupResult BackupNow(Database& db, const QString& file = {});

// SQLite only, and only once a day: the daily copy of `today` when there is none yet, then the
// daily copies beyond the newest kDailyBackupsKept removed. ok with an empty file when there was
// nothing to do (a copy of today exists, or the database is on a server).
BackupResult DailyBackup(Database& db, const QDate& today);

// SQLite: the copy taken before the schema is upgraded from `fromVersion`.
BackupResult UpgradeBackup(Database& db, int fromVersion);

// What is wrong with a SQLite file offered as a shop database, read without writing to it:
// not a database, integrity_check's complaints, no shop schema or one newer than this program.
// Empty when it is a sound shop database.
QString CheckDatabaseFile(const QString& file);

// SQLite: the process that has the database file open, 0 when none, -1 when it cannot be told.
// Every connection to a WAL database holds a shared lock on one byte of its -shm file (SQLite's
// "DMS" lock) for as long as it is open, whichever program or user opened it; this asks the
// kernel who holds it. A connection of this process is not seen.
qint64 DatabaseHolder(const QString& databaseFile);

struct RestoreResult {
    bool ok = false;
    QString message; // what was done, or why nothing was
    QString keptAs;  // the copy of the replaced database
};

// Replaces the SQLite database `databaseFile` with the shop database in `from`: refuses while any
// process has the database open, refuses a file CheckDatabaseFile finds fault with, keeps a copy of
// the database it replaces in the backup folder, and swaps the files under SQLite's own lock so no
// till can open the database halfway.
RestoreResult RestoreSqlite(const QString& databaseFile, const QString& from);

} // namespace selvo::db
