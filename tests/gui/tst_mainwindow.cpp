#include "GuiDriver.h"
#include "TestShop.h"

#include "core/support/Clock.h"
#include "gui/app/CLockDlg.h"
#include "gui/app/CLoginDlg.h"
#include "gui/app/CManageManDlg.h"
#include "gui/app/CSelvoDlg.h"
#include "gui/app/CStoreInfo.h"
#include "gui/app/CSysmanDlg.h"
#include "gui/app/Messages.h"
#include "gui/widgets/C360TabCtrl.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
// Chooses a tab as the operator does (a click on the strip), so the role rule applies.
void ChooseTab(CSelvoDlg& window, int index) {
    auto* bar = qobject_cast<QTabBar*>(window.tabStrip()->tabBar());
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// Answers the next login dialog with an account and a password.
void LogInWith(const QString& account, const QString& password) {
    OnNextModal([account, password](QDialog* dlg) {
        Find<QComboBox>(dlg, QStringLiteral("用户名："))->setEditText(account);
        Find<QLineEdit>(dlg, QStringLiteral("密码："))->setText(password);
        Click(dlg, QStringLiteral("确定"));
        if (dlg->isVisible())
            dlg->reject(); // refused: give up so the test does not hang
    });
}

// A shop with a main window logged in as `account`.
struct Session {
    TestShop shop;
    std::unique_ptr<CSelvoDlg> window;
    bool begun = false;

    explicit Session(int role = 0) {
        shop.ctx.op.clear();
        QString account = QStringLiteral("admin");
        QString password = QStringLiteral("admin");
        if (role != 0) {
            account = QStringLiteral("clerk");
            password = QStringLiteral("pw");
            shop.addOperator(account, password, role, 0, QStringLiteral("小王"));
        }
        window = std::make_unique<CSelvoDlg>(shop.ctx, shop.dataFolder());
        LogInWith(account, password);
        begun = window->begin();
    }
};
} // namespace

class TestMainWindow final : public QObject {
    Q_OBJECT

private slots:
    void opensBehindTheLogin() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_StoreInfo SET StoreName = '岚拓小店'")));
        shop.ctx.op.clear();
        CSelvoDlg window(shop.ctx, shop.dataFolder());
        // Cancelled: nothing is shown and the program is to end.
        OnNextModal([](QDialog* dlg) { dlg->reject(); });
        QVERIFY(!window.begin());
        QVERIFY(!window.isVisible());

        LogInWith(QStringLiteral("admin"), QStringLiteral("admin"));
        QVERIFY(window.begin());
        QVERIFY(window.isVisible());
        QVERIFY(window.windowState() & Qt::WindowMaximized);
        QCOMPARE(window.windowTitle(), QStringLiteral("岚拓销售系统   管理员(管理员)"));
        QCOMPARE(window.statusText()->text(), QStringLiteral("岚拓小店"));
        QCOMPARE(window.trayTip(), QStringLiteral("岚拓销售系统\n店铺名称： 岚拓小店\n销售员： 管理员"));
        QCOMPARE(shop.ctx.settings.storeName, QStringLiteral("岚拓小店"));
        QStringList tabs;
        for (int i = 0; i < window.tabStrip()->count(); ++i)
            tabs << window.tabStrip()->tabText(i);
        QCOMPARE(tabs, (QStringList{QStringLiteral("销售"), QStringLiteral("商品"), QStringLiteral("会员"),
                                    QStringLiteral("系统管理")}));
        QCOMPARE(window.currentSection(), 0);
        QVERIFY(window.page(0)->isVisible());
        QVERIFY(!window.page(3)->isVisible());
        // Closing keeps the program running: hidden in the tray, or minimised without one.
        window.close();
        QVERIFY(!window.isVisible() || window.isMinimized());
        QVERIFY(shop.ctx.db.isOpen());
        window.showRequested();
        QVERIFY(window.isVisible() && !window.isMinimized());
    }

    void roleRuleOnTheTabs_data() {
        QTest::addColumn<int>("role");
        QTest::addColumn<QList<int>>("clicks");
        QTest::addColumn<QList<int>>("shown"); // the section shown after each click
        QTest::addColumn<int>("refusals");
        QTest::newRow("seller: no goods") << 2 << QList<int>{1, 3, 1, 2} << QList<int>{0, 3, 3, 3} << 3;
        QTest::newRow("clerk: goods, no members") << 1 << QList<int>{1, 2, 0} << QList<int>{1, 1, 0} << 1;
        QTest::newRow("administrator: everything")
            << 0 << QList<int>{1, 2, 3, 0} << QList<int>{1, 2, 3, 0} << 0;
    }
    void roleRuleOnTheTabs() {
        QFETCH(int, role);
        QFETCH(QList<int>, clicks);
        QFETCH(QList<int>, shown);
        QFETCH(int, refusals);
        Session s(role);
        QVERIFY(s.begun);
        MessageRecorder messages;
        for (int i = 0; i < clicks.size(); ++i) {
            ChooseTab(*s.window, clicks[i]);
            QCOMPARE(s.window->currentSection(), shown[i]);
            QCOMPARE(s.window->tabStrip()->currentIndex(), shown[i]);
            for (int p = 0; p < 4; ++p)
                QCOMPARE(s.window->page(p)->isVisible(), p == shown[i]);
        }
        QCOMPARE(messages.toasts.size(), refusals);
        for (const ToastRecord& t : messages.toasts)
            QCOMPARE(t.text, QStringLiteral("对不起，您没有此操作权限"));
    }

    void systemPageButtons_data() {
        QTest::addColumn<int>("role");
        QTest::addColumn<bool>("manages");
        QTest::newRow("administrator") << 0 << true;
        QTest::newRow("clerk") << 1 << false;
        QTest::newRow("seller") << 2 << false;
    }
    void systemPageButtons() {
        QFETCH(int, role);
        QFETCH(bool, manages);
        Session s(role);
        QVERIFY(s.begun);
        ChooseTab(*s.window, 3);
        CSysmanDlg* page = s.window->systemPage();
        MessageRecorder messages;
        QStringList opened;
        auto expectDialog = [&] {
            OnNextModal([&opened](QDialog* dlg) {
                opened << dlg->windowTitle();
                dlg->reject();
            });
        };
        for (const char* button : {"操作员管理", "商店基本信息", "修改密码", "日志"}) {
            if (manages || QByteArray(button) == "修改密码" || QByteArray(button) == "日志")
                expectDialog();
            Click(page, QString::fromUtf8(button));
        }
        QStringList expected;
        if (manages)
            expected << QStringLiteral("售货员管理") << QStringLiteral("商店基本信息设置");
        expected << QStringLiteral("修改密码 -- 请牢记您的密码") << QStringLiteral("操作日志");
        QCOMPARE(opened, expected);
        QCOMPARE(messages.toasts.size(), manages ? 0 : 2);
    }

    void lockAndUnlock() {
        Session s;
        QVERIFY(s.begun);
        MessageRecorder messages;
        Click(s.window.get(), QStringLiteral("锁定"));
        QVERIFY(s.window->isLocked());
        QVERIFY(!s.window->isVisible());
        CLockDlg* lock = s.window->lockDialog();
        QVERIFY(lock && lock->isVisible());
        QVERIFY(Find<QLabel>(lock, QStringLiteral("当前售货员>>管理员")) == nullptr); // a text, not a name
        QVERIFY(lock->findChildren<QLabel*>().constFirst()->text() == QStringLiteral("当前售货员>>管理员"));

        // Cancel leaves the program locked; the next show request brings the lock screen back.
        Click(lock, QStringLiteral("取消"));
        QVERIFY(!lock->isVisible());
        s.window->showRequested();
        QVERIFY(lock->isVisible());
        QVERIFY(!s.window->isVisible());
        QCOMPARE(CountVisible<CLoginDlg>(), 0);

        // Locked out by another till meanwhile: the operator still unlocks the running program.
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET state = 1 WHERE ID = 1")));
        Find<QLineEdit>(lock, QStringLiteral("请输入密码解锁"))->setText(QStringLiteral("admin"));
        Click(lock, QStringLiteral("解锁"));
        QVERIFY(!s.window->isLocked());
        QTRY_VERIFY(s.window->isVisible());
        QVERIFY(!lock->isVisible());
        QVERIFY(messages.toasts.isEmpty());
    }

    void idleLockFollowsTheClock() {
        ManualClock clock(QDateTime(QDate(2016, 6, 1), QTime(9, 0)));
        Clock::setInstance(&clock);
        Session s;
        QVERIFY(s.begun);
        clock.advanceSecs(179);
        s.window->checkIdle();
        QVERIFY(!s.window->isLocked());
        // Input just before the three minutes start the count again.
        QTest::keyClick(s.window->page(0), Qt::Key_Shift);
        clock.advanceSecs(179);
        s.window->checkIdle();
        QVERIFY(!s.window->isLocked());
        clock.advanceSecs(1);
        s.window->checkIdle();
        Clock::setInstance(nullptr);
        QVERIFY(s.window->isLocked());
        QVERIFY(!s.window->isVisible());
        QVERIFY(s.window->lockDialog()->isVisible());
    }

    void idleLockNeedsSomeoneLoggedIn() {
        ManualClock clock(QDateTime(QDate(2016, 6, 1), QTime(9, 0)));
        Clock::setInstance(&clock);
        Session s;
        QVERIFY(s.begun);
        // Logged out by a cancelled re-login: nothing to lock.
        OnNextModal([](QDialog* dlg) { dlg->reject(); });
        s.window->relogin();
        clock.advanceSecs(600);
        s.window->checkIdle();
        Clock::setInstance(nullptr);
        QVERIFY(!s.window->isLocked());
        QVERIFY(s.window->lockDialog() == nullptr);
    }

    void reloginOpensOneLoginOnly() {
        Session s;
        QVERIFY(s.begun);
        s.shop.addOperator(QStringLiteral("clerk"), QStringLiteral("pw"), 1, 0, QStringLiteral("小李"));
        int loginsSeen = 0;
        // A tray click (show request) while the login of a re-login is open.
        OnNextModal([&](QDialog* dlg) {
            s.window->showRequested();
            Click(s.window.get(), QStringLiteral("切换用户"));
            loginsSeen = CountVisible<CLoginDlg>();
            dlg->reject();
        });
        s.window->relogin();
        QCOMPARE(loginsSeen, 1);
        QVERIFY(!s.window->loginRunning());
        // Cancelled: hidden with nobody logged in.
        QVERIFY(!s.shop.ctx.op.loggedIn());
        QVERIFY(!s.window->isVisible());

        // The next show request starts a login; another operator takes over.
        LogInWith(QStringLiteral("clerk"), QStringLiteral("pw"));
        s.window->showRequested();
        QTRY_VERIFY(s.window->isVisible());
        QCOMPARE(s.shop.ctx.op.name, QStringLiteral("小李"));
        QCOMPARE(s.window->windowTitle(), QStringLiteral("岚拓销售系统   小李(理货售货员)"));
    }

    void reloginWhileLocked() {
        Session s;
        QVERIFY(s.begun);
        s.window->lock();
        QVERIFY(s.window->lockDialog()->isVisible());
        LogInWith(QStringLiteral("admin"), QStringLiteral("admin"));
        s.window->relogin();
        QVERIFY(!s.window->isLocked());
        QVERIFY(!s.window->lockDialog()->isVisible());
        QTRY_VERIFY(s.window->isVisible());
    }

    void exitClosesTheDatabase() {
        Session s;
        QVERIFY(s.begun);
        s.window->exitProgram();
        QVERIFY(!s.shop.ctx.db.isOpen());
        QVERIFY(!s.window->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
