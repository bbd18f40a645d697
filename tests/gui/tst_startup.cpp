#include "gui/app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using selvo::gui::SingleInstance;

// Runs the real program offscreen. Its message boxes go to a log file instead of blocking,
// and it traces when its login and its main window show.
class TestStartup final : public QObject {
    Q_OBJECT

    static void prepare(QProcess& p, const QString& dataFolder, const QString& log) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SELVO_DATA_DIR"), dataFolder);
        env.insert(QStringLiteral("SELVO_MESSAGE_LOG"), log);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setProgram(QStringLiteral(SELVO_GUI_PATH));
    }
    static QStringList logLines(const QString& log) {
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void damagedDatabaseEndsStartupBeforeAnyWindow() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("hydb.db"));
        QByteArray noise(16384, Qt::Uninitialized);
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 2654435761u) >> 13);
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(noise);
        }
        const QString log = dir.filePath(QStringLiteral("messages.log"));
        QProcess p;
        prepare(p, dir.path(), log);
        p.start();
        QVERIFY(p.waitForFinished(30000));
        QVERIFY(p.exitCode() != 0);
        const QStringList lines = logLines(log);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith(QStringLiteral("warn\t打开数据失败！")), qPrintable(lines[0]));
        QCOMPARE(lines[1], QStringLiteral("warn\t打开数据库失败！"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), noise);
    }

    void secondStartShowsTheFirstAndEnds() {
        QTemporaryDir dir;
        const QString log1 = dir.filePath(QStringLiteral("first.log"));
        QProcess first;
        prepare(first, dir.path(), log1);
        first.start();
        // The first one waits at its login.
        QTRY_VERIFY_WITH_TIMEOUT(logLines(log1).contains(QStringLiteral("trace\tlogin-shown")), 30000);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("hydb.db"))));

        const QString log2 = dir.filePath(QStringLiteral("second.log"));
        QProcess second;
        prepare(second, dir.path(), log2);
        second.start();
        QVERIFY(second.waitForFinished(30000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(logLines(log2).isEmpty()); // no message, no window
        QTRY_VERIFY_WITH_TIMEOUT(logLines(log1).contains(QStringLiteral("trace\tshow-request")), 10000);

        first.terminate();
        if (!first.waitForFinished(10000))
            first.kill();
    }

    // The first start of a day leaves a checked copy of the database in backup/; a second start
    // that day adds none.
    void firstStartOfTheDayKeepsACopy() {
        QTemporaryDir dir;
        const QString copy =
            dir.filePath(QStringLiteral("backup/hydb-daily-%1.db")
                             .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))));
        for (int start = 1; start <= 2; ++start) {
            const QString log = dir.filePath(QStringLiteral("start%1.log").arg(start));
            QProcess p;
            prepare(p, dir.path(), log);
            p.start();
            QTRY_VERIFY_WITH_TIMEOUT(logLines(log).contains(QStringLiteral("trace\tlogin-shown")), 30000);
            p.terminate();
            if (!p.waitForFinished(10000))
                p.kill();
            QVERIFY2(QFile::exists(copy), qPrintable(logLines(log).join(u'\n')));
            QCOMPARE(QFile::permissions(copy) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
            QCOMPARE(QDir(dir.filePath(QStringLiteral("backup"))).entryList(QDir::Files).size(), 1);
        }
    }

    void firstThatDoesNotAnswer() {
        QTemporaryDir dir;
        // Play a first instance that holds the lock and listens but never answers.
        QLockFile lock(SingleInstance::lockPath(dir.path()));
        QVERIFY(lock.tryLock(0));
        QLocalServer::removeServer(SingleInstance::serverName(dir.path()));
        QLocalServer mute;
        QVERIFY(mute.listen(SingleInstance::serverName(dir.path())));

        const QString log = dir.filePath(QStringLiteral("messages.log"));
        QProcess p;
        prepare(p, dir.path(), log);
        p.start();
        QVERIFY(p.waitForFinished(30000));
        QVERIFY(p.exitCode() != 0);
        QCOMPARE(logLines(log),
                 QStringList{QStringLiteral("warn\t已有一个实例在运行，但找不到它的主窗口！")});
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("hydb.db")))); // nothing was opened
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
