#include "core/db/Backup.h"

#include "core/db/Schema.h"
#include "core/support/Clock.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace selvo::db {

namespace {
QAtomicInt g_rawCounter;

// SQLite's WAL-index layout (os_unix.c): the eight shared-memory locks start at byte 120 of the
// -shm file and the "DMS" lock every open connection holds a shared lock on follows them.
constexpr off_t kDmsLockOffset = 120 + 8;

QString stamp() {
    return Clock::instance().now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

// The folder 0700 when it is made here; a folder that exists keeps the mode its owner gave it.
bool makePrivateFolder(const QString& path, QString* why) {
    if (QFileInfo(path).isDir())
        return true;
    if (::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || QFileInfo(path).isDir())
        return true;
    *why = QStringLiteral("无法创建备份文件夹 %1：%2")
               .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)));
    return false;
}

// An empty file of mode 0600 that did not exist before: VACUUM INTO writes into an empty file and
// keeps its mode.
bool makePrivateFile(const QString& path, QString* why) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) {
        *why = QStringLiteral("无法创建备份文件 %1：%2")
                   .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    ::close(fd);
    return true;
}

bool syncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

void syncFolder(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A free name in `folder`: base + suffix, or base-2 + suffix … when taken.
QString freeName(const QString& folder, const QString& base, const QString& suffix) {
    QString name = base + suffix;
    for (int n = 2; QFileInfo::exists(QDir(folder).filePath(name)) ||
                    QFileInfo::exists(QDir(folder).filePath(name + QStringLiteral(".part")));
         ++n)
        name = QStringLiteral("%1-%2%3").arg(base).arg(n).arg(suffix);
    return QDir(folder).filePath(name);
}

// A connection of its own to one SQLite file, for copies and checks, gone with the object.
class RawSqlite final {
public:
    RawSqlite(const QString& file, bool readOnly)
        : m_name(QStringLiteral("selvo-backup-%1").arg(g_rawCounter.fetchAndAddRelaxed(1))) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(file);
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        m_ok = QFileInfo(file).isFile() && db.open();
        if (!m_ok)
            m_error = QFileInfo(file).isFile() ? db.lastError().text() : QStringLiteral("文件不存在");
    }
    ~RawSqlite() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    RawSqlite(const RawSqlite&) = delete;
    RawSqlite& operator=(const RawSqlite&) = delete;

    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    // Runs one statement; its rows' first column, or std::nullopt (see error()) when it failed.
    std::optional<QStringList> run(const QString& sql, const QVariantList& binds = {}) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.prepare(sql)) {
            m_error = q.lastError().text();
            return std::nullopt;
        }
        for (const QVariant& b : binds)
            q.addBindValue(b);
        if (!q.exec()) {
            m_error = q.lastError().text();
            return std::nullopt;
        }
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString();
        return rows;
    }

private:
    QString m_name;
    bool m_ok = false;
    QString m_error;
};

QString integrityProblem(const QString& file);

// Checks a copy just made; removes it when it fails, else gives it its final name.
BackupResult finish(const QString& part, const QString& file) {
    BackupResult r;
    const QString problem = integrityProblem(part);
    if (!problem.isEmpty()) {
        QFile::remove(part);
        r.message = QStringLiteral("备份文件检查未通过（%1），已删除").arg(problem);
        return r;
    }
    if (!syncFile(part) || !QFile::rename(part, file)) {
        QFile::remove(part);
        r.message = QStringLiteral("无法写入备份文件 %1").arg(QDir::toNativeSeparators(file));
        return r;
    }
    syncFolder(QFileInfo(file).absolutePath());
    r.ok = true;
    r.file = file;
    return r;
}

// The open SQLite database copied into `file` (a fresh path) and checked.
BackupResult copySqlite(Database& db, const QString& file) {
    BackupResult r;
    if (db.engine() != Engine::Sqlite || !db.isOpen()) {
        r.message = QStringLiteral("数据库未打开");
        return r;
    }
    if (db.transactionDepth() > 0) {
        r.message = QStringLiteral("数据库正在保存数据，请稍后再备份");
        return r;
    }
    if (!makePrivateFolder(QFileInfo(file).absolutePath(), &r.message))
        return r;
    const QString part = file + QStringLiteral(".part");
    if (!makePrivateFile(part, &r.message))
        return r;
    if (!db.exec(QStringLiteral("VACUUM INTO ?"), {part})) {
        QFile::remove(part);
        r.message = QStringLiteral("备份失败：%1").arg(db.lastError());
        return r;
    }
    return finish(part, file);
}

BackupResult dumpPostgres(const ConnectionConfig& c, const QString& file) {
    BackupResult r;
    const QString pgDump = QStandardPaths::findExecutable(QStringLiteral("pg_dump"));
    if (pgDump.isEmpty()) {
        r.message = QStringLiteral("找不到 pg_dump，请安装 postgresql-client 后再备份");
        return r;
    }
    if (!makePrivateFolder(QFileInfo(file).absolutePath(), &r.message) || !makePrivateFile(file, &r.message))
        return r;
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The password reaches pg_dump through its environment, which only this user can read.
    if (!c.password.isEmpty())
        env.insert(QStringLiteral("PGPASSWORD"), c.password);
    if (!c.sslmode.isEmpty())
        env.insert(QStringLiteral("PGSSLMODE"), c.sslmode);
    env.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("10"));
    p.setProcessEnvironment(env);
    QStringList args{QStringLiteral("--format=custom"), QStringLiteral("--no-password"),
                     QStringLiteral("--file=") + file, QStringLiteral("--port=") + QString::number(c.port)};
    if (!c.host.isEmpty())
        args << QStringLiteral("--host=") + c.host;
    if (!c.user.isEmpty())
        args << QStringLiteral("--username=") + c.user;
    args << QStringLiteral("--dbname=") + c.name;
    p.start(pgDump, args);
    const bool finished = p.waitForStarted(10000) && p.waitForFinished(3600 * 1000);
    if (!finished || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        QString why = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        if (!c.password.isEmpty())
            why.replace(c.password, QStringLiteral("***"));
        QFile::remove(file);
        r.message = QStringLiteral("pg_dump 备份失败：%1").arg(why.isEmpty() ? p.errorString() : why);
        return r;
    }
    // A dump pg_restore can list is a whole archive.
    const QString pgRestore = QStandardPaths::findExecutable(QStringLiteral("pg_restore"));
    if (!pgRestore.isEmpty()) {
        QProcess list;
        list.start(pgRestore, {QStringLiteral("--list"), file});
        if (!list.waitForFinished(600 * 1000) || list.exitStatus() != QProcess::NormalExit ||
            list.exitCode() != 0) {
            QFile::remove(file);
            r.message = QStringLiteral("备份文件检查未通过：%1")
                            .arg(QString::fromLocal8Bit(list.readAllStandardError()).trimmed());
            return r;
        }
    }
    syncFile(file);
    r.ok = true;
    r.file = file;
    return r;
}
} // namespace

QString BackupFolder(const ConnectionConfig& config) {
    return QDir(QFileInfo(config.sqliteFile).absolutePath()).filePath(QStringLiteral("backup"));
}

BackupResult BackupNow(Database& db, const QString& file) {
    const ConnectionConfig& c = db.config();
    const bool sqlite = c.engine == Engine::Sqlite;
    QString target = file.isEmpty() ? QString() : QFileInfo(file).absoluteFilePath();
    if (target.isEmpty())
        target = freeName(BackupFolder(c), QStringLiteral("hydb-") + stamp(),
                          sqlite ? QStringLiteral(".db") : QStringLiteral(".dump"));
    else if (QFileInfo::exists(target)) {
        BackupResult r;
        r.message = QStringLiteral("文件已存在：%1").arg(QDir::toNativeSeparators(target));
        return r;
    }
    return sqlite ? copySqlite(db, target) : dumpPostgres(c, target);
}

BackupResult DailyBackup(Database& db, const QDate& today) {
    BackupResult r;
    if (db.engine() != Engine::Sqlite) {
        r.ok = true;
        return r;
    }
    const QString folder = BackupFolder(db.config());
    const QString prefix = QStringLiteral("hydb-daily-");
    const QString file =
        QDir(folder).filePath(prefix + today.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".db"));
    if (QFileInfo::exists(file)) {
        r.ok = true;
        return r;
    }
    QFile::remove(file + QStringLiteral(".part")); // left by a start that did not finish its copy
    r = copySqlite(db, file);
    if (!r.ok)
        return r;
    // The names sort by date: everything past the newest kDailyBackupsKept goes.
    const QStringList daily = QDir(folder).entryList({prefix + QStringLiteral("????????.db")}, QDir::Files,
                                                     QDir::Name | QDir::Reversed);
    for (qsizetype i = kDailyBackupsKept; i < daily.size(); ++i)
        QFile::remove(QDir(folder).filePath(daily[i]));
    return r;
}

BackupResult UpgradeBackup(Database& db, int fromVersion) {
    const QString base = QStringLiteral("hydb-before-upgrade-v%1-%2").arg(fromVersion).arg(stamp());
    return copySqlite(db, freeName(BackupFolder(db.config()), base, QStringLiteral(".db")));
}

namespace {
// A SQLite file integrity_check passes, whatever it holds (a copy of an old shop before its
// upgrade too); the reason when it does not.
QString integrityProblem(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("无法读取文件");
    if (f.read(16) != QByteArray("SQLite format 3\0", 16))
        return QStringLiteral("不是 SQLite 数据库文件");
    f.close();
    RawSqlite raw(file, true);
    if (!raw.ok())
        return raw.error();
    const auto integrity = raw.run(QStringLiteral("PRAGMA integrity_check"));
    if (!integrity)
        return raw.error();
    if (*integrity != QStringList{QStringLiteral("ok")})
        return QStringLiteral("integrity_check: ") + integrity->mid(0, 5).join(QStringLiteral("; "));
    return {};
}
} // namespace

QString CheckDatabaseFile(const QString& file) {
    if (const QString problem = integrityProblem(file); !problem.isEmpty())
        return problem;
    RawSqlite raw(file, true);
    if (!raw.ok())
        return raw.error();
    const auto version = raw.run(QStringLiteral("SELECT max(Version) FROM tb_SchemaVersion"));
    if (!version || version->isEmpty())
        return QStringLiteral("不是本系统的数据库（没有 tb_SchemaVersion）");
    const int v = version->constFirst().toInt();
    if (v < 1)
        return QStringLiteral("不是本系统的数据库（没有数据结构版本）");
    if (v > kSchemaVersion)
        return QStringLiteral("数据库由较新版本的程序创建（数据结构版本 %1，本程序支持到 %2）")
            .arg(v)
            .arg(kSchemaVersion);
    for (const char* table : {"tb_members", "tb_orders", "tb_order_lines", "tb_TopupRecord", "tb_manager"}) {
        if (!raw.run(QStringLiteral("SELECT count(*) FROM ") + QString::fromLatin1(table)))
            return QStringLiteral("缺少数据表 %1").arg(QString::fromLatin1(table));
    }
    return {};
}

qint64 DatabaseHolder(const QString& databaseFile) {
    const QByteArray shm = QFile::encodeName(databaseFile + QStringLiteral("-shm"));
    const int fd = ::open(shm.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? 0 : -1; // no -shm file: no connection in WAL mode
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kDmsLockOffset;
    lock.l_len = 1;
    const int rc = ::fcntl(fd, F_GETLK, &lock);
    ::close(fd);
    if (rc != 0)
        return -1;
    return lock.l_type == F_UNLCK ? 0 : qint64(lock.l_pid > 0 ? lock.l_pid : -1);
}

RestoreResult RestoreSqlite(const QString& databaseFile, const QString& from) {
    RestoreResult r;
    const QString target = QFileInfo(databaseFile).absoluteFilePath();
    const QString source = QFileInfo(from).absoluteFilePath();
    const QString folder = QDir(QFileInfo(target).absolutePath()).filePath(QStringLiteral("backup"));
    const auto inUse = [&](qint64 holder) {
        r.message = holder > 0
                        ? QStringLiteral("数据库正被进程 %1 使用，请先关闭所有收银程序再恢复").arg(holder)
                        : QStringLiteral("无法确定数据库是否正被使用，未恢复");
        return r;
    };
    if (source == target) {
        r.message = QStringLiteral("不能用数据库文件自身恢复");
        return r;
    }
    if (!QFileInfo(source).isFile()) {
        r.message = QStringLiteral("找不到文件：%1").arg(QDir::toNativeSeparators(source));
        return r;
    }
    if (const qint64 holder = DatabaseHolder(target); holder != 0)
        return inUse(holder);
    if (!makePrivateFolder(folder, &r.message))
        return r;

    // The file to restore, as one consistent copy of its own (whatever WAL lies beside it), checked.
    const QString incoming =
        freeName(folder, QStringLiteral("hydb-restoring-") + stamp(), QStringLiteral(".db"));
    {
        const QString why = CheckDatabaseFile(source);
        if (!why.isEmpty()) {
            r.message =
                QStringLiteral("文件不能用于恢复（%1）：%2").arg(why, QDir::toNativeSeparators(source));
            return r;
        }
        if (!makePrivateFile(incoming, &r.message))
            return r;
        RawSqlite raw(source, true);
        if (!raw.ok() || !raw.run(QStringLiteral("VACUUM INTO ?"), {incoming})) {
            QFile::remove(incoming);
            r.message = QStringLiteral("无法读取要恢复的文件：%1").arg(raw.error());
            return r;
        }
    }
    if (const QString why = CheckDatabaseFile(incoming); !why.isEmpty() || !syncFile(incoming)) {
        QFile::remove(incoming);
        r.message = QStringLiteral("文件不能用于恢复（%1）").arg(why);
        return r;
    }

    // The database it replaces is kept: a consistent copy when it can still be read, else the file
    // itself (with its WAL) moved aside, so nothing is lost either way.
    const QString keep =
        freeName(folder, QStringLiteral("hydb-before-restore-") + stamp(), QStringLiteral(".db"));
    // Set when the replaced database itself was moved aside: put back if the swap fails.
    bool movedAside = false;
    const auto putBack = [&] {
        if (!movedAside)
            return;
        QFile::rename(keep, target);
        QFile::rename(keep + QStringLiteral("-wal"), target + QStringLiteral("-wal"));
        r.keptAs.clear();
    };
    if (QFileInfo::exists(target)) {
        bool copied = false;
        if (makePrivateFile(keep, &r.message)) {
            RawSqlite live(target, false);
            copied = live.ok() && live.run(QStringLiteral("VACUUM INTO ?"), {keep}).has_value();
        }
        if (copied && integrityProblem(keep).isEmpty() && syncFile(keep)) {
            r.keptAs = keep;
        } else {
            QFile::remove(keep);
            if (!QFile::rename(target, keep)) {
                QFile::remove(incoming);
                r.message = QStringLiteral("无法保留当前数据库，未恢复");
                return r;
            }
            QFile::rename(target + QStringLiteral("-wal"), keep + QStringLiteral("-wal"));
            movedAside = true;
            r.keptAs = keep;
        }
    }

    // The swap, under the lock every connection must share to open the database: a till starting
    // now is told the database is busy instead of opening it halfway.
    const QByteArray shm = QFile::encodeName(target + QStringLiteral("-shm"));
    const int fd = ::open(shm.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kDmsLockOffset;
    lock.l_len = 1;
    if (fd < 0 || ::fcntl(fd, F_SETLK, &lock) != 0) {
        if (fd >= 0)
            ::close(fd);
        QFile::remove(incoming);
        putBack();
        return inUse(DatabaseHolder(target));
    }
    QFile::remove(target + QStringLiteral("-wal"));
    const bool swapped =
        ::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(target).constData()) == 0;
    const int renameErrno = errno;
    ::unlink(shm.constData());
    ::close(fd);
    if (!swapped) {
        QFile::remove(incoming);
        putBack();
        r.message =
            QStringLiteral("无法替换数据库文件：%1").arg(QString::fromLocal8Bit(std::strerror(renameErrno)));
        return r;
    }
    syncFolder(QFileInfo(target).absolutePath());
    r.ok = true;
    r.message = QStringLiteral("已恢复：%1").arg(QDir::toNativeSeparators(source));
    return r;
}

} // namespace selvo::db
