#include "core/support/Csv.h"
#include "gui/app/FileDialogs.h"
#include "gui/app/ListExport.h"
#include "gui/app/Messages.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A sales-records-like list: a hidden ID column, texts with commas, quotes and emoji.
void fill(CListCtrlPlus& list) {
    list.addColumn(u"ID"_s, 0);
    list.addColumn(u"订单号"_s, 140);
    list.addColumn(u"会员"_s, 100);
    list.addColumn(u"金额"_s, 80, Qt::AlignRight);
    list.addRow({u"1"_s, u"2024050110000000001"_s, u"张三"_s, u"￥12.50"_s}, 1);
    list.addRow({u"2"_s, u"2024050110000000002"_s, u"李,\"四\" 😀"_s, u"￥3.00"_s}, 2);
}

// Stands in for the desktop's file manager on a private bus.
class FakeFileManager final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
};

// A private session bus for one test.
struct PrivateBus {
    QProcess daemon;
    QString address;
    PrivateBus() {
        daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        if (daemon.waitForStarted(3000) && daemon.waitForReadyRead(3000))
            address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon.kill();
        daemon.waitForFinished(3000);
    }
};

} // namespace

class TestListExport final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_shown;

private slots:
    void init() {
        m_shown.clear();
        SetShowFileHook([this](const QString& path) { m_shown << path; });
    }
    void cleanup() { SetShowFileHook({}); }

    void emptyListShowsTheToastAndWritesNothing() {
        MessageRecorder messages;
        int asked = 0;
        ScopedFileDialogHook dialog([&](const QString&, const QString&) {
            ++asked;
            return m_dir.filePath(u"empty.csv"_s);
        });
        CListCtrlPlus list;
        list.addColumn(u"订单号"_s, 140);
        QVERIFY(!ExportListToCsv(u"销售记录.csv"_s, &list));
        QCOMPARE(asked, 0);
        QVERIFY(!QFile::exists(m_dir.filePath(u"empty.csv"_s)));
        QCOMPARE(messages.toasts.size(), 1);
        QCOMPARE(messages.toasts[0].text, u"没有可导出的数据"_s);
        QCOMPARE(messages.toasts[0].colour, 0xFDBD13u);
        QCOMPARE(messages.toasts[0].seconds, 1.5);
        QVERIFY(messages.toasts[0].owner.isNull());
        QVERIFY(m_shown.isEmpty());
    }

    void writesTheCoreCsvOfEveryColumnInDisplayOrder() {
        CListCtrlPlus list;
        fill(list);
        list.horizontalHeader()->moveSection(3, 1); // 金额 shown before 订单号
        QString proposed;
        ScopedFileDialogHook dialog([&](const QString& kind, const QString& name) {
            proposed = name;
            return kind == "save"_L1 ? m_dir.filePath(u"销售记录.csv"_s) : QString();
        });
        QVERIFY(ExportListToCsv(u"销售记录.csv"_s, &list));
        QCOMPARE(proposed, u"销售记录.csv"_s);
        const QString path = m_dir.filePath(u"销售记录.csv"_s);
        const QByteArray expected =
            EncodeCsv({u"ID"_s, u"金额"_s, u"订单号"_s, u"会员"_s},
                      {{u"1"_s, u"￥12.50"_s, u"2024050110000000001"_s, u"张三"_s},
                       {u"2"_s, u"￥3.00"_s, u"2024050110000000002"_s, u"李,\"四\" 😀"_s}});
        QCOMPARE(readAll(path), expected);
        QCOMPARE(m_shown, QStringList{path});
    }

    void replacesAnExistingFileAndAddsTheSuffix() {
        CListCtrlPlus list;
        fill(list);
        const QString bare = m_dir.filePath(u"report"_s);
        {
            QFile old(bare + u".csv"_s);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(10000, 'x'));
        }
        ScopedFileDialogHook dialog([&](const QString&, const QString&) { return bare; });
        QVERIFY(ExportListToCsv(u"report.csv"_s, &list));
        QVERIFY(!QFile::exists(bare));
        QVERIFY(readAll(bare + u".csv"_s).startsWith("ID,"));
        QVERIFY(!readAll(bare + u".csv"_s).contains('x'));
    }

    void cancelWritesNothingAndCountsAsDone() {
        CListCtrlPlus list;
        fill(list);
        const int before = int(QDir(m_dir.path()).entryList(QDir::Files).size());
        ScopedFileDialogHook dialog([](const QString&, const QString&) { return QString(); });
        QVERIFY(ExportListToCsv(u"x.csv"_s, &list));
        QCOMPARE(int(QDir(m_dir.path()).entryList(QDir::Files).size()), before);
        QVERIFY(m_shown.isEmpty());
    }

    void unwritableFileIsReportedNotShown() {
        CListCtrlPlus list;
        fill(list);
        MessageRecorder messages;
        ScopedFileDialogHook dialog(
            [&](const QString&, const QString&) { return m_dir.filePath(u"no/such/folder/x.csv"_s); });
        QVERIFY(!ExportListToCsv(u"x.csv"_s, &list));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].kind, u"warn"_s);
        QVERIFY(messages.boxes[0].text.startsWith(u"导出失败"_s));
        QVERIFY(m_shown.isEmpty());
    }

    void showsTheFileThroughTheFileManagerElseItsFolder() {
        PrivateBus bus;
        if (bus.address.isEmpty())
            QSKIP("no dbus-daemon to run a private bus");
        QDBusConnection caller = QDBusConnection::connectToBus(bus.address, u"caller"_s);
        QVERIFY(caller.isConnected());
        const QString path = m_dir.filePath(u"销售记录.csv"_s);

        // Nobody answers: the folder is opened instead.
        QList<QUrl> opened;
        ShowFileOnBus(path, caller, [&](const QUrl& folder) { opened << folder; });
        QTRY_COMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(m_dir.path())});

        QDBusConnection service = QDBusConnection::connectToBus(bus.address, u"service"_s);
        FakeFileManager manager;
        QVERIFY(service.registerObject(u"/org/freedesktop/FileManager1"_s, &manager,
                                       QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(u"org.freedesktop.FileManager1"_s));
        opened.clear();
        ShowFileOnBus(path, caller, [&](const QUrl& folder) { opened << folder; });
        QTRY_COMPARE(manager.shown, QStringList{QUrl::fromLocalFile(path).toString()});
        QTest::qWait(50);
        QVERIFY(opened.isEmpty());
        QDBusConnection::disconnectFromBus(u"caller"_s);
        QDBusConnection::disconnectFromBus(u"service"_s);
    }

    // A paged list is written to its end, not just the pages scrolled to.
    void pagedListIsReadToItsEnd() {
        CListCtrlPlus list;
        list.addColumn(u"编号"_s, 80);
        list.setPagedSource(
            [](int offset, int limit) {
                QList<CListCtrlPlus::Row> rows;
                for (int i = offset; i < 1234 && i < offset + limit; ++i)
                    rows << CListCtrlPlus::Row{{QString::number(i)}, i};
                return rows;
            },
            100);
        QCOMPARE(list.rowCount(), 100);
        ScopedFileDialogHook dialog(
            [&](const QString&, const QString&) { return m_dir.filePath(u"all.csv"_s); });
        QVERIFY(ExportListToCsv(u"all.csv"_s, &list));
        const QList<QByteArray> lines = readAll(m_dir.filePath(u"all.csv"_s)).split('\n');
        QCOMPARE(lines.size(), 1 + 1234 + 1); // titles, rows, the empty piece after the last CR LF
        QCOMPARE(lines[1234], QByteArray("1233\r"));
    }
};

QTEST_MAIN(TestListExport)
#include "tst_listexport.moc"
