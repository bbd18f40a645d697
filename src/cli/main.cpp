// selvo-cli: the shop's core without a window, for set-up, maintenance and scripted checks.
#include "core/db/Backup.h"
#include "core/db/DaySums.h"
#include "core/db/Schema.h"
#include "core/members/MemberPicker.h"
#include "core/products/ProductPicker.h"
#include "core/sales/Ledger.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"
#include "core/support/Pinyin.h"
#include "core/support/SpreadSheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTextStream>

#include <functional>
#include <map>
#include <optional>

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

// Takes "--data DIR" out of the arguments; the rest stay in order. Without it, the folder the
// program itself would use. `create`: a missing folder is made (mode 0700), else it is an error.
// An empty or missing DIR is an error: it would silently mean the program's own folder.
std::optional<QString> takeDataFolder(QStringList& args, bool create) {
    std::optional<QString> folder;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--data")) {
            folder = i + 1 < args.size() ? args[i + 1] : QString();
            args.remove(i, i + 1 < args.size() ? 2 : 1);
            break;
        }
        if (args[i].startsWith(QLatin1String("--data="))) {
            folder = args[i].mid(7);
            args.remove(i);
            break;
        }
    }
    if (!folder)
        folder = ResolveDataFolder(QCoreApplication::applicationDirPath(), create);
    else if (folder->trimmed().isEmpty()) {
        err() << "--data needs a folder" << Qt::endl;
        return std::nullopt;
    }
    const QString path = QDir(*folder).absolutePath();
    if (!QFileInfo(path).isDir()) {
        if (!create || !MakePrivateFolder(path)) {
            err() << (create ? "cannot make the data folder: " : "no such data folder: ")
                  << QDir::toNativeSeparators(path) << Qt::endl;
            return std::nullopt;
        }
    }
    return path;
}

QString where(const db::ConnectionConfig& c) {
    return DatabaseLocation(c);
}

int cmdInit(QStringList args) {
    const auto folder = takeDataFolder(args, true);
    if (!folder)
        return 2;
    AppContext ctx;
    const OpenResult r = OpenDatabase(ctx, *folder, NewShop::Allowed);
    if (!r.ok) {
        err() << "打开数据库失败！ " << r.detail << Qt::endl;
        return 1;
    }
    out() << where(ctx.db.config()) << Qt::endl;
    return 0;
}

int cmdCheck(QStringList args) {
    const auto folder = takeDataFolder(args, false);
    if (!folder)
        return 2;
    db::ConnectionConfig config = ConnectionConfigFor(*folder);
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
    // Both engines: every table and column of the schema; PostgreSQL also its identities and indexes.
    const QStringList schemaProblems = db::CheckSchema(database);
    out() << "tables: "
          << (schemaProblems.isEmpty() ? QStringLiteral("ok") : schemaProblems.join(QLatin1String("; ")))
          << Qt::endl;
    problems += int(schemaProblems.size());
    const QStringList sumProblems = db::CheckDaySums(database);
    out() << "day sums: "
          << (sumProblems.isEmpty() ? QStringLiteral("ok") : sumProblems.join(QLatin1String("; ")))
          << Qt::endl;
    problems += int(sumProblems.size());
    // The money adds up: balances against their records, orders against their lines.
    const QStringList ledgerProblems = CheckLedger(database);
    if (ledgerProblems.isEmpty())
        out() << "ledger: ok" << Qt::endl;
    for (const QString& p : ledgerProblems)
        out() << "ledger: " << p << Qt::endl;
    problems += int(ledgerProblems.size());
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

// backup [--data DIR] [FILE]: a consistent copy of the database now (pg_dump on a server).
int cmdBackup(QStringList args) {
    const auto folder = takeDataFolder(args, false);
    if (!folder)
        return 2;
    if (args.size() > 1) {
        err() << "usage: selvo-cli backup [--data DIR] [FILE]" << Qt::endl;
        return 2;
    }
    db::ConnectionConfig config = ConnectionConfigFor(*folder);
    // The copy only reads: a database that is not there is not made.
    config.readOnly = true;
    db::Database database;
    if (!database.open(config)) {
        err() << "cannot open " << where(config) << ": " << database.lastError() << Qt::endl;
        return 1;
    }
    const db::BackupResult r = db::BackupNow(database, args.value(0));
    if (!r.ok) {
        err() << r.message << Qt::endl;
        return 1;
    }
    out() << QDir::toNativeSeparators(r.file) << Qt::endl;
    return 0;
}

// restore [--data DIR] FILE: the SQLite database replaced by FILE while no till has it open.
int cmdRestore(QStringList args) {
    const auto folder = takeDataFolder(args, false);
    if (!folder)
        return 2;
    if (args.size() != 1) {
        err() << "usage: selvo-cli restore [--data DIR] FILE" << Qt::endl;
        return 2;
    }
    const db::ConnectionConfig config = ConnectionConfigFor(*folder);
    if (config.engine != db::Engine::Sqlite) {
        err() << "the database is on a PostgreSQL server: restore a pg_dump file with pg_restore "
                 "(see README, \"Backups\")"
              << Qt::endl;
        return 2;
    }
    const db::RestoreResult r = db::RestoreSqlite(config.sqliteFile, args[0]);
    if (!r.keptAs.isEmpty())
        out() << "replaced database kept as " << QDir::toNativeSeparators(r.keptAs) << Qt::endl;
    if (!r.ok) {
        err() << r.message << Qt::endl;
        return 1;
    }
    out() << r.message << Qt::endl;
    return 0;
}

// initials TEXT...: the pinyin initials of a name (several arguments are one name with spaces).
int cmdInitials(QStringList args) {
    if (args.isEmpty()) {
        err() << "usage: selvo-cli initials TEXT" << Qt::endl;
        return 2;
    }
    out() << GetFirstSpell(args.join(u' ')) << Qt::endl;
    return 0;
}

// A cell on one output line: tabs, line breaks and backslashes written as escapes.
QString escapedCell(QString cell) {
    cell.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
    cell.replace(QStringLiteral("\t"), QStringLiteral("\\t"));
    cell.replace(QStringLiteral("\n"), QStringLiteral("\\n"));
    cell.replace(QStringLiteral("\r"), QStringLiteral("\\r"));
    return cell;
}

// read-sheet FILE [SHEET]: total rows and columns, then each row's cells separated by tabs.
int cmdReadSheet(QStringList args) {
    if (args.isEmpty() || args.size() > 2) {
        err() << "usage: selvo-cli read-sheet FILE [SHEET]" << Qt::endl;
        return 2;
    }
    const QString file = args[0];
    const bool workbook = CSpreadSheet::IsWorkbookPath(file);
    const QString sheetOrSeparator =
        args.size() > 1 ? args[1] : (workbook ? QStringLiteral("产品导入模板") : QStringLiteral(","));
    CSpreadSheet sheet(file, sheetOrSeparator);
    out() << "rows: " << sheet.totalRows() << Qt::endl;
    out() << "columns: " << sheet.totalColumns() << Qt::endl;
    QStringList texts;
    while (sheet.ReadRow(0, texts)) {
        QStringList cells;
        for (const QString& cell : std::as_const(texts))
            cells << escapedCell(cell);
        out() << cells.join(u'\t') << Qt::endl;
    }
    const QString error = sheet.lastError().trimmed();
    if (sheet.totalRows() == 0) {
        err() << (error.isEmpty() ? QStringLiteral("nothing to read") : error) << Qt::endl;
        return 1;
    }
    if (!error.isEmpty()) {
        err() << error << Qt::endl; // only part of the sheet could be read
        return 1;
    }
    return 0;
}

// find-member / find-product [--data DIR] [--time] TEXT...: the rows the member picker or the
// product picker lists for TEXT, one per line, tab-separated, in the picker's order; with --time,
// the search's own time in milliseconds on a last line.
int cmdFind(QStringList args, bool members) {
    const auto folder = takeDataFolder(args, false);
    if (!folder)
        return 2;
    const bool timed = args.removeAll(QStringLiteral("--time")) > 0;
    db::ConnectionConfig config = ConnectionConfigFor(*folder);
    config.readOnly = true;
    config.createIfMissing = false;
    AppContext ctx;
    if (!ctx.db.open(config)) {
        err() << "cannot open " << where(config) << ": " << ctx.db.lastError() << Qt::endl;
        return 1;
    }
    if (db::schemaVersion(ctx.db) != db::kSchemaVersion) {
        err() << "the database is not at this program's schema version (run: selvo-cli init)" << Qt::endl;
        return 1;
    }
    const QString text = args.join(u' ');
    ctx.db.clearLastError();
    QStringList lines;
    QElapsedTimer clock;
    clock.start();
    if (members) {
        for (const PickerItem& item : PickerMembers(ctx, text))
            lines << QString::number(item.id) + u'\t' + escapedCell(item.text);
    } else {
        for (const PickerRow& r : PickerRows(ctx, text))
            lines << QStringList{QString::number(r.id), escapedCell(r.code), escapedCell(r.name), r.price,
                                 escapedCell(r.unit)}
                         .join(u'\t');
    }
    const qint64 ns = clock.nsecsElapsed();
    if (!ctx.db.lastError().isEmpty()) {
        err() << "the search failed: " << ctx.db.lastError() << Qt::endl;
        return 1;
    }
    for (const QString& line : std::as_const(lines))
        out() << line << Qt::endl;
    if (timed)
        out() << QString::number(double(ns) / 1e6, 'f', 3) << " ms" << Qt::endl;
    return 0;
}

int usage() {
    err() << "usage: selvo-cli init [--data DIR]\n"
             "       selvo-cli check [--data DIR]\n"
             "       selvo-cli backup [--data DIR] [FILE]\n"
             "       selvo-cli restore [--data DIR] FILE\n"
             "       selvo-cli find-member [--data DIR] [--time] TEXT\n"
             "       selvo-cli find-product [--data DIR] [--time] TEXT\n"
             "       selvo-cli initials TEXT\n"
             "       selvo-cli read-sheet FILE [SHEET]\n"
             "           SHEET: the worksheet of an .xls or .xlsx workbook (default 产品导入模板)\n"
             "           or the separator of a text file (default \",\")\n";
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    KeepNewFilesPrivate();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("selvo"));
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString command = args.takeFirst();
    const std::map<QString, std::function<int(QStringList)>> commands = {
        {QStringLiteral("init"), cmdInit},
        {QStringLiteral("check"), cmdCheck},
        {QStringLiteral("backup"), cmdBackup},
        {QStringLiteral("restore"), cmdRestore},
        {QStringLiteral("initials"), cmdInitials},
        {QStringLiteral("read-sheet"), cmdReadSheet},
        {QStringLiteral("find-member"),
         [](QStringList a) {
             return cmdFind(std::move(a), true);
         }},
        {QStringLiteral("find-product"),
         [](QStringList a) {
             return cmdFind(std::move(a), false);
         }},
    };
    const auto it = commands.find(command);
    if (it == commands.end())
        return usage();
    return it->second(args);
}
