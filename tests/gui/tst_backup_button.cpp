// "数据备份" on the system page: an administrator gets a checked copy and is told where it went;
// other roles are refused like "商店基本信息", and nothing is copied.
#include "GuiDriver.h"
#include "TestShop.h"

#include "core/db/Backup.h"
#include "gui/app/CSysmanDlg.h"
#include "gui/app/Messages.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

class TestBackupButton final : public QObject {
    Q_OBJECT

private slots:
    void backupByRole_data() {
        QTest::addColumn<int>("role");
        QTest::newRow("administrator") << 0;
        QTest::newRow("clerk") << 1;
        QTest::newRow("seller") << 2;
    }
    void backupByRole() {
        QFETCH(int, role);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.op.role = role;
        CSysmanDlg page(shop.ctx);
        QVERIFY(Find<QPushButton>(&page, QStringLiteral("数据备份")));
        MessageRecorder messages;
        Click(&page, QStringLiteral("数据备份"));
        const QString folder = shop.dataFolder() + QStringLiteral("/backup");
        const QStringList copies = QDir(folder).entryList(QDir::Files);
        if (role != 0) {
            QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("对不起，您没有此操作权限")});
            QVERIFY(messages.boxes.isEmpty());
            QVERIFY(copies.isEmpty());
            return;
        }
        QVERIFY(messages.toasts.isEmpty());
        QCOMPARE(messages.boxes.size(), 1);
        if (shop.isPostgres() && messages.boxes[0].kind == QLatin1String("warn"))
            QSKIP("no pg_dump here");
        QCOMPARE(messages.boxes[0].kind, QStringLiteral("inform"));
        QCOMPARE(copies.size(), 1);
        const QString file = folder + QLatin1Char('/') + copies[0];
        QCOMPARE(messages.boxes[0].text, QStringLiteral("备份成功，备份文件：\n") + file);
        if (!shop.isPostgres())
            QCOMPARE(db::CheckDatabaseFile(file), QString());
    }
};

QTEST_MAIN(TestBackupButton)
#include "tst_backup_button.moc"
