// Importing a catalogue of 10,000 products into a shop that already has 5,000: the import in
// batches of 200 rows per transaction (as the product page runs it, with the longest batch: how
// long the window waits at most), next to one transaction per row, on SQLite and PostgreSQL.
// Also the time to read a 3,000-row .xls workbook.
//
//   SELVO_BENCH_PG=conninfo    also on PostgreSQL (SELVO_TEST_PG serves as well)
//   SELVO_BENCH_ROWS=n         rows to import (default 10000)
#include "BenchServer.h"

#include "core/products/ProductImport.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"
#include "core/support/SpreadSheet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <optional>

using namespace selvo;

namespace {

constexpr int kCategories = 20;
constexpr int kExisting = 5000;
const QString kPgDatabase = QStringLiteral("selvo_bench_import");

bool fill(AppContext& ctx) {
    if (!ctx.db.begin())
        return false;
    for (int c = 0; c < kCategories; ++c)
        ctx.db.exec(QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) VALUES(?, 0)"),
                    {QStringLiteral("类别%1").arg(c)});
    const QVariant first = ctx.db.scalar(QStringLiteral("SELECT min(ID) FROM tb_productTypes")).value_or(1);
    for (int i = 0; i < kExisting; ++i)
        ctx.db.exec(
            QStringLiteral(
                "INSERT INTO tb_product(PrdCode, PrdName, FirstSpell, Price, PurchasePrice, PrdType, "
                "MeasuringUnit, MustIntNum, PrdInventory, State, PrdProperty) "
                "VALUES(?, ?, 'YY', 2, 1, ?, '个', 1, 5, 1, 1)"),
            {QString::number(2000000 + i), QStringLiteral("原有%1").arg(i), first.toInt() + i % kCategories});
    return ctx.db.commit();
}

// A filled-in template as a text file (the reader splits it like a sheet).
QString writeSheet(const QTemporaryDir& dir, const QString& prefix, int rows) {
    const QString path = dir.filePath(prefix + QStringLiteral(".csv"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    QByteArray text = "产品名称,产品类别,采购价,零售价,计量单位,整数销售,产品性质,初始库存\n";
    for (int i = 0; i < rows; ++i)
        text += QStringLiteral("%1%2,类别%3,%4,%5,个,%6,%7,%8\n")
                    .arg(prefix)
                    .arg(i, 5, 10, QLatin1Char('0'))
                    .arg(i % kCategories)
                    .arg(1 + i % 9)
                    .arg(2.5 + i % 9)
                    .arg(i % 3 ? QStringLiteral("是") : QStringLiteral("否"))
                    .arg(i % 10 ? QStringLiteral("常规") : QStringLiteral("特价"))
                    .arg(i % 50)
                    .toUtf8();
    f.write(text);
    return path;
}

bool openShop(AppContext& ctx, const std::optional<db::ConnectionConfig>& pg, const QTemporaryDir& dir) {
    if (pg) {
        db::Database admin;
        if (!admin.open(*pg)) {
            std::fprintf(stderr, "cannot reach the server: %s\n", qPrintable(admin.lastError()));
            return false;
        }
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(kPgDatabase));
        if (!admin.exec(QStringLiteral("CREATE DATABASE %1").arg(kPgDatabase))) {
            std::fprintf(stderr, "cannot create the database: %s\n", qPrintable(admin.lastError()));
            return false;
        }
        QSettings conf(QDir(dir.path()).filePath(QStringLiteral("selvo.conf")), QSettings::IniFormat);
        conf.beginGroup(QStringLiteral("Database"));
        conf.setValue(QStringLiteral("driver"), QStringLiteral("postgres"));
        conf.setValue(QStringLiteral("host"), pg->host);
        conf.setValue(QStringLiteral("port"), pg->port);
        conf.setValue(QStringLiteral("name"), kPgDatabase);
        conf.setValue(QStringLiteral("user"), pg->user);
        conf.setValue(QStringLiteral("password"), pg->password);
        conf.setValue(QStringLiteral("sslmode"), pg->sslmode);
        conf.endGroup();
        conf.sync();
    }
    const OpenResult opened = OpenDatabase(ctx, dir.path());
    if (!opened.ok) {
        std::fprintf(stderr, "cannot open the shop: %s\n", qPrintable(opened.detail));
        return false;
    }
    ctx.op.id = 1;
    ctx.op.role = 0;
    return fill(ctx);
}

struct Figures {
    double seconds = 0;
    double longestBatchMs = 0;
    ImportCounters counters;
};

std::optional<Figures> run(const std::optional<db::ConnectionConfig>& pg, int rows, int batchRows) {
    QTemporaryDir dir;
    std::optional<Figures> figures;
    {
        AppContext ctx;
        if (!openShop(ctx, pg, dir))
            return std::nullopt;
        CSpreadSheet sheet(writeSheet(dir, QStringLiteral("导入"), rows), QStringLiteral(","));
        ProductImport import(ctx, sheet);
        if (!import.refusal().isEmpty()) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(import.refusal()));
            return std::nullopt;
        }
        Figures f;
        QElapsedTimer total;
        total.start();
        while (!import.atEnd()) {
            QElapsedTimer batch;
            batch.start();
            import.importBatch(batchRows);
            f.longestBatchMs = std::max(f.longestBatchMs, batch.nsecsElapsed() / 1e6);
        }
        f.seconds = total.nsecsElapsed() / 1e9;
        f.counters = import.counters();
        figures = f;
    }
    if (pg) {
        db::Database admin;
        if (admin.open(*pg))
            admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(kPgDatabase));
    }
    return figures;
}

bool runEngine(const std::optional<db::ConnectionConfig>& pg, int rows) {
    std::printf("\n%s: %d rows into a shop of %d products\n", pg ? "PostgreSQL" : "SQLite", rows, kExisting);
    std::printf("%-36s %10s %12s %16s %10s\n", "", "seconds", "rows/s", "longest batch ms", "imported");
    struct Way {
        const char* name;
        int batch;
    };
    for (const Way way :
         {Way{"batches of 200 rows", ProductImport::kBatchRows}, Way{"one transaction per row", 1}}) {
        const std::optional<Figures> f = run(pg, rows, way.batch);
        if (!f)
            return false;
        std::printf("%-36s %10.2f %12.0f %16.1f %10d\n", way.name, f->seconds, rows / f->seconds,
                    f->longestBatchMs, f->counters.imported);
        std::fflush(stdout);
        if (f->counters.imported != rows) {
            std::fprintf(stderr, "%s: %s\n", way.name, qPrintable(ImportSummaryText(f->counters)));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rows = qEnvironmentVariableIsSet("SELVO_BENCH_ROWS")
                         ? qEnvironmentVariableIntValue("SELVO_BENCH_ROWS")
                         : 10000;
    const QString workbook =
        QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../tests/data/import-many.xls"));
    if (QFileInfo::exists(workbook)) {
        QElapsedTimer t;
        t.start();
        CSpreadSheet sheet(workbook, ImportSheetName());
        std::printf("reading a %d-row .xls workbook: %.0f ms\n", sheet.totalRows(), t.nsecsElapsed() / 1e6);
    }
    bool ok = runEngine(std::nullopt, rows);
    std::optional<db::ConnectionConfig> pg;
    if (!bench::BenchServer(pg))
        return 1;
    if (pg) {
        ok = runEngine(pg, rows) && ok;
    }
    return ok ? 0 : 1;
}
