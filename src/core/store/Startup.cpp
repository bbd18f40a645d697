#include "core/store/Startup.h"

#include "core/db/ConnectionString.h"
#include "core/db/Schema.h"
#include "core/store/AppContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <sys/stat.h>

namespace selvo {

void KeepNewFilesPrivate() {
    ::umask(077);
}

bool MakePrivateFolder(const QString& folder) {
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).absolutePath();
    if (parent == path || !MakePrivateFolder(parent))
        return false;
    if (!QDir().mkdir(path))
        return QFileInfo(path).isDir(); // made by someone else meanwhile
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

namespace {
QString usable(const QString& folder, bool create) {
    if (folder.trimmed().isEmpty())
        return {};
    QDir dir(folder);
    if (!dir.exists() && (!create || !MakePrivateFolder(folder)))
        return {};
    return QDir::cleanPath(dir.absolutePath());
}
} // namespace

QString ResolveDataFolder(const QString& executableFolder, bool create) {
    if (const QString env = qEnvironmentVariable("SELVO_DATA_DIR"); !env.isEmpty())
        return usable(env, create).isEmpty() ? QDir::cleanPath(env) : usable(env, create);
    const QSettings system(QSettings::SystemScope, QStringLiteral("SELVO"));
    if (const QString path = usable(system.value(QStringLiteral("DATAPATH")).toString(), create);
        !path.isEmpty())
        return path;
    // An installed program lives in a system folder that root can write to: the shop's data
    // never goes there.
    const QString exeFolder = QDir::cleanPath(executableFolder);
    const bool systemFolder = exeFolder.startsWith(QLatin1String("/usr/")) ||
                              exeFolder == QLatin1String("/bin") || exeFolder == QLatin1String("/sbin") ||
                              exeFolder.startsWith(QLatin1String("/opt/"));
    if (!executableFolder.isEmpty() && !systemFolder && QFileInfo(executableFolder).isWritable())
        return exeFolder;
    QString perUser = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (perUser.isEmpty())
        perUser = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = perUser + QStringLiteral("/selvo");
    return create ? usable(folder, true) : QDir::cleanPath(folder);
}

QStringList LeftoverJournalFiles(const QString& dataFolder) {
    QStringList found;
    const QDir dir(dataFolder);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QString name = QStringLiteral("hydb.db") + QLatin1String(suffix);
        if (QFileInfo::exists(dir.filePath(name)))
            found << name;
    }
    return found;
}

QStringList EarlierShopTraces(const QString& dataFolder) {
    QStringList found = LeftoverJournalFiles(dataFolder);
    const QDir dir(dataFolder);
    for (const char* name : {"set.ini", "backup", "photo"}) {
        if (QFileInfo::exists(dir.filePath(QString::fromLatin1(name))))
            found << QString::fromLatin1(name);
    }
    found << dir.entryList({QStringLiteral("hydb*.db")}, QDir::Files);
    found.removeAll(QStringLiteral("hydb.db"));
    return found;
}

namespace {
// A value of selvo.conf as text. QSettings splits an unquoted value at commas; a password may
// well contain one, so the pieces are put back together.
QString confText(const QSettings& conf, const QString& key) {
    const QVariant v = conf.value(key);
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

QString envText(const char* name) {
    return qEnvironmentVariable(name);
}
} // namespace

db::ConnectionConfig ConnectionConfigFor(const QString& dataFolder) {
    db::ConnectionConfig config;
    config.sqliteFile = QDir(dataFolder).filePath(QStringLiteral("hydb.db"));
    const QString confFile = QDir(dataFolder).filePath(QStringLiteral("selvo.conf"));
    QString driver = QStringLiteral("sqlite");
    QStringList problems;
    QString portText;
    if (QFileInfo::exists(confFile)) {
        QSettings conf(confFile, QSettings::IniFormat);
        if (conf.status() != QSettings::NoError)
            problems << QStringLiteral("无法读取 %1").arg(QDir::toNativeSeparators(confFile));
        conf.beginGroup(QStringLiteral("Database"));
        if (conf.contains(QStringLiteral("driver")))
            driver = confText(conf, QStringLiteral("driver"));
        config.host = confText(conf, QStringLiteral("host")).trimmed();
        portText = confText(conf, QStringLiteral("port"));
        config.name = confText(conf, QStringLiteral("name")).trimmed();
        config.user = confText(conf, QStringLiteral("user")).trimmed();
        config.password = confText(conf, QStringLiteral("password"));
        config.sslmode = confText(conf, QStringLiteral("sslmode")).trimmed();
    }

    // Environment overrides, for tests and for trying a server without editing the file:
    // SELVO_PG (a whole libpq connection string), then the single fields, then the engine.
    if (const QString pg = envText("SELVO_PG"); !pg.trimmed().isEmpty()) {
        QString error;
        db::ConnectionConfig parsed = config;
        parsed.port = 0; // tells whether the string names a port
        if (db::ParsePgConnectionString(pg, parsed, &error)) {
            if (parsed.port != 0)
                portText = QString::number(parsed.port);
            parsed.port = config.port;
            config = parsed;
            driver = QStringLiteral("postgres");
        } else {
            problems << QStringLiteral("SELVO_PG：%1").arg(error);
        }
    }
    const struct {
        const char* name;
        QString* field;
    } overrides[] = {
        {"SELVO_PG_HOST", &config.host},
        {"SELVO_PG_PORT", &portText},
        {"SELVO_PG_NAME", &config.name},
        {"SELVO_PG_USER", &config.user},
        {"SELVO_PG_PASSWORD", &config.password},
        {"SELVO_PG_SSLMODE", &config.sslmode},
        {"SELVO_DB_DRIVER", &driver},
    };
    for (const auto& o : overrides) {
        if (qEnvironmentVariableIsSet(o.name))
            *o.field = envText(o.name);
    }

    driver = driver.trimmed().toLower();
    if (driver == QLatin1String("postgres") || driver == QLatin1String("postgresql") ||
        driver == QLatin1String("psql") || driver == QLatin1String("qpsql"))
        config.engine = db::Engine::Postgres;
    else if (driver.isEmpty() || driver == QLatin1String("sqlite") || driver == QLatin1String("qsqlite"))
        config.engine = db::Engine::Sqlite;
    else
        problems << QStringLiteral("未知的数据库类型“%1”（可选 sqlite 或 postgres）").arg(driver);

    // Server fields matter only for the server: a leftover bad value must not stop a SQLite till.
    if (!portText.trimmed().isEmpty()) {
        bool ok = false;
        const int port = portText.trimmed().toInt(&ok);
        if (ok && port >= 1 && port <= 65535)
            config.port = port;
        else if (config.engine == db::Engine::Postgres)
            problems << QStringLiteral("端口必须是 1 到 65535 之间的整数：%1").arg(portText);
    }
    if (config.engine == db::Engine::Postgres) {
        if (!config.sslmode.isEmpty() && !db::IsValidSslMode(config.sslmode))
            problems << QStringLiteral("未知的 sslmode：%1").arg(config.sslmode);
    }
    config.invalidReason = problems.join(QStringLiteral("；"));
    return config;
}

bool WriteServerConf(const QString& dataFolder, const db::ConnectionConfig& server, const QString& name) {
    QSettings conf(QDir(dataFolder).filePath(QStringLiteral("selvo.conf")), QSettings::IniFormat);
    conf.beginGroup(QStringLiteral("Database"));
    conf.setValue(QStringLiteral("driver"), QStringLiteral("postgres"));
    conf.setValue(QStringLiteral("host"), server.host);
    conf.setValue(QStringLiteral("port"), server.port);
    conf.setValue(QStringLiteral("name"), name);
    conf.setValue(QStringLiteral("user"), server.user);
    conf.setValue(QStringLiteral("password"), server.password);
    conf.setValue(QStringLiteral("sslmode"), server.sslmode);
    conf.endGroup();
    conf.sync();
    return conf.status() == QSettings::NoError;
}

QString DatabaseLocation(const db::ConnectionConfig& config) {
    if (config.engine == db::Engine::Sqlite)
        return QDir::toNativeSeparators(config.sqliteFile);
    return QStringLiteral("postgresql://%1@%2:%3/%4")
        .arg(config.user, config.host.isEmpty() ? QStringLiteral("localhost") : config.host)
        .arg(config.port)
        .arg(config.name);
}

OpenResult OpenDatabase(AppContext& ctx, const QString& dataFolder, NewShop newShop) {
    OpenResult result;
    db::ConnectionConfig config = ConnectionConfigFor(dataFolder);
    const QString where = DatabaseLocation(config);
    if (config.engine == db::Engine::Sqlite && config.invalidReason.isEmpty() &&
        !QFileInfo::exists(config.sqliteFile)) {
        // A missing database beside the remains of one was deleted or moved, not never made:
        // an empty shop there would hide the loss and throw the WAL (its last changes) away.
        const QStringList journals = LeftoverJournalFiles(dataFolder);
        const QStringList traces = EarlierShopTraces(dataFolder);
        if (!journals.isEmpty() || (newShop == NewShop::OnlyInEmptyFolder && !traces.isEmpty())) {
            result.detail =
                QStringLiteral("找不到数据库文件：%1，但数据文件夹中还有以前的数据（%2）。"
                               "为免覆盖，程序不会新建空的数据库。请把数据库文件放回原处")
                    .arg(where, (journals.isEmpty() ? traces : journals).join(QStringLiteral("、")));
            result.detail += journals.isEmpty() ? QStringLiteral("；确要新建商店，请运行 selvo-cli init。")
                                                : QStringLiteral("；%1 保存着最后的改动，不能删除。")
                                                      .arg(journals.join(QStringLiteral("、")));
            return result;
        }
    }
    if (!ctx.db.open(config)) {
        switch (ctx.db.openFailure()) {
        case db::OpenFailure::NotADatabase:
            result.detail = QStringLiteral("文件不是有效的数据库：%1").arg(where);
            break;
        case db::OpenFailure::CannotCreate:
            result.detail = QStringLiteral("无法创建或写入数据库文件：%1").arg(where);
            break;
        case db::OpenFailure::Missing:
            result.detail = QStringLiteral("找不到数据库文件：%1").arg(where);
            break;
        case db::OpenFailure::ReadOnlyFile:
            result.detail =
                QStringLiteral("数据库文件只读，无法保存数据：%1。请让该文件的所有者给程序的用户写权限。")
                    .arg(where);
            break;
        case db::OpenFailure::ReadOnlyFolder:
            result.detail = QStringLiteral("数据文件夹只读，无法打开或写入数据库：%1。数据库文件本身完好，"
                                           "请给程序的用户该文件夹的写权限（数据库需要在旁边建立日志文件）。")
                                .arg(where);
            break;
        case db::OpenFailure::NoAccess:
            result.detail = QStringLiteral("没有读取数据库文件的权限：%1").arg(where);
            break;
        case db::OpenFailure::NotDurable:
            result.detail =
                QStringLiteral("数据库服务器不能保证数据写入磁盘（synchronous_commit 无法设为 on）：%1")
                    .arg(where);
            break;
        case db::OpenFailure::ServerUnreachable:
            result.detail = QStringLiteral("无法连接数据库服务器：%1").arg(where);
            break;
        case db::OpenFailure::BadPassword:
            result.detail = QStringLiteral("数据库用户名或密码错误：%1").arg(where);
            break;
        case db::OpenFailure::NoSuchDatabase:
            result.detail = QStringLiteral("数据库不存在：%1").arg(where);
            break;
        case db::OpenFailure::BadSettings:
            result.detail = QStringLiteral("数据库设置有误：%1").arg(ctx.db.lastError());
            break;
        default:
            result.detail = QStringLiteral("%1：%2").arg(where, ctx.db.lastError());
            break;
        }
        return result;
    }
    QString message;
    switch (db::migrate(ctx.db, &message)) {
    case db::MigrateResult::Ok:
        result.ok = true;
        return result;
    case db::MigrateResult::TooNew:
    case db::MigrateResult::Failed:
        result.detail = message;
        ctx.db.close();
        return result;
    }
    return result;
}

} // namespace selvo
