// After "切换用户" the window follows the new operator's role; the single-instance socket lives
// in the user's private runtime folder.
#include "GuiDriver.h"
#include "TestShop.h"

#include "gui/app/CSelvoDlg.h"
#include "gui/app/Messages.h"
#include "gui/app/SingleInstance.h"
#include "gui/widgets/C360TabCtrl.h"

#include <QComboBox>
#include <QLineEdit>
#include <QLocalSocket>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
void ChooseTab(CSelvoDlg& window, int index) {
    auto* bar = qobject_cast<QTabBar*>(window.tabStrip()->tabBar());
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void LogInWith(const QString& account, const QString& password) {
    OnNextModal([account, password](QDialog* dlg) {
        Find<QComboBox>(dlg, QStringLiteral("用户名："))->setEditText(account);
        Find<QLineEdit>(dlg, QStringLiteral("密码："))->setText(password);
        Click(dlg, QStringLiteral("确定"));
        if (dlg->isVisible())
            dlg->reject();
    });
}

QString accountOf(int role) {
    return role == 0 ? QStringLiteral("admin") : QStringLiteral("role%1").arg(role);
}
QString passwordOf(int role) {
    return role == 0 ? QStringLiteral("admin") : QStringLiteral("pw");
}
} // namespace

class TestRelogin final : public QObject {
    Q_OBJECT

private slots:
    // The first operator leaves a section open; the next one sees it only when the role
    // allows it, else the sale screen; the member page's role-only button follows too.
    void pagesFollowTheNewOperator_data() {
        QTest::addColumn<int>("firstRole");
        QTest::addColumn<int>("leftOpen");
        QTest::addColumn<int>("nextRole");
        QTest::addColumn<int>("shown");
        QTest::newRow("members left to a seller") << 0 << 2 << 2 << 0;
        QTest::newRow("members left to a clerk") << 0 << 2 << 1 << 0;
        QTest::newRow("goods left to a seller") << 0 << 1 << 2 << 0;
        QTest::newRow("goods left to a clerk") << 0 << 1 << 1 << 1;
        QTest::newRow("goods of a clerk left to a seller") << 1 << 1 << 2 << 0;
        QTest::newRow("system page left to a seller") << 0 << 3 << 2 << 3;
        QTest::newRow("members left to the administrator") << 0 << 2 << 0 << 2;
    }
    void pagesFollowTheNewOperator() {
        QFETCH(int, firstRole);
        QFETCH(int, leftOpen);
        QFETCH(int, nextRole);
        QFETCH(int, shown);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        for (int role : {1, 2})
            QVERIFY(shop.addOperator(accountOf(role), passwordOf(role), role, 0,
                                     QStringLiteral("店员%1").arg(role)) > 0);
        shop.ctx.op.clear();
        CSelvoDlg window(shop.ctx, shop.dataFolder());
        LogInWith(accountOf(firstRole), passwordOf(firstRole));
        QVERIFY(window.begin());
        ChooseTab(window, leftOpen);
        QCOMPARE(window.currentSection(), leftOpen);
        auto* deleteMembers = Find<QPushButton>(window.page(2), QStringLiteral("删除"));
        QCOMPARE(deleteMembers->isHidden(), firstRole != 0);

        LogInWith(accountOf(nextRole), passwordOf(nextRole));
        window.relogin();
        QCOMPARE(shop.ctx.op.role, nextRole);
        QCOMPARE(window.currentSection(), shown);
        QCOMPARE(window.tabStrip()->currentIndex(), shown);
        QTRY_VERIFY(window.isVisible());
        for (int p = 0; p < 4; ++p)
            QCOMPARE(window.page(p)->isVisible(), p == shown);
        QCOMPARE(deleteMembers->isHidden(), nextRole != 0);
    }

    // The socket and the lock sit in the user's own runtime folder, which nobody else can write.
    void socketInThePrivateRuntimeFolder() {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        QVERIFY(!runtime.isEmpty());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(runtime).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0700);
        QCOMPARE(st.st_uid, ::geteuid());

        QTemporaryDir data;
        SingleInstance first(data.path());
        QCOMPARE(first.claim(), SingleInstance::Outcome::First);
        const QString socket = SingleInstance::serverName(data.path());
        QCOMPARE(QFileInfo(socket).absolutePath(), QDir(runtime).absolutePath());
        QCOMPARE(QFileInfo(SingleInstance::lockPath(data.path())).absolutePath(),
                 QDir(runtime).absolutePath());
        QVERIFY(QFileInfo::exists(socket));
        // A second start reaches the first through it.
        QLocalSocket probe;
        probe.connectToServer(socket);
        QVERIFY(probe.waitForConnected(3000));
    }

    // Without a runtime folder of its own (another user made the one Qt would use in the temporary
    // folder, so Qt offers none), the socket and the lock go into the private data folder, never
    // into a shared folder like /tmp where that user could take the name first.
    void socketInTheDataFolderWithoutARuntimeFolder() {
        QTemporaryDir tmp;
        const passwd* me = ::getpwuid(::geteuid());
        QVERIFY(me);
        const QString taken =
            QDir(tmp.path()).filePath(QStringLiteral("runtime-") + QString::fromLocal8Bit(me->pw_name));
        QVERIFY(QDir().mkdir(taken));
        if (::chown(QFile::encodeName(taken).constData(), 65534, 65534) != 0)
            QSKIP("making a folder of another user needs root");
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray savedTmp = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(tmp.path()));
        const auto restore = qScopeGuard([&] {
            savedRuntime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", savedRuntime);
            savedTmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", savedTmp);
        });
        QVERIFY(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation).isEmpty());

        QTemporaryDir data;
        SingleInstance first(data.path());
        QCOMPARE(first.claim(), SingleInstance::Outcome::First);
        const QString folder = QDir(data.path()).absolutePath();
        QCOMPARE(QFileInfo(SingleInstance::serverName(data.path())).absolutePath(), folder);
        QCOMPARE(QFileInfo(SingleInstance::lockPath(data.path())).absolutePath(), folder);
        QLocalSocket probe;
        probe.connectToServer(SingleInstance::serverName(data.path()));
        QVERIFY(probe.waitForConnected(3000));
    }
};

QTEST_MAIN(TestRelogin)
#include "tst_relogin.moc"
