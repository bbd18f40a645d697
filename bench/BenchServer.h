#pragma once

// The PostgreSQL server the benchmarks run on besides SQLite, and the shops they keep there.

#include "core/db/ConnectionString.h"
#include "core/db/Database.h"
#include "core/store/Startup.h"

#include <QString>

#include <cstdio>
#include <optional>

namespace selvo::bench {

// SELVO_BENCH_PG, else SELVO_TEST_PG (a libpq connection string). `pg` stays empty when neither
// is set, which is said on stdout; false (said on stderr) when one is set but not usable.
inline bool BenchServer(std::optional<db::ConnectionConfig>& pg) {
    pg.reset();
    QString text = qEnvironmentVariable("SELVO_BENCH_PG");
    if (text.trimmed().isEmpty())
        text = qEnvironmentVariable("SELVO_TEST_PG");
    if (text.trimmed().isEmpty()) {
        std::printf("\n(no PostgreSQL: set SELVO_BENCH_PG to a libpq connection string)\n");
        return true;
    }
    db::ConnectionConfig config;
    if (!db::ParsePgConnectionString(text, config)) {
        std::fprintf(stderr, "not a usable connection string: SELVO_BENCH_PG\n");
        return false;
    }
    pg = config;
    return true;
}

// A shop kept on the server from one run to the next: its database `name`, made when missing,
// and the settings that open it written into `dataFolder`.
inline bool KeptServerShop(const db::ConnectionConfig& pg, const QString& name, const QString& dataFolder) {
    db::Database admin;
    if (!admin.open(pg)) {
        std::fprintf(stderr, "cannot reach the server: %s\n", qPrintable(admin.lastError()));
        return false;
    }
    const auto there =
        admin.scalar(QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = ?"), {name});
    if (!there || (there->toInt() == 0 && !admin.exec(QStringLiteral("CREATE DATABASE %1").arg(name)))) {
        std::fprintf(stderr, "cannot make the database %s: %s\n", qPrintable(name),
                     qPrintable(admin.lastError()));
        return false;
    }
    return WriteServerConf(dataFolder, pg, name);
}

} // namespace selvo::bench
