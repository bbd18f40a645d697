#include "core/db/Database.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QTcpSocket>
#include <QThread>
#include <QTimeZone>

namespace selvo::db {

namespace {
QAtomicInt g_connectionCounter;

bool portAnswers(const QString& host, int port) {
    QTcpSocket socket;
    socket.connectToHost(host, quint16(port > 0 ? port : 5432));
    return socket.waitForConnected(3000);
}

bool containsAny(const QString& text, std::initializer_list<const char*> parts) {
    for (const char* p : parts) {
        if (text.contains(QString::fromUtf8(p), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

bool isControlStatement(const QString& sql) {
    const QString head = sql.trimmed().section(QLatin1Char(' '), 0, 0).toUpper();
    return head == QLatin1String("BEGIN") || head == QLatin1String("COMMIT") ||
           head == QLatin1String("ROLLBACK") || head == QLatin1String("SAVEPOINT") ||
           head == QLatin1String("RELEASE");
}
} // namespace

Database::Database()
    : m_connectionName(QStringLiteral("selvo-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1))) {}

Database::~Database() {
    close();
}

QSqlDatabase Database::handle() const {
    return QSqlDatabase::database(m_connectionName, false);
}

bool Database::isOpen() const {
    return handle().isOpen();
}

bool Database::open(const ConnectionConfig& config) {
    close();
    m_config = config;
    m_openFailure = OpenFailure::None;
    m_depth = 0;
    m_spoilt = false;
    if (!config.invalidReason.isEmpty()) {
        m_lastError = config.invalidReason;
        m_openFailure = OpenFailure::BadSettings;
        return false;
    }
    // Every handle made while opening must be gone before a failed connection is removed.
    if (openConnection())
        return true;
    close();
    return false;
}

bool Database::openConnection() {
    const ConnectionConfig& config = m_config;

    if (config.engine == Engine::Sqlite) {
        const QFileInfo fi(config.sqliteFile);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(config.sqliteFile);
        if (config.readOnly && !fi.exists()) {
            m_lastError = QStringLiteral("no database file");
            m_openFailure = OpenFailure::CannotCreate;
            return false;
        }
        db.setConnectOptions(config.readOnly
                                 ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000;QSQLITE_OPEN_READONLY")
                                 : QStringLiteral("QSQLITE_BUSY_TIMEOUT=15000"));
        if (!db.open()) {
            m_lastError = db.lastError().text();
            m_openFailure = fi.exists() ? OpenFailure::NotADatabase : OpenFailure::CannotCreate;
            return false;
        }
        // Read before anything writes: a file that is not a database must stay untouched.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            m_lastError = probe.lastError().text();
            m_openFailure = OpenFailure::NotADatabase;
            return false;
        }
        probe.finish();
        if (config.readOnly)
            return true;
        // Per-connection settings only: nothing here writes to the file.
        for (const char* pragma : {"PRAGMA synchronous=FULL", "PRAGMA foreign_keys=OFF"}) {
            QSqlQuery q(db);
            q.exec(QString::fromLatin1(pragma));
        }
        return true;
    }

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connectionName);
    db.setHostName(config.host);
    if (config.port > 0)
        db.setPort(config.port);
    db.setDatabaseName(config.name);
    db.setUserName(config.user);
    db.setPassword(config.password);
    QStringList options{QStringLiteral("connect_timeout=5"), QStringLiteral("application_name=selvo")};
    if (!config.sslmode.isEmpty())
        options << QStringLiteral("sslmode=") + config.sslmode;
    db.setConnectOptions(options.join(QLatin1Char(';')));
    if (!db.open()) {
        m_lastError = db.lastError().text();
        m_openFailure = ClassifyConnectError(m_lastError);
        // Messages in a language we do not know: a refused or silent port still tells "unreachable".
        if (m_openFailure == OpenFailure::Other && !config.host.isEmpty() &&
            !config.host.startsWith(QLatin1Char('/')) && !portAnswers(config.host, config.port))
            m_openFailure = OpenFailure::ServerUnreachable;
        return false;
    }
    QSqlQuery q(db);
    q.exec(QStringLiteral("SET client_min_messages TO WARNING"));
    // LOCALTIMESTAMP (the AddDate default) must be this till's local time, as on SQLite, whatever
    // zone the server runs in.
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    if (!zone.isEmpty())
        q.exec(QStringLiteral("SET TIME ZONE '%1'").arg(QString::fromLatin1(zone).remove(QLatin1Char('\''))));
    if (config.readOnly)
        q.exec(QStringLiteral("SET default_transaction_read_only = on"));
    return true;
}

OpenFailure ClassifyConnectError(const QString& text) {
    // The server's own words (its language is the server's) come first: they prove it was reached.
    if (containsAny(text, {"password authentication failed", "no password supplied", "authentication failed",
                           "认证失败", "Password 认证", "没有提供口令"}) ||
        (containsAny(text, {"role \""}) && containsAny(text, {"does not exist"})) ||
        (containsAny(text, {"角色 \""}) && containsAny(text, {"不存在"})))
        return OpenFailure::BadPassword;
    if ((containsAny(text, {"database \""}) && containsAny(text, {"does not exist"})) ||
        (containsAny(text, {"数据库 \""}) && containsAny(text, {"不存在"})))
        return OpenFailure::NoSuchDatabase;
    if (containsAny(text,
                    {"could not connect", "connection refused", "timeout expired", "could not translate host",
                     "no such file or directory", "network is unreachable", "no route to host", "拒绝连接",
                     "超时", "无法解释主机名", "没有那个文件或目录", "网络不可达", "没有到主机的路由"}))
        return OpenFailure::ServerUnreachable;
    return OpenFailure::Other;
}

void Database::close() {
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
    m_depth = 0;
    m_spoilt = false;
}

void Database::clearLastError() {
    m_lastError.clear();
    m_lastCode.clear();
    m_lastTransient = false;
    m_lastUnique = false;
}

void Database::failNthStatement(int n) {
    m_failAt = n;
    m_statementCount = 0;
}

bool Database::hitFailpoint() {
    if (m_failAt <= 0)
        return false;
    ++m_statementCount;
    if (m_statementCount == m_failAt) {
        m_lastError = QStringLiteral("injected failure");
        m_lastCode.clear();
        m_lastTransient = false;
        m_lastUnique = false;
        return true;
    }
    return false;
}

void Database::noteError(const QSqlError& err) {
    m_lastError = err.text();
    const QString code = err.nativeErrorCode();
    m_lastCode = code;
    if (m_depth > 0 && m_config.engine == Engine::Postgres)
        m_spoilt = true;
    if (m_config.engine == Engine::Postgres) {
        m_lastTransient = code == QLatin1String("40001") || code == QLatin1String("40P01");
        m_lastUnique = code == QLatin1String("23505");
    } else {
        // SQLITE_BUSY (5), SQLITE_LOCKED (6); constraint errors (19 and its extended codes).
        const int c = code.toInt();
        m_lastTransient = (c & 0xff) == 5 || (c & 0xff) == 6;
        m_lastUnique = (c & 0xff) == 19 && m_lastError.contains(QLatin1String("UNIQUE"), Qt::CaseInsensitive);
    }
}

bool Database::prepareAndRun(QSqlQuery& q, const QString& sql, const QVariantList& binds) {
    if (!isOpen()) {
        m_lastError = QStringLiteral("database not open");
        return false;
    }
    if (!isControlStatement(sql) && hitFailpoint())
        return false;
    for (const QVariant& v : binds) {
        // PostgreSQL refuses a boolean for an integer column; refuse it on both engines alike.
        if (v.typeId() == QMetaType::Bool) {
            m_lastError = QStringLiteral("Yes/No values are bound as integers (-1 / 0): %1").arg(sql);
            m_lastCode.clear();
            m_lastTransient = false;
            m_lastUnique = false;
            return false;
        }
    }
    q.setForwardOnly(true);
    // PostgreSQL prepares only queries and DML (PREPARE ... AS CREATE fails): statements without
    // values run as they are there.
    if (binds.isEmpty() && m_config.engine == Engine::Postgres) {
        if (!q.exec(sql)) {
            noteError(q.lastError());
            return false;
        }
        return true;
    }
    if (!q.prepare(sql)) {
        noteError(q.lastError());
        return false;
    }
    for (const QVariant& v : binds)
        q.addBindValue(v);
    if (!q.exec()) {
        noteError(q.lastError());
        return false;
    }
    return true;
}

bool Database::exec(const QString& sql, const QVariantList& binds, int* affected) {
    QSqlQuery q(handle());
    if (!prepareAndRun(q, sql, binds))
        return false;
    if (affected)
        *affected = q.numRowsAffected();
    return true;
}

std::optional<QSqlQuery> Database::select(const QString& sql, const QVariantList& binds) {
    QSqlQuery q(handle());
    if (!prepareAndRun(q, sql, binds))
        return std::nullopt;
    return q;
}

std::optional<QVariant> Database::scalar(const QString& sql, const QVariantList& binds) {
    auto q = select(sql, binds);
    if (!q || !q->next())
        return std::nullopt;
    return q->value(0);
}

std::optional<qint64> Database::insertReturningId(const QString& sql, const QVariantList& binds,
                                                  const QString& idColumn) {
    auto q = select(sql + QStringLiteral(" RETURNING ") + idColumn, binds);
    if (!q || !q->next())
        return std::nullopt;
    bool ok = false;
    const qint64 id = q->value(0).toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return id;
}

bool Database::control(const QString& sql) {
    QSqlQuery q(handle());
    if (!q.exec(sql)) {
        noteError(q.lastError());
        return false;
    }
    return true;
}

bool Database::begin() {
    if (m_depth == 0) {
        m_lastTransient = false;
        m_spoilt = false;
        // IMMEDIATE takes the write lock at once, so two SQLite writers never deadlock on upgrade.
        const QString sql =
            m_config.engine == Engine::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
        if (!control(sql))
            return false;
    } else if (!control(QStringLiteral("SAVEPOINT sp%1").arg(m_depth))) {
        return false;
    }
    ++m_depth;
    return true;
}

bool Database::commit() {
    if (m_depth <= 0)
        return false;
    if (m_depth == 1) {
        // PostgreSQL answers COMMIT of a spoilt transaction with a silent rollback: say so instead.
        if (m_spoilt) {
            const QString cause = m_lastError;
            control(QStringLiteral("ROLLBACK"));
            m_depth = 0;
            m_spoilt = false;
            m_lastError = QStringLiteral("transaction rolled back after a failed statement: %1").arg(cause);
            return false;
        }
        if (!control(QStringLiteral("COMMIT"))) {
            // A failed COMMIT leaves nothing open on either engine once rolled back.
            const bool transient = m_lastTransient;
            const QString cause = m_lastError;
            control(QStringLiteral("ROLLBACK"));
            m_lastTransient = transient;
            m_lastError = cause;
            m_depth = 0;
            m_spoilt = false;
            return false;
        }
        m_depth = 0;
        return true;
    }
    --m_depth;
    return control(QStringLiteral("RELEASE SAVEPOINT sp%1").arg(m_depth));
}

bool Database::rollback() {
    if (m_depth <= 0)
        return false;
    if (m_depth == 1) {
        m_depth = 0;
        m_spoilt = false;
        return control(QStringLiteral("ROLLBACK"));
    }
    --m_depth;
    // Rolling back to the savepoint makes a spoilt PostgreSQL transaction usable again.
    const bool ok = control(QStringLiteral("ROLLBACK TO SAVEPOINT sp%1").arg(m_depth));
    if (ok)
        m_spoilt = false;
    control(QStringLiteral("RELEASE SAVEPOINT sp%1").arg(m_depth));
    return ok;
}

QString Database::likeClause(const QString& column) const {
    if (m_config.engine == Engine::Postgres)
        return column + QStringLiteral(" ILIKE ? ESCAPE '\\'");
    // SQLite's LIKE already ignores ASCII letter case.
    return column + QStringLiteral(" LIKE ? ESCAPE '\\'");
}

QVariant Database::dateTimeValue(const QDateTime& dt) const {
    return dateTimeText(dt);
}

QString Database::dateTimeTextOf(const QString& column) const {
    if (m_config.engine == Engine::Postgres)
        return QStringLiteral("to_char(%1, 'YYYY-MM-DD HH24:MI:SS')").arg(column);
    return column;
}

QString likePattern(const QString& text) {
    QString escaped;
    escaped.reserve(text.size() + 2);
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QString dateTimeText(const QDateTime& dt) {
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime toDateTime(const QVariant& v) {
    if (v.isNull())
        return {};
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime();
    const QString s = v.toString();
    QDateTime dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!dt.isValid())
        dt = QDateTime::fromString(s, Qt::ISODate);
    if (!dt.isValid())
        dt = QDateTime::fromString(s, QStringLiteral("yyyy-MM-dd"));
    return dt;
}

Transaction::Transaction(Database& db) : m_db(db) {
    m_active = m_db.begin();
}

Transaction::~Transaction() {
    if (m_active)
        m_db.rollback();
}

bool Transaction::commit() {
    if (!m_active)
        return false;
    m_active = false;
    return m_db.commit();
}

void Transaction::rollback() {
    if (!m_active)
        return;
    m_active = false;
    m_db.rollback();
}

bool runTransaction(Database& db, const std::function<bool()>& work, int attempts) {
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        {
            Transaction tx(db);
            if (tx.ok() && work() && tx.commit())
                return true;
        }
        // Only the outermost transaction can be retried; a savepoint belongs to its caller.
        if (db.transactionDepth() > 0 || !db.lastErrorIsTransient())
            return false;
        QThread::msleep(10 * attempt);
    }
    return false;
}

} // namespace selvo::db
