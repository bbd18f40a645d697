#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>
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

private:
    bool openConnection();
    bool prepareAndRun(QSqlQuery& q, const QString& sql, const QVariantList& binds);
    bool hitFailpoint();
    void noteError(const QSqlError& err);
    bool control(const QString& sql);

    QString m_connectionName;
    ConnectionConfig m_config;
    OpenFailure m_openFailure = OpenFailure::None;
    QString m_lastError;
    QString m_lastCode;
    bool m_lastTransient = false;
    // A statement failed inside the open PostgreSQL transaction (see begin()).
    bool m_spoilt = false;
    bool m_lastUnique = false;
    int m_depth = 0;
    int m_failAt = 0;
    int m_statementCount = 0;
};

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
// A transaction that fails on a serialization failure, deadlock or busy database is run
// again, at most `attempts` times in all.
bool runTransaction(Database& db, const std::function<bool()>& work, int attempts = 5);

} // namespace selvo::db
