#include "core/db/Database.h"
#include "core/db/Schema.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestCli final : public QObject {
    Q_OBJECT

    struct Run {
        int code = -1;
        QString out;
        QString err;
    };
    static Run cli(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("SELVO_DATA_DIR"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SELVO_CLI_PATH), args);
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

private slots:
    void initThenCheck() {
        QTemporaryDir dir;
        const Run init = cli({QStringLiteral("init"), QStringLiteral("--data"), dir.path()});
        QCOMPARE(init.code, 0);
        QCOMPARE(init.out.trimmed(), dir.filePath(QStringLiteral("hydb.db")));
        // A second init upgrades nothing and still succeeds.
        QCOMPARE(cli({QStringLiteral("init"), QStringLiteral("--data"), dir.path()}).code, 0);
        const Run check = cli({QStringLiteral("check"), QStringLiteral("--data"), dir.path()});
        QCOMPARE(check.code, 0);
        QVERIFY(check.out.contains(QStringLiteral("schema version: %1").arg(selvo::db::kSchemaVersion)));
        QVERIFY(check.out.contains(QStringLiteral("day sums: ok")));
        QVERIFY(check.out.contains(QStringLiteral("integrity: ok")));
        QVERIFY(check.out.contains(QStringLiteral("tb_manager: 1")));
    }

    void checkNeverWritesAndReportsProblems() {
        QTemporaryDir dir;
        // No database yet: check reports it and creates nothing.
        QVERIFY(cli({QStringLiteral("check"), QStringLiteral("--data"), dir.path()}).code != 0);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("hydb.db"))));

        QFile junk(dir.filePath(QStringLiteral("hydb.db")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, '\x5a'));
        junk.close();
        QVERIFY(cli({QStringLiteral("check"), QStringLiteral("--data"), dir.path()}).code != 0);
        QVERIFY(cli({QStringLiteral("init"), QStringLiteral("--data"), dir.path()}).code != 0);
        QVERIFY(junk.open(QIODevice::ReadOnly));
        QCOMPARE(junk.readAll(), QByteArray(4096, '\x5a'));
    }

    void checkFindsAMissingSettingsRow() {
        QTemporaryDir dir;
        QCOMPARE(cli({QStringLiteral("init"), QStringLiteral("--data"), dir.path()}).code, 0);
        {
            selvo::db::Database db;
            selvo::db::ConnectionConfig c;
            c.sqliteFile = dir.filePath(QStringLiteral("hydb.db"));
            QVERIFY(db.open(c));
            QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_StoreInfo")));
        }
        const Run check = cli({QStringLiteral("check"), QStringLiteral("--data"), dir.path()});
        QVERIFY(check.code != 0);
        QVERIFY(check.err.contains(QStringLiteral("tb_StoreInfo")));
    }

    void unknownCommand() { QCOMPARE(cli({QStringLiteral("frobnicate")}).code, 2); }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
