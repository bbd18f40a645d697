#include "core/store/InstallPaths.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;

class TestInstallPaths final : public QObject {
    Q_OBJECT

private slots:
    void templateFolder_data() {
        QTest::addColumn<QStringList>("folders"); // made under a scratch root
        QTest::addColumn<QString>("executable");  // relative to the root
        QTest::addColumn<QString>("expected");    // relative to the root; empty: none
        QTest::newRow("build tree: beside the executable")
            << QStringList{QStringLiteral("build/src/gui/Template")} << QStringLiteral("build/src/gui")
            << QStringLiteral("build/src/gui/Template");
        QTest::newRow("installed: the prefix's share folder")
            << QStringList{QStringLiteral("usr/bin"), QStringLiteral("usr/share/selvo/Template")}
            << QStringLiteral("usr/bin") << QStringLiteral("usr/share/selvo/Template");
        QTest::newRow("beside the executable wins")
            << QStringList{QStringLiteral("usr/bin/Template"), QStringLiteral("usr/share/selvo/Template")}
            << QStringLiteral("usr/bin") << QStringLiteral("usr/bin/Template");
        QTest::newRow("none") << QStringList{QStringLiteral("usr/bin")} << QStringLiteral("usr/bin")
                              << QString();
    }
    void templateFolder() {
        QFETCH(QStringList, folders);
        QFETCH(QString, executable);
        QFETCH(QString, expected);
        QTemporaryDir root;
        QVERIFY(root.isValid());
        for (const QString& f : folders)
            QVERIFY(QDir(root.path()).mkpath(f));
        const QString got = TemplateFolder(root.filePath(executable));
        QCOMPARE(got, expected.isEmpty() ? QString() : QDir::cleanPath(root.filePath(expected)));
        QCOMPARE(TemplateFolder(QString()), QString());
    }
};

QTEST_GUILESS_MAIN(TestInstallPaths)
#include "tst_install_paths.moc"
