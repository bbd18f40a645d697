#include "GuiDriver.h"
#include "LocalHttpServer.h"
#include "TestShop.h"

#include "core/store/VersionCheck.h"
#include "gui/app/Browser.h"
#include "gui/app/CSelvoDlg.h"
#include "gui/app/CheckVersion.h"
#include "gui/app/Messages.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
const QString kSite = QStringLiteral("http://shop.example/selvo/");

void LogInAsAdmin() {
    OnNextModal([](QDialog* dlg) {
        Find<QComboBox>(dlg, QStringLiteral("用户名："))->setEditText(QStringLiteral("admin"));
        Find<QLineEdit>(dlg, QStringLiteral("密码："))->setText(QStringLiteral("admin"));
        Click(dlg, QStringLiteral("确定"));
        if (dlg->isVisible())
            dlg->reject();
    });
}

// Points the shop's selvo.conf at the test server (kept: it may name the database server).
void UseServer(const TestShop& shop, const LocalHttpServer& server) {
    QFile conf(shop.dataFolder() + QStringLiteral("/selvo.conf"));
    QVERIFY(conf.open(QIODevice::Append));
    conf.write("\n[Update]\nsite=" + kSite.toUtf8() + "\ncheck=" + server.url().toEncoded() + "\n");
}

// A newer version than this program's, one step up in the last number.
QString NewerVersion() {
    QStringList parts = OwnVersion().split(QLatin1Char('.'));
    parts.last() = QString::number(parts.last().toInt() + 1);
    return parts.join(QLatin1Char('.'));
}
} // namespace

class TestVersionCheckDlg final : public QObject {
    Q_OBJECT

private slots:
    void offerAfterTheFirstLogin_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes opens the product site") << true;
        QTest::newRow("no opens nothing") << false;
    }
    void offerAfterTheFirstLogin() {
        QFETCH(bool, yes);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.op.clear();
        LocalHttpServer server;
        QVERIFY(server.listening());
        server.body = (NewerVersion() + QStringLiteral("|x|修复打印|新增导入")).toUtf8();
        UseServer(shop, server);
        MessageRecorder messages;
        messages.answerNext(yes);
        BrowserRecorder browser;

        CSelvoDlg window(shop.ctx, shop.dataFolder());
        LogInAsAdmin();
        QVERIFY(window.begin());
        // Started, but not waited for: the window is up before the server has answered.
        QVERIFY(window.versionCheck());
        QVERIFY(window.isVisible());
        QVERIFY(messages.boxes.isEmpty());
        QSignalSpy done(window.versionCheck(), &CheckVersion::done);
        QVERIFY(done.wait(20000));

        QCOMPARE(server.requests.size(), 1);
        const QByteArray requestLine = server.requests.first().split('\r').first();
        QVERIFY2(requestLine.startsWith(
                     QByteArray("GET /version?version=" + OwnVersion().toUtf8() + "&macAddress=")),
                 requestLine.constData());
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes.first().kind, QStringLiteral("ask"));
        QCOMPARE(messages.boxes.first().text,
                 QStringLiteral("发现新版本:") + NewerVersion() +
                     QStringLiteral(" 是否下载更新?\r\n\r\n修复打印\r\n新增导入\r\n"));
        QCOMPARE(messages.boxes.first().caption, QStringLiteral("岚拓会员销售系统-版本检测"));
        QCOMPARE(browser.urls, yes ? QList<QUrl>{QUrl(kSite)} : QList<QUrl>{});

        // A re-login is no new run: the server is not asked again.
        LogInAsAdmin();
        window.relogin();
        QTest::qWait(200);
        QCOMPARE(server.requests.size(), 1);
        QCOMPARE(messages.boxes.size(), 1);
    }

    void silentUnlessNewer_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("same version") << (OwnVersion() + QStringLiteral("|x|A")).toUtf8();
        QTest::newRow("older version") << QByteArray("0.0.0.1|x|A");
        QTest::newRow("empty reply") << QByteArray();
        QTest::newRow("over 500 characters") << QByteArray("99.0.0.0|x|" + QByteArray(600, 'n'));
    }
    void silentUnlessNewer() {
        QFETCH(QByteArray, body);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        LocalHttpServer server;
        server.body = body;
        UseServer(shop, server);
        MessageRecorder messages;
        messages.defaultAnswer = true;
        BrowserRecorder browser;
        CheckVersion check(QStringLiteral("岚拓会员销售系统"), UpdateSettingsFor(shop.dataFolder()));
        QSignalSpy done(&check, &CheckVersion::done);
        QVERIFY(done.wait(20000));
        QCOMPARE(server.requests.size(), 1);
        QVERIFY(messages.boxes.isEmpty());
        QVERIFY(browser.urls.isEmpty());
    }

    void switchedOffWithoutAnAddress() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        LocalHttpServer server;
        server.body = "99.0.0.0|x|A";
        MessageRecorder messages;
        messages.defaultAnswer = true;
        BrowserRecorder browser;
        // The version page is known, the product site is not: nothing to offer, nothing asked.
        CheckVersion check(QStringLiteral("岚拓会员销售系统"),
                           UpdateSettings{QString(), server.url().toString()});
        QSignalSpy done(&check, &CheckVersion::done);
        QVERIFY(done.wait(5000));
        QTest::qWait(100);
        QVERIFY(server.requests.isEmpty());
        QVERIFY(messages.boxes.isEmpty());
        QVERIFY(browser.urls.isEmpty());
    }

    void headlessRunsOnlyLogTheAddress() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString log = dir.filePath(QStringLiteral("messages.log"));
        qputenv("SELVO_MESSAGE_LOG", log.toLocal8Bit());
        const bool opened = Browser::open(QUrl(kSite));
        qunsetenv("SELVO_MESSAGE_LOG");
        QVERIFY(!opened);
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("trace\topen-url\t" + kSite.toUtf8() + "\n"));
    }
};

QTEST_MAIN(TestVersionCheckDlg)
#include "tst_version_check_dlg.moc"
