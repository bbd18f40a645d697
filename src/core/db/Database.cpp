#include "core/db/Database.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QTcpSocket>
#include <QThread>
#include <QTimeZone>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The PostgreSQL connection itself broke (server restart, network, backend terminated).
bool isConnectionLoss(const QString& code, const QString& text) {
    if (code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") ||
        code == QLatin1String("57P02") || code == QLatin1String("57P03"))
        return true;
    return code.isEmpty() && containsAny(text, {"server closed the connection", "no connection to the server",
                                                "terminating connection", "connection to server was lost",
                                                "could not send data", "could not receive data",
                                                "SSL SYSCALL", "EOF detected"});
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
    if (openConnection()) {
        m_opened = true;
        return true;
    }
    close();
    return false;
}

bool Database::openConnection() {
    return m_config.engine == Engine::Sqlite ? openSqlite() : openPostgres();
}

namespace {
bool folderWritable(const QString& file) {
    return ::access(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), W_OK) == 0;
}

bool fileWritable(const QString& file) {
    return ::access(QFile::encodeName(file).constData(), W_OK) == 0;
}

// The first bytes of every SQLite database; a file without them was never one.
bool hasSqliteHeader(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return f.size() == 0 || f.read(16) == QByteArray("SQLite format 3\0", 16);
}

int sqliteCode(const QSqlError& err) {
    return err.nativeErrorCode().toInt() & 0xff;
}
} // namespace

bool Database::openSqlite() {
    const ConnectionConfig& config = m_config;
    const QString& file = config.sqliteFile;
    const QByteArray path = QFile::encodeName(file);
    if (!QFileInfo::exists(file)) {
        if (config.readOnly || !config.createIfMissing) {
            m_lastError = QStringLiteral("no database file");
            m_openFailure = config.readOnly ? OpenFailure::CannotCreate : OpenFailure::Missing;
            return false;
        }
        // A new database is private to its owner whatever the umask; SQLite gives its journal
        // and WAL the mode of the database file.
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
        } else if (errno != EEXIST) {
            m_lastError = QString::fromLocal8Bit(std::strerror(errno));
            m_openFailure = OpenFailure::CannotCreate;
            return false;
        }
        // EEXIST: another till starting at the same moment made it; it is opened as it is.
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(file);
    const QString busy = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyWaitMSecs);
    db.setConnectOptions(config.readOnly ? busy + QStringLiteral(";QSQLITE_OPEN_READONLY") : busy);
    const auto readFailure = [&](const QString& text) {
        m_lastError = text;
        if (!QFileInfo(file).isReadable())
            m_openFailure = OpenFailure::NoAccess;
        else if (!hasSqliteHeader(file))
            m_openFailure = OpenFailure::NotADatabase;
        else if (!folderWritable(file))
            // A WAL database cannot be read without its -shm file beside it.
            m_openFailure = OpenFailure::ReadOnlyFolder;
        else
            m_openFailure = OpenFailure::NotADatabase;
        return false;
    };
    if (!db.open())
        return readFailure(db.lastError().text());
    // Read before anything writes: a file that is not a database must stay untouched.
    {
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            return readFailure(probe.lastError().text());
    }
    struct stat st {};
    if (::stat(path.constData(), &st) == 0) {
        m_fileDevice = quint64(st.st_dev);
        m_fileInode = quint64(st.st_ino);
    }
    if (config.readOnly)
        return true;
    // A file SQLite could only open for reading passes every read and fails the first sale:
    // find out now. Taking the write lock writes nothing.
    if (!fileWritable(file)) {
        m_lastError = QStringLiteral("read-only file");
        m_openFailure = OpenFailure::ReadOnlyFile;
        return false;
    }
    if (!folderWritable(file)) {
        m_lastError = QStringLiteral("read-only folder");
        m_openFailure = OpenFailure::ReadOnlyFolder;
        return false;
    }
    {
        QSqlQuery probe(db);
        if (probe.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            probe.exec(QStringLiteral("ROLLBACK"));
        } else if (sqliteCode(probe.lastError()) == 8 /* SQLITE_READONLY */) {
            m_lastError = probe.lastError().text();
            m_openFailure = OpenFailure::ReadOnlyFile;
            return false;
        }
        // Busy: another till is writing, which proves the file writable.
    }
    // Per-connection settings only: nothing here writes to the file.
    for (const char* pragma : {"PRAGMA synchronous=FULL", "PRAGMA foreign_keys=OFF"}) {
        QSqlQuery q(db);
        q.exec(QString::fromLatin1(pragma));
    }
    return true;
}

bool Database::openPostgres() {
    const ConnectionConfig& config = m_config;
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
        m_lastError = redacted(db.lastError().text());
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
    // A sale reported as saved must survive a server crash, whatever the server's default.
    q.exec(QStringLiteral("SET synchronous_commit TO on"));
    if (!q.exec(QStringLiteral("SHOW synchronous_commit")) || !q.next() ||
        q.value(0).toString() != QLatin1String("on")) {
        m_lastError = QStringLiteral("synchronous_commit cannot be switched on for this session");
        m_openFailure = OpenFailure::NotDurable;
        return false;
    }
    q.finish();
    if (config.readOnly)
        q.exec(QStringLiteral("SET default_transaction_read_only = on"));
    m_opened = true;
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
    dropConnection();
    m_opened = false;
    m_connectionLost = false;
    m_depth = 0;
    m_spoilt = false;
}

void Database::dropConnection() {
    m_prepared.clear(); // its queries belong to the connection
    if (QSqlDatabase::contains(m_connectionName)) {
        {
            QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

QString Database::redacted(QString text) const {
    // Short passwords would blot out ordinary letters; they are not echoed by anything here.
    if (m_config.password.size() >= 4)
        text.replace(m_config.password, QStringLiteral("******"));
    return text;
}

bool Database::reconnect() {
    const QString cause = m_lastError;
    // A server that cannot be reached is not asked again at every statement: each try may
    // wait for the connect timeout.
    if (m_connectionLost && !m_reconnectFailure.isEmpty() && !m_reconnectPause.hasExpired()) {
        m_lastError = m_reconnectFailure;
        m_lastTransient = false;
        return false;
    }
    dropConnection();
    m_depth = 0;
    m_spoilt = false;
    if (!openPostgres()) {
        m_connectionLost = true;
        m_lastError =
            QStringLiteral("与数据库服务器的连接已断开，重新连接失败：%1（%2）").arg(m_lastError, cause);
        m_reconnectFailure = m_lastError;
        m_reconnectPause.setRemainingTime(kReconnectPauseMSecs);
        m_lastTransient = false;
        return false;
    }
    m_connectionLost = false;
    m_lastLost = false;
    m_reconnectFailure.clear();
    ++m_reconnects;
    return true;
}

bool Database::fileAtItsPath() const {
    struct stat st {};
    const QByteArray path = QFile::encodeName(m_config.sqliteFile);
    const bool there = ::stat(path.constData(), &st) == 0;
    return there ? quint64(st.st_dev) == m_fileDevice && quint64(st.st_ino) == m_fileInode
                 : errno != ENOENT && errno != ENOTDIR;
}

bool Database::checkFileStillThere() {
    if (m_fileGone) {
        m_lastError = m_goneText;
        return false;
    }
    if (fileAtItsPath())
        return true;
    m_fileGone = true;
    // The connection still holds the vanished file and its WAL open: keep what it sees.
    const QFileInfo fi(m_config.sqliteFile);
    const QString rescue =
        QDir(fi.absolutePath())
            .filePath(QStringLiteral("%1-rescued-%2.db")
                          .arg(fi.completeBaseName(),
                               QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    {
        QSqlQuery q(handle());
        if (q.prepare(QStringLiteral("VACUUM INTO ?"))) {
            q.addBindValue(rescue);
            if (q.exec()) {
                m_rescueFile = rescue;
                QFile::setPermissions(rescue, QFile::ReadOwner | QFile::WriteOwner);
            }
        }
    }
    m_goneText = QStringLiteral("数据库文件已被删除、移走或替换：%1。为免数据丢失，程序已停止保存。")
                     .arg(QDir::toNativeSeparators(m_config.sqliteFile));
    if (!m_rescueFile.isEmpty())
        m_goneText += QStringLiteral("程序中的数据已另存为 %1，请退出程序，把它改名为 %2 放回原处后再启动。")
                          .arg(QDir::toNativeSeparators(m_rescueFile), fi.fileName());
    else
        m_goneText += QStringLiteral("请不要退出程序，先把数据库文件放回原处。");
    m_lastError = m_goneText;
    m_lastCode.clear();
    m_lastTransient = false;
    m_lastBusy = false;
    m_lastUnique = false;
    return false;
}

bool Database::usable() {
    if (!m_opened) {
        m_lastError = QStringLiteral("database not open");
        return false;
    }
    if (m_config.engine == Engine::Sqlite)
        return checkFileStillThere();
    if (m_connectionLost || !handle().isOpen())
        return reconnect();
    return true;
}

void Database::clearLastError() {
    m_lastError.clear();
    m_lastCode.clear();
    m_lastTransient = false;
    m_lastUnique = false;
    m_lastBusy = false;
    m_lastLost = false;
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
        m_lastBusy = false;
        m_lastLost = false;
        return true;
    }
    return false;
}

void Database::noteError(const QSqlError& err) {
    m_lastError = redacted(err.text());
    const QString code = err.nativeErrorCode();
    m_lastCode = code;
    m_lastBusy = false;
    m_lastLost = false;
    if (m_depth > 0 && m_config.engine == Engine::Postgres)
        m_spoilt = true;
    if (m_config.engine == Engine::Postgres) {
        m_lastTransient = code == QLatin1String("40001") || code == QLatin1String("40P01");
        m_lastUnique = code == QLatin1String("23505");
        if (isConnectionLoss(code, m_lastError) || !handle().isOpen()) {
            // Nothing of an unfinished transaction survives a broken connection: running it again
            // on a new one is safe. COMMIT itself is the exception (see commit()).
            m_lastLost = true;
            m_connectionLost = true;
            m_lastTransient = true;
        }
    } else {
        // SQLITE_BUSY (5), SQLITE_LOCKED (6); constraint errors (19 and its extended codes).
        const int c = code.toInt();
        m_lastTransient = (c & 0xff) == 5 || (c & 0xff) == 6;
        m_lastBusy = m_lastTransient;
        m_lastUnique = (c & 0xff) == 19 && m_lastError.contains(QLatin1String("UNIQUE"), Qt::CaseInsensitive);
        if (m_lastBusy)
            m_lastError = QStringLiteral("数据库正忙（另一个程序正在写入），请稍后重试。") + m_lastError;
    }
}

bool Database::admitStatement(const QString& sql, const QVariantList& binds) {
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
    return true;
}

bool Database::prepareAndRun(QSqlQuery& q, const QString& sql, const QVariantList& binds) {
    if (!admitStatement(sql, binds))
        return false;
    q.setForwardOnly(true);
    // PostgreSQL prepares only queries and DML (PREPARE ... AS CREATE fails): statements without
    // values run as they are there.
    if (binds.isEmpty() && m_config.engine == Engine::Postgres) {
        // A kept statement may rest on what a schema change alters.
        const QString head = sql.trimmed().left(6).toUpper();
        if (head == QLatin1String("CREATE") || head.startsWith(QLatin1String("ALTER")) ||
            head.startsWith(QLatin1String("DROP")))
            m_prepared.clear();
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

QSqlQuery* Database::runPrepared(const QString& sql, const QVariantList& binds) {
    if (!admitStatement(sql, binds))
        return nullptr;
    std::shared_ptr<QSqlQuery> kept = m_prepared.value(sql);
    if (!kept) {
        kept = std::make_shared<QSqlQuery>(handle());
        kept->setForwardOnly(true);
        if (!kept->prepare(sql)) {
            noteError(kept->lastError());
            return nullptr;
        }
        if (m_prepared.size() >= kPreparedKept)
            m_prepared.clear();
        m_prepared.insert(sql, kept);
    }
    QSqlQuery& q = *kept;
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds[i]);
    if (!q.exec()) {
        const QSqlError error = q.lastError();
        q.finish();
        noteError(error);
        return nullptr;
    }
    return &q;
}

bool Database::exec(const QString& sql, const QVariantList& binds, int* affected) {
    // Before the query takes the connection: making it again replaces the connection.
    if (m_depth == 0 && !usable())
        return false;
    if (!binds.isEmpty()) {
        QSqlQuery* q = runPrepared(sql, binds);
        if (!q)
            return false;
        if (affected)
            *affected = q->numRowsAffected();
        q->finish();
        return true;
    }
    QSqlQuery q(handle());
    if (!prepareAndRun(q, sql, binds))
        return false;
    if (affected)
        *affected = q.numRowsAffected();
    return true;
}

std::optional<QSqlQuery> Database::select(const QString& sql, const QVariantList& binds) {
    if (m_depth == 0 && !usable())
        return std::nullopt;
    {
        QSqlQuery q(handle());
        if (prepareAndRun(q, sql, binds))
            return q;
    }
    // A read outside a transaction may simply run again once the connection is back; a write
    // (INSERT ... RETURNING) may have been done before the answer was lost.
    const QString head = sql.trimmed().left(6).toUpper();
    const bool read = head == QLatin1String("SELECT") || head.startsWith(QLatin1String("SHOW"));
    if (m_depth > 0 || !m_lastLost || !read || !reconnect())
        return std::nullopt;
    QSqlQuery q(handle());
    if (!prepareAndRun(q, sql, binds))
        return std::nullopt;
    return q;
}

std::optional<QVariant> Database::scalar(const QString& sql, const QVariantList& binds) {
    if (!binds.isEmpty()) {
        if (m_depth == 0 && !usable())
            return std::nullopt;
        QSqlQuery* q = runPrepared(sql, binds);
        // A read outside a transaction may simply run again once the connection is back.
        const QString head = sql.trimmed().left(6).toUpper();
        if (!q && m_depth == 0 && m_lastLost && head == QLatin1String("SELECT") && reconnect())
            q = runPrepared(sql, binds);
        if (!q)
            return std::nullopt;
        std::optional<QVariant> value;
        if (q->next())
            value = q->value(0);
        q->finish();
        return value;
    }
    auto q = select(sql, binds);
    if (!q || !q->next())
        return std::nullopt;
    return q->value(0);
}

std::optional<qint64> Database::insertReturningId(const QString& sql, const QVariantList& binds,
                                                  const QString& idColumn) {
    const auto value = scalar(sql + QStringLiteral(" RETURNING ") + idColumn, binds);
    if (!value)
        return std::nullopt;
    bool ok = false;
    const qint64 id = value->toLongLong(&ok);
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
        m_commitUnknown = false;
        if (!usable())
            return false;
        m_lastLost = false;
        // IMMEDIATE takes the write lock at once, so two SQLite writers never deadlock on upgrade.
        const QString sql =
            m_config.engine == Engine::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
        // A server restart shows only when the idle connection is next used.
        if (!control(sql) && !(m_lastLost && reconnect() && control(sql)))
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
        if (m_beforeCommit) {
            const auto hook = std::move(m_beforeCommit);
            m_beforeCommit = nullptr;
            hook();
        }
        // SQLite: what is committed to a file deleted, moved or replaced since BEGIN would vanish
        // with it. Rolled back instead, and the file's loss is reported (and rescued) as always.
        if (m_config.engine == Engine::Sqlite && !m_fileGone && !fileAtItsPath()) {
            control(QStringLiteral("ROLLBACK"));
            m_depth = 0;
            checkFileStillThere();
            return false;
        }
        const bool committed = control(QStringLiteral("COMMIT"));
        bool lost = !committed && m_lastLost;
        if (committed && m_loseCommitReply) {
            m_loseCommitReply = false;
            m_lastError = QStringLiteral("server closed the connection unexpectedly (test)");
            lost = true;
        }
        if (lost && m_config.engine == Engine::Postgres) {
            // The server may have committed before the connection broke: nobody can tell from
            // here. Never run it again; connect anew so the caller can look up what it wrote.
            const QString cause = m_lastError;
            m_depth = 0;
            m_spoilt = false;
            m_commitUnknown = true;
            reconnect();
            m_lastError = cause;
            m_lastTransient = false;
            m_lastLost = true;
            return false;
        }
        if (!committed) {
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

bool SelectByIds(Database& db, const QString& select, const QVector<int>& ids,
                 const std::function<void(const QSqlQuery&)>& row) {
    constexpr qsizetype kChunk = 500;
    for (qsizetype start = 0; start < ids.size(); start += kChunk) {
        const qsizetype n = std::min(kChunk, ids.size() - start);
        QVariantList binds;
        for (qsizetype i = 0; i < n; ++i)
            binds << ids[start + i];
        auto q = db.select(select + QStringLiteral(" IN (") + QStringList(n, QStringLiteral("?")).join(u',') +
                               QLatin1Char(')'),
                           binds);
        if (!q)
            return false;
        while (q->next())
            row(*q);
    }
    return true;
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
    QElapsedTimer clock;
    clock.start();
    for (int attempt = 1; attempt <= attempts; ++attempt) {
        {
            Transaction tx(db);
            if (tx.ok() && work() && tx.commit())
                return true;
        }
        // Only the outermost transaction can be retried; a savepoint belongs to its caller.
        if (db.transactionDepth() > 0 || !db.lastErrorIsTransient() || db.lastCommitOutcomeUnknown() ||
            clock.elapsed() >= kRetryBudgetMSecs)
            return false;
        QThread::msleep(10 * attempt);
    }
    return false;
}

LostCommit CheckLostCommit(Database& db, const std::function<std::optional<bool>()>& stored) {
    if (!db.lastCommitOutcomeUnknown())
        return LostCommit::No;
    db.clearLastError();
    const std::optional<bool> found = stored();
    db.clearLastError();
    // Not there yet, or no answer: the server may still be finishing the commit it was sent.
    return found && *found ? LostCommit::Saved : LostCommit::Unknown;
}

LostCommit CheckLostCommit(Database& db, const QString& countSql, const QVariantList& binds,
                           bool savedWhenFound) {
    return CheckLostCommit(db, [&]() -> std::optional<bool> {
        const auto count = db.scalar(countSql, binds);
        if (!count)
            return std::nullopt;
        return (count->toLongLong() > 0) == savedWhenFound;
    });
}

} // namespace selvo::db
