// Backups: consistent copies made by the engine (the WAL included), private files, the daily copy
// and its 30-day window, the copy before a schema upgrade, and selvo-cli backup / restore, which
// refuses while a till has the database open and refuses files that are not sound shop databases.
#include "TableDump.h"
#include "TestShop.h"

#include "core/db/Backup.h"
#include "core/db/Schema.h"
#include "core/members/Topup.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace selvo;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));

struct Run {
    int code = -1;
    QString out;
};
Run run(const QString& program, const QStringList& args, const QProcessEnvironment& extra = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("SELVO_DATA_DIR"));
    for (const QString& key : extra.keys())
        env.insert(key, extra.value(key));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(300000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}
Run cli(const QStringList& args) {
    return run(QStringLiteral(SELVO_CLI_PATH), args);
}

int modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// Some of everything: members with their records, products, an order with its lines.
bool fill(test::TestShop& shop, const QString& name) {
    const int m = shop.addMember(name, QStringLiteral("138"), 0, 0);
    TopupPlan plan;
    plan.memberId = m;
    plan.amount = 50;
    test::OrderSpec o;
    o.orderNo = QStringLiteral("N") + QString::number(m);
    o.memberId = m;
    o.realTotalPrice = 9;
    o.lines = {{QStringLiteral("P") + QString::number(m), 1, 9}};
    return m > 0 && CommitTopup(shop.ctx, plan).ok &&
           shop.addProduct(QStringLiteral("P") + QString::number(m), name, 9, 3, 10) > 0 && shop.addOrder(o);
}

// The tables of a SQLite file, read through a connection of its own.
QMap<QString, QStringList> tablesOf(const QString& file) {
    AppContext ctx;
    db::ConnectionConfig c;
    c.sqliteFile = file;
    c.readOnly = true;
    if (!ctx.db.open(c))
        return {{QStringLiteral("cannot open"), {ctx.db.lastError()}}};
    return test::DumpTables(ctx);
}

QStringList filesIn(const QString& folder, const QString& pattern = QStringLiteral("*")) {
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
}
} // namespace

class TestBackup final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

private slots:
    void initTestCase() {
        Clock::setInstance(&m_clock);
        // The modes below must not come from a strict umask of the test run.
        ::umask(022);
    }
    void cleanupTestCase() { Clock::setInstance(nullptr); }
    void init() { m_clock.set(kNow); }

    void copyIsConsistentPrivateAndChecked() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        if (shop.isPostgres())
            QSKIP("a SQLite copy; the server's is pg_dump (postgresDumpAndRestore)");
        QVERIFY(fill(shop, QStringLiteral("甲")) && fill(shop, QStringLiteral("乙")));
        // What was just written still lies in the WAL: a copy of hydb.db alone would miss it.
        QVERIFY(QFileInfo(shop.dataFolder() + QStringLiteral("/hydb.db-wal")).size() > 0);

        const db::BackupResult r = db::BackupNow(shop.ctx.db);
        QVERIFY2(r.ok, qPrintable(r.message));
        const QString folder = shop.dataFolder() + QStringLiteral("/backup");
        QCOMPARE(QFileInfo(r.file).absolutePath(), folder);
        QVERIFY(QFileInfo(r.file).fileName().startsWith(QStringLiteral("hydb-20240305-143000")));
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(r.file), 0600);
        QCOMPARE(db::CheckDatabaseFile(r.file), QString());
        QCOMPARE(tablesOf(r.file), test::DumpTables(shop.ctx));
        QCOMPARE(filesIn(folder).size(), 1); // nothing half-made beside it

        // A second copy in the same second gets a name of its own; a named file is never overwritten.
        const db::BackupResult again = db::BackupNow(shop.ctx.db);
        QVERIFY(again.ok && again.file != r.file);
        const db::BackupResult onto = db::BackupNow(shop.ctx.db, r.file);
        QVERIFY(!onto.ok && onto.message.contains(QStringLiteral("文件已存在")));
        QCOMPARE(db::CheckDatabaseFile(r.file), QString());
    }

    void dailyCopyOncePerDayKeepingThirty() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        if (shop.isPostgres()) {
            // A server's backups are the server's business: nothing is written here.
            const db::BackupResult r = db::DailyBackup(shop.ctx.db, kNow.date());
            QVERIFY(r.ok && r.file.isEmpty());
            QVERIFY(!QFileInfo::exists(shop.dataFolder() + QStringLiteral("/backup")));
            return;
        }
        const QString folder = shop.dataFolder() + QStringLiteral("/backup");
        QVERIFY(db::BackupNow(shop.ctx.db).ok); // a copy on demand is no daily copy
        for (int day = 0; day < 33; ++day) {
            const QDate date = kNow.date().addDays(day);
            const db::BackupResult first = db::DailyBackup(shop.ctx.db, date);
            QVERIFY2(first.ok && !first.file.isEmpty(), qPrintable(first.message));
            QVERIFY(fill(shop, QStringLiteral("第%1天").arg(day)));
            // The next start of the same day leaves the morning's copy as it is.
            const db::BackupResult second = db::DailyBackup(shop.ctx.db, date);
            QVERIFY(second.ok && second.file.isEmpty());
        }
        const QStringList daily = filesIn(folder, QStringLiteral("hydb-daily-*"));
        QCOMPARE(daily.size(), db::kDailyBackupsKept);
        QCOMPARE(daily.constFirst(), QStringLiteral("hydb-daily-20240308.db"));
        QCOMPARE(daily.constLast(), QStringLiteral("hydb-daily-20240406.db"));
        QCOMPARE(filesIn(folder).size(), db::kDailyBackupsKept + 1);
        // Each holds the shop as it was that morning: the last one lacks that day's member.
        const QString last = folder + QLatin1Char('/') + daily.constLast();
        QCOMPARE(db::CheckDatabaseFile(last), QString());
        AppContext copy;
        db::ConnectionConfig c;
        c.sqliteFile = last;
        c.readOnly = true;
        QVERIFY(copy.db.open(c));
        QCOMPARE(copy.db.scalar(QStringLiteral("SELECT count(*) FROM tb_members"))->toInt(), 32);
    }

    void upgradeTakesACopyFirst() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        if (shop.isPostgres())
            QSKIP("the copy before an upgrade is of the SQLite file");
        QVERIFY(fill(shop, QStringLiteral("甲")));
        const int from = db::kSchemaVersion - 1;
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_SchemaVersion SET Version = ?"), {from}));
        const auto before = test::DumpTables(shop.ctx);

        // The copy cannot be made (a file where the folder should be): the schema stays as it was.
        const QString folder = shop.dataFolder() + QStringLiteral("/backup");
        {
            QFile blocker(folder);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        QString message;
        QCOMPARE(db::migrate(shop.ctx.db, &message), db::MigrateResult::Failed);
        QVERIFY2(message.contains(QStringLiteral("备份")), qPrintable(message));
        QCOMPARE(db::schemaVersion(shop.ctx.db), from);
        QVERIFY(QFile::remove(folder));

        QCOMPARE(db::migrate(shop.ctx.db, &message), db::MigrateResult::Ok);
        QCOMPARE(db::schemaVersion(shop.ctx.db), db::kSchemaVersion);
        const QStringList copies = filesIn(folder);
        QCOMPARE(copies, QStringList{QStringLiteral("hydb-before-upgrade-v%1-20240305-143000.db").arg(from)});
        QCOMPARE(tablesOf(folder + QLatin1Char('/') + copies[0]), before);
        // Up to date: the next start copies nothing.
        QCOMPARE(db::migrate(shop.ctx.db, &message), db::MigrateResult::Ok);
        QCOMPARE(filesIn(folder).size(), 1);
    }

    void cliBackupAndRestoreRoundTrip() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        if (shop.isPostgres()) {
            const Run restore = cli({QStringLiteral("restore"), QStringLiteral("--data"), shop.dataFolder(),
                                     shop.dataFolder() + QStringLiteral("/x.dump")});
            QCOMPARE(restore.code, 2);
            QVERIFY(restore.out.contains(QStringLiteral("pg_restore")));
            QSKIP("selvo-cli restore is for SQLite; a server is restored with pg_restore "
                  "(postgresDumpAndRestore)");
        }
        QVERIFY(fill(shop, QStringLiteral("甲")));
        const auto saved = test::DumpTables(shop.ctx);
        QTemporaryDir elsewhere;
        const QString file = elsewhere.filePath(QStringLiteral("shop.db"));
        const Run backup = cli({QStringLiteral("backup"), QStringLiteral("--data"), shop.dataFolder(), file});
        QVERIFY2(backup.code == 0, qPrintable(backup.out));
        QCOMPARE(backup.out.trimmed(), file);
        QCOMPARE(modeOf(file), 0600);
        QCOMPARE(tablesOf(file), saved);

        QVERIFY(fill(shop, QStringLiteral("乙")));
        const auto later = test::DumpTables(shop.ctx);
        const QStringList restoreArgs{QStringLiteral("restore"), QStringLiteral("--data"), shop.dataFolder(),
                                      file};

        // This process still has the database open, as a till would.
        Run refused = cli(restoreArgs);
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.out.contains(
                     QStringLiteral("数据库正被进程 %1 使用").arg(QCoreApplication::applicationPid())),
                 qPrintable(refused.out));
        const db::ConnectionConfig config = shop.ctx.db.config();
        shop.ctx.db.close();

        // Another till, in a process of its own.
        QProcess till;
        const QString log = elsewhere.filePath(QStringLiteral("till.log"));
        till.start(QStringLiteral(SELVO_CRASH_PATH),
                   {QStringLiteral("--data"), shop.dataFolder(), QStringLiteral("--log"), log,
                    QStringLiteral("--seed"), QStringLiteral("1"), QStringLiteral("--hold")});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(log).size() > 0, 30000);
        refused = cli(restoreArgs);
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.out.contains(QStringLiteral("数据库正被进程 %1 使用").arg(till.processId())),
                 qPrintable(refused.out));
        till.kill();
        QVERIFY(till.waitForFinished());
        QCOMPARE(tablesOf(config.sqliteFile), later);

        const Run restored = cli(restoreArgs);
        QVERIFY2(restored.code == 0, qPrintable(restored.out));
        QCOMPARE(tablesOf(config.sqliteFile), saved);
        QCOMPARE(cli({QStringLiteral("check"), QStringLiteral("--data"), shop.dataFolder()}).code, 0);
        // The database it replaced is kept, whole.
        const QString keptLine =
            restored.out.section(QStringLiteral("replaced database kept as "), 1).section(u'\n', 0, 0);
        QVERIFY2(QFileInfo(keptLine).fileName().startsWith(QStringLiteral("hydb-before-restore-")),
                 qPrintable(restored.out));
        QCOMPARE(tablesOf(keptLine), later);
        QCOMPARE(modeOf(keptLine), 0600);
        QVERIFY(shop.ctx.db.open(config));
        QCOMPARE(test::DumpTables(shop.ctx), saved);
    }

    void restoreRefusesWhatIsNoShopDatabase_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QStringLiteral("missing") << QStringLiteral("找不到文件");
        QTest::newRow("empty") << QStringLiteral("empty") << QStringLiteral("不是 SQLite 数据库文件");
        QTest::newRow("text") << QStringLiteral("text") << QStringLiteral("不是 SQLite 数据库文件");
        QTest::newRow("cut short") << QStringLiteral("truncated") << QStringLiteral("文件不能用于恢复");
        QTest::newRow("other program's database")
            << QStringLiteral("foreign") << QStringLiteral("不是本系统的数据库");
        QTest::newRow("newer program's database") << QStringLiteral("newer") << QStringLiteral("较新版本");
        QTest::newRow("the database itself") << QStringLiteral("itself") << QStringLiteral("自身");
    }
    void restoreRefusesWhatIsNoShopDatabase() {
        QFETCH(QString, kind);
        QFETCH(QString, reason);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        if (shop.isPostgres())
            QSKIP("selvo-cli restore is for SQLite");
        QVERIFY(fill(shop, QStringLiteral("甲")));
        QTemporaryDir elsewhere;
        QString file = elsewhere.filePath(QStringLiteral("offered.db"));
        const auto write = [&](const QByteArray& bytes) {
            QFile f(file);
            return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
        };
        if (kind == QLatin1String("empty")) {
            QVERIFY(write({}));
        } else if (kind == QLatin1String("text")) {
            QVERIFY(write("OrderNo,Balance\n1,100\n"));
        } else if (kind == QLatin1String("truncated") || kind == QLatin1String("newer")) {
            QVERIFY(db::BackupNow(shop.ctx.db, file).ok);
            if (kind == QLatin1String("newer")) {
                AppContext other;
                db::ConnectionConfig c;
                c.sqliteFile = file;
                QVERIFY(other.db.open(c));
                QVERIFY(other.db.exec(QStringLiteral("UPDATE tb_SchemaVersion SET Version = 99")));
            } else {
                QFile f(file);
                QVERIFY(f.resize(f.size() / 2));
            }
        } else if (kind == QLatin1String("foreign")) {
            AppContext other;
            db::ConnectionConfig c;
            c.sqliteFile = file;
            QVERIFY(other.db.open(c));
            QVERIFY(other.db.exec(QStringLiteral("CREATE TABLE notes(x)")));
        } else if (kind == QLatin1String("itself")) {
            file = shop.ctx.db.config().sqliteFile;
        }
        const db::ConnectionConfig config = shop.ctx.db.config();
        const auto before = test::DumpTables(shop.ctx);
        shop.ctx.db.close();
        const Run r = cli({QStringLiteral("restore"), QStringLiteral("--data"), shop.dataFolder(), file});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.out.contains(reason), qPrintable(r.out));
        QCOMPARE(tablesOf(config.sqliteFile), before);
        // Nothing half-made is left in the backup folder.
        QCOMPARE(filesIn(shop.dataFolder() + QStringLiteral("/backup"), QStringLiteral("hydb-restoring-*")),
                 QStringList());
    }

    void postgresDumpAndRestore() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        if (!shop.isPostgres())
            QSKIP("pg_dump is for a server");
        if (QStandardPaths::findExecutable(QStringLiteral("pg_dump")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("pg_restore")).isEmpty())
            QSKIP("pg_dump and pg_restore are not installed (Debian: postgresql-client; ./dev installs it)");
        QVERIFY(fill(shop, QStringLiteral("甲")));
        const auto saved = test::DumpTables(shop.ctx);
        const Run backup = cli({QStringLiteral("backup"), QStringLiteral("--data"), shop.dataFolder()});
        QVERIFY2(backup.code == 0, qPrintable(backup.out));
        const QString file = backup.out.trimmed();
        QCOMPARE(QFileInfo(file).absolutePath(), shop.dataFolder() + QStringLiteral("/backup"));
        QVERIFY(file.endsWith(QStringLiteral(".dump")));
        QCOMPARE(modeOf(file), 0600);
        QVERIFY(!backup.out.contains(shop.ctx.db.config().password) ||
                shop.ctx.db.config().password.isEmpty());

        QVERIFY(fill(shop, QStringLiteral("乙")));
        QVERIFY(test::DumpTables(shop.ctx) != saved);
        const db::ConnectionConfig c = shop.ctx.db.config();
        shop.ctx.db.close();
        // The README's restore command, tills stopped.
        QProcessEnvironment env;
        env.insert(QStringLiteral("PGPASSWORD"), c.password);
        QStringList args{QStringLiteral("--clean"),
                         QStringLiteral("--if-exists"),
                         QStringLiteral("--no-owner"),
                         QStringLiteral("--single-transaction"),
                         QStringLiteral("--port=%1").arg(c.port),
                         QStringLiteral("--username=") + c.user,
                         QStringLiteral("--dbname=") + c.name};
        if (!c.host.isEmpty())
            args << QStringLiteral("--host=") + c.host;
        args << file;
        const Run restore = run(QStandardPaths::findExecutable(QStringLiteral("pg_restore")), args, env);
        QVERIFY2(restore.code == 0, qPrintable(restore.out));
        QVERIFY(shop.ctx.db.open(c));
        QCOMPARE(test::DumpTables(shop.ctx), saved);
        QCOMPARE(cli({QStringLiteral("check"), QStringLiteral("--data"), shop.dataFolder()}).code, 0);
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
