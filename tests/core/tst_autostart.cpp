#include "core/support/Autostart.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;

class TestAutostart final : public QObject {
    Q_OBJECT

private slots:
    void entryBelongsToOneCopy() {
        QTemporaryDir config;
        QVERIFY(config.isValid());
        const QString a = QStringLiteral("/opt/A/selvo");
        const QString b = QStringLiteral("/opt/B/selvo");
        QVERIFY(!IsAutostartSet(a, config.path()));
        QVERIFY(SetAutostart(a, true, config.path()));
        QVERIFY(IsAutostartSet(a, config.path()));
        // Another copy of the program does not count the entry as its own, and takes it over.
        QVERIFY(!IsAutostartSet(b, config.path()));
        QVERIFY(SetAutostart(b, true, config.path()));
        QVERIFY(IsAutostartSet(b, config.path()));
        QVERIFY(!IsAutostartSet(a, config.path()));
        QVERIFY(SetAutostart(b, false, config.path()));
        QVERIFY(!QFile::exists(AutostartFile(config.path())));
        QVERIFY(!IsAutostartSet(b, config.path()));
        QVERIFY(SetAutostart(b, false, config.path()));
    }

    void execLine() {
        QCOMPARE(AutostartCommand(QStringLiteral("/opt/selvo/bin/selvo")),
                 QStringLiteral("/opt/selvo/bin/selvo -hide"));
        QCOMPARE(AutostartCommand(QStringLiteral("/home/u/my shop/selvo")),
                 QStringLiteral("\"/home/u/my shop/selvo\" -hide"));
        QCOMPARE(AutostartCommand(QStringLiteral("/home/u/$x\"/selvo")),
                 QStringLiteral("\"/home/u/\\$x\\\"/selvo\" -hide"));
        QTemporaryDir config;
        const QString spaced = QStringLiteral("/home/u/我的 店/selvo");
        QVERIFY(SetAutostart(spaced, true, config.path()));
        QVERIFY(IsAutostartSet(spaced, config.path()));
        QFile f(AutostartFile(config.path()));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().startsWith("[Desktop Entry]\nType=Application\n"));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
