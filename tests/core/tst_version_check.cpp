#include "LocalHttpServer.h"

#include "core/store/VersionCheck.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

using namespace selvo;
using namespace selvo::test;

namespace {
// What a fetch of `url` reports; fails the test when nothing is reported in 20 s.
QByteArray Fetch(const QUrl& url, int timeoutMs = VersionFetch::kDefaultTimeoutMs) {
    VersionFetch fetch;
    QSignalSpy spy(&fetch, &VersionFetch::finished);
    fetch.start(url, timeoutMs);
    if (!spy.wait(20000))
        return QByteArrayLiteral("(no report)");
    QTest::qWait(50); // a second report would arrive here
    if (spy.size() != 1)
        return QByteArrayLiteral("(reported more than once)");
    return spy.first().first().toByteArray();
}

QString Question(const QByteArray& body, const QString& own) {
    const std::optional<VersionOffer> offer = ParseVersionReply(body, own);
    return offer ? VersionQuestion(*offer) : QString();
}

void WriteConf(const QString& folder, const QByteArray& text) {
    QFile f(folder + QStringLiteral("/selvo.conf"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}
} // namespace

class TestVersionCheck final : public QObject {
    Q_OBJECT

private slots:
    void ownVersionHasFourNumbers_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("four");
        QTest::newRow("three numbers") << QStringLiteral("0.1.0") << QStringLiteral("0.1.0.0");
        QTest::newRow("four numbers") << QStringLiteral("2.0.0.1") << QStringLiteral("2.0.0.1");
        QTest::newRow("one number") << QStringLiteral("3") << QStringLiteral("3.0.0.0");
        QTest::newRow("nothing") << QString() << QStringLiteral("0.0.0.0");
        QTest::newRow("five numbers") << QStringLiteral("1.2.3.4.5") << QStringLiteral("1.2.3.4");
    }
    void ownVersionHasFourNumbers() {
        QFETCH(QString, version);
        QFETCH(QString, four);
        QCOMPARE(FourPartVersion(version), four);
    }

    void ownVersionIsTheProjectVersion() {
        QCOMPARE(OwnVersion(), FourPartVersion(QStringLiteral(SELVO_VERSION)));
        QCOMPARE(OwnVersion().split(QLatin1Char('.')).size(), 4);
    }

    void versionValue_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<qint64>("value");
        QTest::newRow("four numbers") << QStringLiteral("2.0.0.1") << qint64(2001);
        QTest::newRow("parts of ten carry") << QStringLiteral("2.0.10.0") << qint64(2100);
        QTest::newRow("the same as the carried one") << QStringLiteral("2.1.0.0") << qint64(2100);
        QTest::newRow("large part") << QStringLiteral("1.123") << qint64(133);
        QTest::newRow("fewer parts weigh less") << QStringLiteral("2.1") << qint64(21);
        QTest::newRow("empty") << QString() << qint64(0);
        QTest::newRow("not a number") << QStringLiteral("abc") << qint64(0);
        QTest::newRow("leading digits count") << QStringLiteral("2.0.1x.0") << qint64(2010);
        QTest::newRow("blanks around parts") << QStringLiteral(" 2.0.1.0 ") << qint64(2010);
    }
    void versionValue() {
        QFETCH(QString, version);
        QFETCH(qint64, value);
        QCOMPARE(VersionValue(version), value);
    }

    void hugeVersionsDoNotOverflow() {
        const QString many = QStringLiteral("9.").repeated(40) + QStringLiteral("9");
        QVERIFY(VersionValue(many) > VersionValue(QStringLiteral("9.9.9.9")));
        QVERIFY(VersionValue(QStringLiteral("99999999999999999999.0")) > 0);
    }

    void machineIdentifier_data() {
        QTest::addColumn<QList<Adapter>>("adapters");
        QTest::addColumn<QString>("identifier");
        QTest::newRow("no adapters") << QList<Adapter>{} << QString();
        QTest::newRow("loopback is skipped") << QList<Adapter>{{QStringLiteral("00:00:00:00:00:00"), true},
                                                               {QStringLiteral("52:54:00:12:34:56"), false}}
                                             << QStringLiteral("52:54:00:12:34:56");
        QTest::newRow("upper case") << QList<Adapter>{{QStringLiteral("0a:1b:2c:3d:4e:5f"), false}}
                                    << QStringLiteral("0A:1B:2C:3D:4E:5F");
        QTest::newRow("single digits padded")
            << QList<Adapter>{{QStringLiteral("a:b:c:d:e:f"), false}} << QStringLiteral("0A:0B:0C:0D:0E:0F");
        QTest::newRow("adapters without an address are skipped")
            << QList<Adapter>{{QString(), false},
                              {QStringLiteral("00:00:00:00:00:00"), false},
                              {QStringLiteral("de:ad:be:ef:00:01"), false}}
            << QStringLiteral("DE:AD:BE:EF:00:01");
        QTest::newRow("only six-byte addresses")
            << QList<Adapter>{{QStringLiteral("00:11:22:33:44:55:66:77"), false}} << QString();
        QTest::newRow("first one wins") << QList<Adapter>{{QStringLiteral("02:00:00:00:00:01"), false},
                                                          {QStringLiteral("02:00:00:00:00:02"), false}}
                                        << QStringLiteral("02:00:00:00:00:01");
    }
    void machineIdentifier() {
        QFETCH(QList<Adapter>, adapters);
        QFETCH(QString, identifier);
        QCOMPARE(MachineIdentifier(adapters), identifier);
    }

    void thisMachinesIdentifier() {
        const QString id = MachineIdentifier();
        if (!id.isEmpty())
            QVERIFY2(
                QRegularExpression(QStringLiteral("^([0-9A-F]{2}:){5}[0-9A-F]{2}$")).match(id).hasMatch(),
                qPrintable(id));
    }

    void requestAddress_data() {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("url");
        QTest::newRow("plain page")
            << QStringLiteral("http://updates.example/check") << QStringLiteral("0A:1B:2C:3D:4E:5F")
            << QStringLiteral("http://updates.example/check?version=2.0.0.1&macAddress=0A:1B:2C:3D:4E:5F");
        QTest::newRow("no adapter") << QStringLiteral("http://updates.example/check") << QString()
                                    << QStringLiteral(
                                           "http://updates.example/check?version=2.0.0.1&macAddress=");
        QTest::newRow("page with a query of its own")
            << QStringLiteral(" http://updates.example/v.php?product=selvo ")
            << QStringLiteral("0A:1B:2C:3D:4E:5F")
            << QStringLiteral(
                   "http://updates.example/v.php?product=selvo&version=2.0.0.1&macAddress=0A:1B:2C:3D:4E:5F");
    }
    void requestAddress() {
        QFETCH(QString, page);
        QFETCH(QString, mac);
        QFETCH(QString, url);
        QCOMPARE(VersionQueryUrl(page, QStringLiteral("2.0.0.1"), mac).toString(), url);
    }

    void reply_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("own");
        QTest::addColumn<QString>("question"); // empty: nothing is asked
        const QString own = QStringLiteral("2.0.0.1");
        QTest::newRow("same version") << QByteArray("2.0.0.1|x|A") << own << QString();
        QTest::newRow("older version") << QByteArray("2.0.0.0|x|A") << own << QString();
        QTest::newRow("newer with notes")
            << QByteArray("2.0.1.0|x|A|B") << own
            << QStringLiteral("发现新版本:2.0.1.0 是否下载更新?\r\n\r\nA\r\nB\r\n");
        QTest::newRow("newer, version only")
            << QByteArray("2.0.1.0") << own << QStringLiteral("发现新版本:2.0.1.0 是否下载更新?\r\n\r\n");
        QTest::newRow("newer, unused field only")
            << QByteArray("3.0.0.0|x") << own << QStringLiteral("发现新版本:3.0.0.0 是否下载更新?\r\n\r\n");
        QTest::newRow("Chinese notes")
            << QByteArray("2.1.0.0||修复打印|新增导入") << own
            << QStringLiteral("发现新版本:2.1.0.0 是否下载更新?\r\n\r\n修复打印\r\n新增导入\r\n");
        QTest::newRow("parts of ten carry: newer")
            << QByteArray("2.0.10.0|x") << QStringLiteral("2.0.9.9")
            << QStringLiteral("发现新版本:2.0.10.0 是否下载更新?\r\n\r\n");
        QTest::newRow("parts of ten carry: same")
            << QByteArray("2.0.10.0|x") << QStringLiteral("2.1.0.0") << QString();
        QTest::newRow("trailing line break")
            << QByteArray("2.0.1.0|x|A\r\n") << own
            << QStringLiteral("发现新版本:2.0.1.0 是否下载更新?\r\n\r\nA\r\n");
        QTest::newRow("empty reply") << QByteArray() << own << QString();
        QTest::newRow("line break only") << QByteArray("\n") << own << QString();
        QTest::newRow("garbage is no version") << QByteArray("<html>Not found</html>") << own << QString();
        const QByteArray exactly500 = "9.0.0.0|x|" + QByteArray(490, 'n');
        QTest::newRow("500 characters") << exactly500 << own
                                        << QStringLiteral("发现新版本:9.0.0.0 是否下载更新?\r\n\r\n") +
                                               QString(490, QLatin1Char('n')) + QStringLiteral("\r\n");
        QTest::newRow("501 characters") << QByteArray(exactly500 + 'n') << own << QString();
        // Characters, not bytes: 100 three-byte characters are 100 characters.
        QTest::newRow("long in bytes, short in characters")
            << QByteArray("9.0.0.0|x|" + QStringLiteral("新").repeated(300).toUtf8()) << own
            << QStringLiteral("发现新版本:9.0.0.0 是否下载更新?\r\n\r\n") +
                   QStringLiteral("新").repeated(300) + QStringLiteral("\r\n");
        QTest::newRow("not UTF-8") << QByteArray("9.0.0.0|x|\xff\xfe\xfa") << own << QString();
        QTest::newRow("NUL bytes") << QByteArray("9.0.0.0|x|a\0b", 13) << own << QString();
        QTest::newRow("control bytes") << QByteArray("9.0.0.0|x|\x01\x02\x03") << own << QString();
    }
    void reply() {
        QFETCH(QByteArray, body);
        QFETCH(QString, own);
        QFETCH(QString, question);
        QCOMPARE(Question(body, own), question);
    }

    void caption() {
        QCOMPARE(VersionCheckCaption(QStringLiteral("岚拓会员销售系统")),
                 QStringLiteral("岚拓会员销售系统-版本检测"));
    }

    void settingsFromTheDataFolder() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const UpdateSettings builtIn = BuiltInUpdateSettings();
        // No selvo.conf, or one without [Update]: the build's defaults.
        UpdateSettings s = UpdateSettingsFor(dir.path());
        QCOMPARE(s.siteUrl, builtIn.siteUrl);
        QCOMPARE(s.checkUrl, builtIn.checkUrl);
        WriteConf(dir.path(), "[Database]\ndriver=sqlite\n");
        QCOMPARE(UpdateSettingsFor(dir.path()).checkUrl, builtIn.checkUrl);

        WriteConf(dir.path(), "[Update]\nsite=http://shop.example/\ncheck=http://shop.example/v?a=1,2\n");
        s = UpdateSettingsFor(dir.path());
        QCOMPARE(s.siteUrl, QStringLiteral("http://shop.example/"));
        QCOMPARE(s.checkUrl, QStringLiteral("http://shop.example/v?a=1,2"));
        QVERIFY(s.enabled());

        // Only one key given: the other keeps the default.
        WriteConf(dir.path(), "[Update]\ncheck=http://shop.example/v\n");
        s = UpdateSettingsFor(dir.path());
        QCOMPARE(s.siteUrl, builtIn.siteUrl);
        QCOMPARE(s.checkUrl, QStringLiteral("http://shop.example/v"));

        // An empty address switches the check off, whatever the build says.
        WriteConf(dir.path(), "[Update]\nsite=http://shop.example/\ncheck=\n");
        QVERIFY(!UpdateSettingsFor(dir.path()).enabled());
        WriteConf(dir.path(), "[Update]\nsite=\ncheck=http://shop.example/v\n");
        QVERIFY(!UpdateSettingsFor(dir.path()).enabled());
    }

    void fetchAndAsk_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("question");
        QTest::newRow("equal") << QByteArray("2.0.0.1|x|A") << QString();
        QTest::newRow("older") << QByteArray("1.9.9.9|x|A") << QString();
        QTest::newRow("newer with notes")
            << QByteArray("2.0.1.0|x|A|B")
            << QStringLiteral("发现新版本:2.0.1.0 是否下载更新?\r\n\r\nA\r\nB\r\n");
        QTest::newRow("empty") << QByteArray() << QString();
        QTest::newRow("over 500 characters") << QByteArray("9.0.0.0|x|" + QByteArray(600, 'n')) << QString();
        QTest::newRow("far over the read limit")
            << QByteArray("9.0.0.0|x|" + QByteArray(200000, 'n')) << QString();
        QTest::newRow("not text") << QByteArrayLiteral("9.0.0.0|x|\x89PNG\r\n\x1a\n\0\0") << QString();
    }
    void fetchAndAsk() {
        QFETCH(QByteArray, body);
        QFETCH(QString, question);
        LocalHttpServer server;
        QVERIFY(server.listening());
        server.body = body;
        const QByteArray got = Fetch(VersionQueryUrl(server.url().toString(), QStringLiteral("2.0.0.1"),
                                                     QStringLiteral("0A:1B:2C:3D:4E:5F")));
        QVERIFY(got.size() <= VersionFetch::kMaxBodyBytes + 1);
        if (body.size() <= VersionFetch::kMaxBodyBytes)
            QCOMPARE(got, body);
        QCOMPARE(Question(got, QStringLiteral("2.0.0.1")), question);
        QCOMPARE(server.requests.size(), 1);
    }

    void requestAsSent() {
        LocalHttpServer server;
        server.body = "1.0.0.0";
        QUrl page = server.url(QStringLiteral("/check.php"));
        page.setQuery(QStringLiteral("product=selvo"));
        QCOMPARE(Fetch(VersionQueryUrl(page.toString(), QStringLiteral("2.0.0.1"),
                                       QStringLiteral("0A:1B:2C:3D:4E:5F"))),
                 QByteArray("1.0.0.0"));
        QCOMPARE(server.requests.size(), 1);
        const QList<QByteArray> lines = server.requests.first().split('\n');
        QCOMPARE(
            lines.first().trimmed(),
            QByteArray("GET /check.php?product=selvo&version=2.0.0.1&macAddress=0A:1B:2C:3D:4E:5F HTTP/1.1"));
        // Nothing on the way may answer from a cache.
        QVERIFY2(server.requests.first().toLower().contains("cache-control: no-cache"),
                 server.requests.first().constData());
        // A second run asks the server again rather than any cache.
        QCOMPARE(Fetch(VersionQueryUrl(page.toString(), QStringLiteral("2.0.0.1"), {})),
                 QByteArray("1.0.0.0"));
        QCOMPARE(server.requests.size(), 2);
    }

    void serverThatNeverAnswers() {
        LocalHttpServer server;
        server.silent = true;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(Fetch(server.url(), 300), QByteArray());
        QCOMPARE(server.requests.size(), 1);
        qInfo("gave up after %lld ms", clock.elapsed());
    }

    void noServer() {
        // A port that was just free: nobody listens there.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 port = probe.serverPort();
        probe.close();
        QCOMPARE(Fetch(QUrl(QStringLiteral("http://127.0.0.1:%1/version?version=1").arg(port))),
                 QByteArray());
        QCOMPARE(Fetch(QUrl(QStringLiteral("not a url at all"))), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestVersionCheck)
#include "tst_version_check.moc"
