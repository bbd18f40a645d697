// From starting the program to a usable login window, with a million-row shop, next to the same
// start on a new, empty shop in the same run. The program runs offscreen as a shop runs it; its
// message boxes go to a log, where it also notes when the login window shows.
//
//   SELVO_BENCH_SHOP=DIR      the shop's data folder (default: the one bench_search builds and
//                             keeps, /tmp/selvo-bench-search-1000000-1000000)
//   SELVO_BENCH_PG=conninfo   also on PostgreSQL, with the database bench_search keeps there
//                             (SELVO_TEST_PG serves as well)
//   SELVO_BENCH_RUNS=n        starts per shop (default 7)
#include "BenchServer.h"

#include "core/db/Database.h"
#include "core/store/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

using namespace selvo;

namespace {

// One start: milliseconds until the login window shows; negative when it never did.
double startOnce(const QString& dataFolder) {
    QTemporaryDir logDir;
    const QString log = logDir.filePath(QStringLiteral("messages.log"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("SELVO_DATA_DIR"), dataFolder);
    env.insert(QStringLiteral("SELVO_MESSAGE_LOG"), log);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.setProgram(QStringLiteral(SELVO_GUI_PATH));
    QElapsedTimer t;
    t.start();
    p.start();
    double ms = -1;
    while (t.elapsed() < 30000) {
        QFile f(log);
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains("trace\tlogin-shown")) {
            ms = t.nsecsElapsed() / 1e6;
            break;
        }
        if (p.state() == QProcess::NotRunning)
            break;
        QThread::usleep(500);
    }
    if (ms < 0) {
        QFile f(log);
        const QByteArray said = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        std::fprintf(stderr, "no login window; the program said:\n%s%s\n", said.constData(),
                     p.readAllStandardError().constData());
    }
    p.kill();
    p.waitForFinished(10000);
    return ms;
}

void measure(const char* label, const QString& folder, int runs) {
    QList<double> ms;
    startOnce(folder); // the first start of a shop may make its day's copy; not a start of the day
    for (int i = 0; i < runs; ++i) {
        const double one = startOnce(folder);
        if (one < 0)
            return;
        ms << one;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("  %-44s median %7.1f ms   max %7.1f ms\n", label, ms[ms.size() / 2], ms.last());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = std::max(1, qEnvironmentVariableIntValue("SELVO_BENCH_RUNS") > 0
                                     ? qEnvironmentVariableIntValue("SELVO_BENCH_RUNS")
                                     : 7);
    QString shop = qEnvironmentVariable("SELVO_BENCH_SHOP");
    if (shop.isEmpty())
        shop = QStringLiteral("/tmp/selvo-bench-search-1000000-1000000");
    if (!QFile::exists(QDir(shop).filePath(QStringLiteral("hydb.db")))) {
        std::fprintf(stderr, "no shop in %s: run bench_search first (it builds and keeps it)\n",
                     qPrintable(shop));
        return 1;
    }
    QTemporaryDir empty;
    std::printf("start to a usable login window (%d starts each):\n", runs);
    measure("SQLite, a new empty shop", empty.path(), runs);
    measure("SQLite, 1,000,000 members and products", shop, runs);

    std::optional<db::ConnectionConfig> server;
    if (!bench::BenchServer(server))
        return 1;
    if (!server)
        return 0;
    const db::ConnectionConfig& pg = *server;
    QTemporaryDir emptyPg, bigPg;
    // A new database for the empty shop; the program's first start makes its tables.
    const QString emptyName =
        QStringLiteral("selvo_bench_startup_empty_%1").arg(QCoreApplication::applicationPid());
    db::Database admin;
    if (!admin.open(pg) || !admin.exec(QStringLiteral("CREATE DATABASE %1").arg(emptyName))) {
        std::fprintf(stderr, "cannot make a database on the server: %s\n", qPrintable(admin.lastError()));
        return 1;
    }
    if (!WriteServerConf(emptyPg.path(), pg, emptyName) ||
        !WriteServerConf(bigPg.path(), pg, QStringLiteral("selvo_bench_search_1000000_1000000"))) {
        std::fprintf(stderr, "cannot write the server settings\n");
        return 1;
    }
    measure("PostgreSQL, a new empty shop", emptyPg.path(), runs);
    measure("PostgreSQL, 1,000,000 members and products", bigPg.path(), runs);
    admin.exec(QStringLiteral("DROP DATABASE %1").arg(emptyName));
    return 0;
}
