// selvo-cli: the shop's core without a window, for set-up, maintenance and scripted checks.
#include "core/db/Schema.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

#include <functional>
#include <map>

using namespace selvo;

namespace {

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}
QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

const QStringList kTables = {
    QStringLiteral("tb_manager"),       QStringLiteral("tb_members"),
    QStringLiteral("tb_product"),       QStringLiteral("tb_productTypes"),
    QStringLiteral("tb_Units"),         QStringLiteral("tb_orders"),
    QStringLiteral("tb_order_lines"),   QStringLiteral("tb_TopupRecord"),
    QStringLiteral("tb_OpRecord"),      QStringLiteral("tb_prdnum_record"),
    QStringLiteral("tb_StorageIn_His"), QStringLiteral("tb_StorageIn_His_details"),
    QStringLiteral("tb_StoreInfo"),
};

// Takes "--data DIR" out of the arguments; the rest stay in order.
QString takeDataFolder(QStringList& args) {
    QString folder;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--data") && i + 1 < args.size()) {
            folder = args[i + 1];
            args.remove(i, 2);
            break;
        }
        if (args[i].startsWith(QLatin1String("--data="))) {
            folder = args[i].mid(7);
            args.remove(i);
            break;
        }
    }
    if (!folder.isEmpty()) {
        QDir().mkpath(folder);
        return QDir(folder).absolutePath();
    }
    return ResolveDataFolder(QCoreApplication::applicationDirPath());
}

QString where(const db::ConnectionConfig& c) {
    if (c.engine == db::Engine::Sqlite)
        return QDir::toNativeSeparators(c.sqliteFile);
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(c.user, c.host).arg(c.port).arg(c.name);
}

int cmdInit(QStringList args) {
    const QString folder = takeDataFolder(args);
    AppContext ctx;
    const OpenResult r = OpenDatabase(ctx, folder);
    if (!r.ok) {
        err() << "打开数据库失败！ " << r.detail << Qt::endl;
        return 1;
    }
    out() << where(ctx.db.config()) << Qt::endl;
    return 0;
}

int cmdCheck(QStringList args) {
    const QString folder = takeDataFolder(args);
    db::ConnectionConfig config = ConnectionConfigFor(folder);
    config.readOnly = true;
    db::Database database;
    out() << "database: " << where(config) << Qt::endl;
    if (!database.open(config)) {
        err() << "cannot open: " << database.lastError() << Qt::endl;
        return 1;
    }
    int problems = 0;
    const int version = db::schemaVersion(database);
    out() << "schema version: " << version << " (this program: " << db::kSchemaVersion << ")" << Qt::endl;
    if (version != db::kSchemaVersion) {
        err() << (version > db::kSchemaVersion ? "database is newer than this program"
                                               : "database needs an upgrade (run: selvo-cli init)")
              << Qt::endl;
        ++problems;
    }
    if (database.engine() == db::Engine::Sqlite) {
        auto q = database.select(QStringLiteral("PRAGMA integrity_check"));
        QStringList lines;
        while (q && q->next())
            lines << q->value(0).toString();
        const bool ok = q && lines == QStringList{QStringLiteral("ok")};
        out() << "integrity: " << (ok ? QStringLiteral("ok") : lines.join(QLatin1String("; "))) << Qt::endl;
        if (!ok)
            ++problems;
    }
    for (const QString& table : kTables) {
        auto n = database.scalar(QStringLiteral("SELECT count(*) FROM ") + table);
        if (!n) {
            err() << table << ": unreadable" << Qt::endl;
            ++problems;
            continue;
        }
        out() << table << ": " << n->toLongLong() << Qt::endl;
    }
    for (const QString& single : {QStringLiteral("tb_StoreInfo"), QStringLiteral("tb_Units")}) {
        auto n = database.scalar(QStringLiteral("SELECT count(*) FROM ") + single);
        if (n && n->toLongLong() < 1) {
            err() << single << ": the settings row is missing" << Qt::endl;
            ++problems;
        }
    }
    out() << (problems ? QStringLiteral("problems: %1").arg(problems) : QStringLiteral("ok")) << Qt::endl;
    return problems ? 1 : 0;
}

int usage() {
    err() << "usage: selvo-cli init [--data DIR]\n"
             "       selvo-cli check [--data DIR]\n";
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("selvo"));
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    const std::map<QString, std::function<int(QStringList)>> commands = {
        {QStringLiteral("init"), cmdInit},
        {QStringLiteral("check"), cmdCheck},
    };
    const auto it = commands.find(command);
    if (it == commands.end())
        return usage();
    return it->second(args);
}
