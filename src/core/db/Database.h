#pragma once

#include <QDeadlineTimer>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

namespace selvo::db {

enum class Engine { Sqlite, Postgres };

// Where the database lives. SQLite needs only the file; PostgreSQL the server fields.
struct ConnectionConfig {
    Engine engine = Engine::Sqlite;
    QString sqliteFile;
    QString host;
    int port = 5432;
    QString name;
    QString user;
    QString password;
    QString sslmode;
    // Opens without writing anything (checks and reports).
    bool readOnly = false;
    // SQLite: a missing file is made (mode 0600) as a new, empty database. Off, a missing file
    // is a failure (OpenFailure::Missing), so a vanished database is never replaced silently.
    bool createIfMissing = true;
    // Why these settings cannot be used (a bad selvo.conf value); empty when they can.
    QString invalidReason;
};

// Why opening failed, so start-up can say which it was.
enum class OpenFailure {
    None,
    NotADatabase,
    CannotCreate,
    ServerUnreachable,
    BadPassword,
    NoSuchDatabase,
    BadSettings,
    // SQLite: the file is missing and may not be made.
    Missing,
    // SQLite: the file cannot be written (its mode), the folder cannot (no room for the
    // journal), or the file cannot even be read.
    ReadOnlyFile,
    ReadOnlyFolder,
    NoAccess,
    // PostgreSQL: the session cannot be made durable (synchronous_commit stays off).
    NotDurable,
    Other
};

// Sorts a PostgreSQL connection failure by the text libpq reports (English or Chinese messages).
// Other when the text says nothing known.
OpenFailure ClassifyConnectError(const QString& text);

// One connection to the shop database. Threading contract: a Database is opened, used and
// closed on one thread; nothing here locks. Every typed text reaches the engine as a bound
// value. Errors never throw: calls return false / std::nullopt and keep the text in lastError().
class Database final {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool open(const ConnectionConfig& config);
    void close();
    bool isOpen() const;
    Engine engine() const { return m_config.engine; }
    const ConnectionConfig& config() const { return m_config; }
    OpenFailure openFailure() const { return m_openFailure; }
    QSqlDatabase handle() const;

    // Runs one statement. `affected` receives the number of rows changed when given.
    bool exec(const QString& sql, const QVariantList& binds = {}, int* affected = nullptr);
    // Runs a select; the returned query is positioned before the first row (forward only).
    std::optional<QSqlQuery> select(const QString& sql, const QVariantList& binds = {});
    // First column of the first row, or std::nullopt when there is no row or the statement failed.
    std::optional<QVariant> scalar(const QString& sql, const QVariantList& binds = {});
    // INSERT that reports the generated ID (the statement must not carry RETURNING itself).
    std::optional<qint64> insertReturningId(const QString& sql, const QVariantList& binds = {},
                                            const QString& idColumn = QStringLiteral("ID"));

    QString lastError() const { return m_lastError; }
    // Forgets the last failure, so a caller can tell "no row matched" (no error) from a failed statement.
    void clearLastError();
    // True when the last failure is one that a retry of the whole transaction may cure
    // (serialization failure, deadlock, busy database).
    bool lastErrorIsTransient() const { return m_lastTransient; }
    // True when the last failure was a unique-constraint violation.
    bool lastErrorIsUniqueViolation() const { return m_lastUnique; }
    // Engine's error code of the last failure (SQLSTATE on PostgreSQL, result code on SQLite).
    QString lastErrorCode() const { return m_lastCode; }
    // True when the last failure was another process holding the write lock longer than this
    // connection waits for it (kBusyWaitMSecs).
    bool lastErrorIsBusy() const { return m_lastBusy; }
    // SQLite: the database file this connection opened is no longer at its path (deleted, moved
    // or replaced). Every later statement is refused: what it wrote would vanish with the
    // connection. A copy of what the connection still sees is saved first (rescueFile()).
    bool fileGone() const { return m_fileGone; }
    // What to tell the operator once fileGone(): what happened and where the data was rescued.
    QString fileGoneText() const { return m_goneText; }
    QString rescueFile() const { return m_rescueFile; }
    // PostgreSQL: the connection broke while COMMIT was under way, so the transaction may or may
    // not have been committed. Cleared by the next begin(). The connection is made again at once,
    // so the caller can look up what it wrote.
    bool lastCommitOutcomeUnknown() const { return m_commitUnknown; }
    // Times a lost PostgreSQL connection was made again.
    int reconnects() const { return m_reconnects; }

    // How long a statement waits for another process's write lock on SQLite.
    static constexpr int kBusyWaitMSecs = 1500;

    // Transactions nest: the outermost is a real transaction, inner ones are savepoints.
    // On PostgreSQL a failed statement spoils the transaction until the enclosing savepoint is
    // rolled back; committing a spoilt transaction rolls it back and reports false.
    bool begin();
    bool commit();
    bool rollback();
    int transactionDepth() const { return m_depth; }

    // Dialect: case-insensitive LIKE with '\' as the escape character, for a pattern made by likePattern().
    QString likeClause(const QString& column) const;
    // Value to bind for a date-time column.
    QVariant dateTimeValue(const QDateTime& dt) const;
    // Dialect: a date-time column selected as its "yyyy-MM-dd HH:mm:ss" text, for lists that only
    // show it (reading a timestamp as a local QDateTime costs a time-zone lookup per value).
    QString dateTimeTextOf(const QString& column) const;

    // Test hook: the n-th statement from now (1-based, transaction control not counted) fails.
    // 0 switches the failpoint off.
    void failNthStatement(int n);
    int statementsSinceArmed() const { return m_statementCount; }
    // The armed failure was met: its statement was reached and failed. A run that ends without
    // meeting it ran whole.
    bool failpointReached() const { return m_failAt > 0 && m_statementCount >= m_failAt; }
    // Test hooks for a connection lost at COMMIT: `hook` runs once, right before the next
    // COMMIT is sent; loseNextCommitReply() lets the next COMMIT run and then behaves as if its
    // answer never arrived (the connection broke on the way back).
    void beforeNextCommit(std::function<void()> hook) { m_beforeCommit = std::move(hook); }
    void loseNextCommitReply() { m_loseCommitReply = true; }

private:
    bool openConnection();
    bool openSqlite();
    bool openPostgres();
    void dropConnection();
    // Before a statement outside a transaction: the file is still there (SQLite), the
    // connection is up or made again (PostgreSQL).
    bool usable();
    bool reconnect();
    bool checkFileStillThere();
    // SQLite: the file opened is still the one at its path (a cheap stat).
    bool fileAtItsPath() const;
    bool prepareAndRun(QSqlQuery& q, const QString& sql, const QVariantList& binds);
    // The checks every statement passes before it runs: the failpoint and the bound values.
    bool admitStatement(const QString& sql, const QVariantList& binds);
    // Runs `sql` (with values) on a statement kept prepared on this connection (see m_prepared);
    // nullptr when it failed. The query stays the cache's: read it at once, then finish() it.
    QSqlQuery* runPrepared(const QString& sql, const QVariantList& binds);
    bool hitFailpoint();
    void noteError(const QSqlError& err);
    bool control(const QString& sql);
    QString redacted(QString text) const;

    QString m_connectionName;
    ConnectionConfig m_config;
    OpenFailure m_openFailure = OpenFailure::None;
    QString m_lastError;
    QString m_lastCode;
    bool m_lastTransient = false;
    // A statement failed inside the open PostgreSQL transaction (see begin()).
    bool m_spoilt = false;
    bool m_lastUnique = false;
    bool m_lastBusy = false;
    bool m_lastLost = false;
    bool m_connectionLost = false;
    bool m_commitUnknown = false;
    bool m_opened = false;
    bool m_fileGone = false;
    QString m_goneText;
    QString m_rescueFile;
    quint64 m_fileDevice = 0;
    quint64 m_fileInode = 0;
    int m_reconnects = 0;
    static constexpr int kReconnectPauseMSecs = 2000;
    QDeadlineTimer m_reconnectPause;
    QString m_reconnectFailure;
    // Statements with values prepared on this connection, by their text (exec() and scalar();
    // select() hands its query to the caller). PostgreSQL: Qt prepares a statement with a
    // PREPARE, runs it with an EXECUTE and drops it with a DEALLOCATE, three round trips; a kept
    // one costs the EXECUTE alone. SQLite: a kept statement is not compiled again. Emptied with
    // the connection and by any schema change (SQLite also recompiles one by itself).
    QHash<QString, std::shared_ptr<QSqlQuery>> m_prepared;
    static constexpr int kPreparedKept = 256;
    std::function<void()> m_beforeCommit;
    bool m_loseCommitReply = false;
    int m_depth = 0;
    int m_failAt = 0;
    int m_statementCount = 0;
};

// Runs `select` followed by " IN (?, ...)" over `ids`, a bounded number at a time (every engine
// limits a statement's bound values), and hands each row to `row`. False when a statement failed.
bool SelectByIds(Database& db, const QString& select, const QVector<int>& ids,
                 const std::function<void(const QSqlQuery&)>& row);

// "%text%" with %, _ and \ escaped, for likeClause().
QString likePattern(const QString& text);
// Reads a date-time column on either engine (SQLite keeps text, PostgreSQL a timestamp).
QDateTime toDateTime(const QVariant& v);
// Local time as stored in text form.
QString dateTimeText(const QDateTime& dt);

// Rolls back on scope exit unless commit() succeeded.
class Transaction final {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool ok() const { return m_active; }
    bool commit();
    void rollback();

private:
    Database& m_db;
    bool m_active = false;
};

// Runs `work` inside a transaction and commits it. `work` returns false to roll back.
// A transaction that fails on a serialization failure, deadlock, busy database or a connection
// lost before COMMIT is run again, at most `attempts` times in all and only while the first
// run began less than kRetryBudgetMSecs ago, so a locked database never holds the till long.
constexpr int kRetryBudgetMSecs = 2 * Database::kBusyWaitMSecs;
bool runTransaction(Database& db, const std::function<bool()>& work, int attempts = 5);

// After runTransaction failed: what became of the work when the connection broke at COMMIT.
// `stored` asks the reconnected server whether the work is there (true), is not (false) or
// cannot tell (nullopt). The last error is cleared: take the cause before. Saved means the
// caller reports success; Unknown means the caller must neither report success nor invite a
// retry, which could do the work twice.
enum class LostCommit { No, Saved, Unknown };
LostCommit CheckLostCommit(Database& db, const std::function<std::optional<bool>()>& stored);
// The usual `stored`: whether `countSql` (a SELECT count(*) with `binds`) finds a row.
LostCommit CheckLostCommit(Database& db, const QString& countSql, const QVariantList& binds,
                           bool savedWhenFound = true);

} // namespace selvo::db
