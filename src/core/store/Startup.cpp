#include "core/store/Startup.h"

#include "core/db/Schema.h"
#include "core/store/AppContext.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace selvo {

namespace {
QString usable(const QString& folder) {
    if (folder.trimmed().isEmpty())
        return {};
    QDir dir(folder);
    if (!dir.exists() && !QDir().mkpath(folder))
        return {};
    return QDir::cleanPath(dir.absolutePath());
}
} // namespace

QString ResolveDataFolder(const QString& executableFolder) {
    if (const QString env = qEnvironmentVariable("SELVO_DATA_DIR"); !env.isEmpty())
        return usable(env).isEmpty() ? QDir::cleanPath(env) : usable(env);
    const QSettings system(QSettings::SystemScope, QStringLiteral("SELVO"));
    if (const QString path = usable(system.value(QStringLiteral("DATAPATH")).toString()); !path.isEmpty())
        return path;
    if (!executableFolder.isEmpty() && QFileInfo(executableFolder).isWritable())
        return QDir::cleanPath(executableFolder);
    QString perUser = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (perUser.isEmpty())
        perUser = QDir::homePath() + QStringLiteral("/.local/share");
    return usable(perUser + QStringLiteral("/selvo"));
}

db::ConnectionConfig ConnectionConfigFor(const QString& dataFolder) {
    db::ConnectionConfig config;
    config.sqliteFile = QDir(dataFolder).filePath(QStringLiteral("hydb.db"));
    const QString confFile = QDir(dataFolder).filePath(QStringLiteral("selvo.conf"));
    QString driver;
    if (QFileInfo::exists(confFile)) {
        QSettings conf(confFile, QSettings::IniFormat);
        conf.beginGroup(QStringLiteral("Database"));
        driver =
            conf.value(QStringLiteral("driver"), QStringLiteral("sqlite")).toString().trimmed().toLower();
        config.host = conf.value(QStringLiteral("host")).toString();
        config.port = conf.value(QStringLiteral("port"), 5432).toInt();
        config.name = conf.value(QStringLiteral("name")).toString();
        config.user = conf.value(QStringLiteral("user")).toString();
        config.password = conf.value(QStringLiteral("password")).toString();
        config.sslmode = conf.value(QStringLiteral("sslmode")).toString();
    }
    if (driver == QLatin1String("postgres") || driver == QLatin1String("postgresql") ||
        driver == QLatin1String("psql"))
        config.engine = db::Engine::Postgres;
    return config;
}

OpenResult OpenDatabase(AppContext& ctx, const QString& dataFolder) {
    OpenResult result;
    const db::ConnectionConfig config = ConnectionConfigFor(dataFolder);
    if (!ctx.db.open(config)) {
        const QString where = config.engine == db::Engine::Sqlite ? config.sqliteFile
                                                                  : QStringLiteral("%1@%2:%3/%4")
                                                                        .arg(config.user, config.host)
                                                                        .arg(config.port)
                                                                        .arg(config.name);
        switch (ctx.db.openFailure()) {
        case db::OpenFailure::NotADatabase:
            result.detail = QStringLiteral("文件不是有效的数据库：%1").arg(where);
            break;
        case db::OpenFailure::CannotCreate:
            result.detail = QStringLiteral("无法创建或写入数据库文件：%1").arg(where);
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
