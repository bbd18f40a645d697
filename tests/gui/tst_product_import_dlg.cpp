#include "GuiDriver.h"
#include "TestShop.h"

#include "core/products/ProductImport.h"
#include "core/store/InstallPaths.h"
#include "core/support/Clock.h"
#include "gui/app/FileDialogs.h"
#include "gui/app/Messages.h"
#include "gui/products/CPrdManDlg.h"
#include "gui/products/ProductImportFlow.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace selvo;
using namespace selvo::gui;
using selvo::test::Click;
using selvo::test::Find;
using selvo::test::TestShop;

namespace {

QString dataFile(const QString& name) {
    return QStringLiteral(SELVO_TEST_DATA_DIR "/") + name;
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The shop the import sheets expect (饮料, 日用, 可乐) and its product page after the first filling,
// with the template of the build tree.
struct Page {
    TestShop shop;
    int drinks = 0;
    int daily = 0;
    std::unique_ptr<CPrdManDlg> page;
    Page() {
        for (auto [name, id] :
             {std::pair{QStringLiteral("饮料"), &drinks}, std::pair{QStringLiteral("日用"), &daily}})
            *id = shop.addCategory(name);
        shop.addProduct(QStringLiteral("1000001"), QStringLiteral("可乐"), 3, 2, 5, drinks);
        page = std::make_unique<CPrdManDlg>(shop.ctx);
        page->setTemplateFolder(TemplateFolder(QFileInfo(QStringLiteral(SELVO_GUI_PATH)).absolutePath()));
        page->resize(1200, 600);
        page->show();
        QTRY_VERIFY(page->tree()->rootNode() != nullptr);
        QTRY_COMPARE(page->list()->rowCount(), 1);
    }
    QStringList listedNames() const {
        QStringList names;
        for (int r = 0; r < page->list()->rowCount(); ++r)
            names << page->list()->itemText(r, 1);
        return names;
    }
    QString rootText() const { return page->tree()->rootNode()->text(0); }
};

int importedIn(const QString& summary) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("成功导入 (\\d+) 条")).match(summary);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

class TestProductImportDlg final : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetShowFileHook({}); }

    // "获取模板": the proposed name with the local time, the copy of the delivered template, the
    // copy shown in the file manager; cancelling does nothing; a failed copy is said.
    void getTemplate() {
        Page p;
        QVERIFY2(p.shop.ok(), qPrintable(p.shop.error()));
        QVERIFY(!p.page->templateFolder().isEmpty());
        ManualClock clock(QDateTime(QDate(2016, 6, 15), QTime(9, 30, 5)));
        Clock::setInstance(&clock);
        QTemporaryDir dir;
        QStringList shown;
        SetShowFileHook([&](const QString& path) { shown << path; });
        QStringList asked;
        QString answer = dir.filePath(QStringLiteral("我的模板")); // no suffix: ".xls" is added
        ScopedFileDialogHook files([&](const QString& kind, const QString& proposed) {
            asked << kind + u':' + proposed;
            return answer;
        });
        MessageRecorder messages;
        Click(p.page.get(), QStringLiteral("获取模板"));
        Clock::setInstance(nullptr);
        QCOMPARE(asked, QStringList{QStringLiteral("save:产品导入模板(2016-06-15 09.30.05).xls")});
        const QString saved = dir.filePath(QStringLiteral("我的模板.xls"));
        QCOMPARE(bytesOf(saved), bytesOf(QDir(p.page->templateFolder()).filePath(QStringLiteral("prd.xls"))));
        QVERIFY(!bytesOf(saved).isEmpty());
        QCOMPARE(shown, QStringList{saved});
        QVERIFY(messages.boxes.isEmpty());

        answer.clear(); // cancelled
        Click(p.page.get(), QStringLiteral("获取模板"));
        QCOMPARE(shown.size(), 1);
        QVERIFY(messages.boxes.isEmpty());

        p.page->setTemplateFolder(dir.filePath(QStringLiteral("nothing")));
        answer = dir.filePath(QStringLiteral("second.xls"));
        Click(p.page.get(), QStringLiteral("获取模板"));
        QCOMPARE(messages.boxTexts(), QStringList{TemplateCopyFailedText()});
        QVERIFY(!QFile::exists(answer));
        QCOMPARE(shown.size(), 1);
    }

    // "导入产品": the open dialog (cancelled: nothing), the closing message with the counters,
    // the new products at the top of the list and in the tree counts.
    void importProducts_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xls") << QStringLiteral("import-five.xls");
        QTest::newRow("xlsx") << QStringLiteral("import-five.xlsx");
    }
    void importProducts() {
        QFETCH(QString, file);
        Page p;
        QVERIFY2(p.shop.ok(), qPrintable(p.shop.error()));
        QString answer;
        QStringList asked;
        ScopedFileDialogHook files([&](const QString& kind, const QString&) {
            asked << kind;
            return answer;
        });
        MessageRecorder messages;
        Click(p.page.get(), QStringLiteral("导入产品"));
        QCOMPARE(asked, QStringList{QStringLiteral("open")});
        QVERIFY(messages.boxes.isEmpty());
        QCOMPARE(p.listedNames(), QStringList{QStringLiteral("可乐")});

        answer = dataFile(file);
        Click(p.page.get(), QStringLiteral("导入产品"));
        QCOMPARE(messages.boxTexts(),
                 QStringList{QStringLiteral("完成!\n\n共 5 条\n成功导入 3 条\n过滤重复 1 条\n"
                                            "排除出错 0 条\n产品类别错误 1 条")});
        QCOMPARE(messages.boxes.first().kind, QStringLiteral("inform"));
        QCOMPARE(p.listedNames(), (QStringList{QStringLiteral("牙刷"), QStringLiteral(" 薯片 "),
                                               QStringLiteral("雪碧"), QStringLiteral("可乐")}));
        QCOMPARE(p.page->list()->rowTexts(2).mid(2, 6),
                 (QStringList{QStringLiteral("XB"), QStringLiteral("￥3.50"), QStringLiteral("瓶"),
                              QStringLiteral("特价商品"), QStringLiteral("饮料"), QStringLiteral("10.5")}));
        QCOMPARE(p.rootText(), QStringLiteral("全部商品   [0/4]"));
        QCOMPARE(ImportFileFilter(), QStringLiteral("(*.xls *.xlsx)"));
    }

    // A category selected: only its new products join the list; the counts follow all of them.
    void importWithCategorySelected() {
        Page p;
        QVERIFY2(p.shop.ok(), qPrintable(p.shop.error()));
        p.page->tree()->setCurrentItem(p.page->tree()->FindCategoryNode(p.page->tree()->rootNode(), p.daily));
        QTRY_COMPARE(p.page->list()->rowCount(), 0);
        ScopedFileDialogHook files(
            [](const QString&, const QString&) { return dataFile(QStringLiteral("import-five.xls")); });
        MessageRecorder messages;
        Click(p.page.get(), QStringLiteral("导入产品"));
        QCOMPARE(p.listedNames(), (QStringList{QStringLiteral("牙刷"), QStringLiteral(" 薯片 ")}));
        QCOMPARE(p.rootText(), QStringLiteral("全部商品   [0/4]"));
    }

    // The template messages, shown in a box; nothing is imported.
    void refusals_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("only titles") << QStringLiteral("import-titles.xlsx")
                                     << QStringLiteral("请先录入数据");
        QTest::newRow("three columns")
            << QStringLiteral("import-three-columns.xls") << QStringLiteral("模板文件格式不正确");
        QTest::newRow("damaged workbook")
            << QStringLiteral("damaged-1.xls") << QStringLiteral("模板文件格式不正确");
    }
    void refusals() {
        QFETCH(QString, file);
        QFETCH(QString, message);
        Page p;
        QVERIFY2(p.shop.ok(), qPrintable(p.shop.error()));
        ScopedFileDialogHook files([&](const QString&, const QString&) { return dataFile(file); });
        MessageRecorder messages;
        Click(p.page.get(), QStringLiteral("导入产品"));
        QCOMPARE(messages.boxTexts(), QStringList{message});
        QCOMPARE(p.shop.count(QStringLiteral("tb_product")), qint64(1));
        QCOMPARE(p.listedNames(), QStringList{QStringLiteral("可乐")});
    }

    // The progress dialog's 取消 stops after the batch under way: what was imported stays, in the
    // list and in the closing message with the counters so far.
    void cancelHalfWay() {
        Page p;
        QVERIFY2(p.shop.ok(), qPrintable(p.shop.error()));
        ScopedFileDialogHook files(
            [](const QString&, const QString&) { return dataFile(QStringLiteral("import-many.xls")); });
        MessageRecorder messages;
        bool seen = false;
        QTimer poll;
        poll.setInterval(0);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* progress = p.page->findChild<QProgressDialog*>();
            if (!progress)
                return;
            poll.stop();
            seen = true;
            QCOMPARE(progress->maximum(), 3000);
            QCOMPARE(progress->windowModality(), Qt::WindowModal);
            auto* cancel = Find<QPushButton>(progress, QStringLiteral("取消"));
            QVERIFY(cancel);
            cancel->click();
        });
        poll.start();
        Click(p.page.get(), QStringLiteral("导入产品"));
        QVERIFY(seen);
        QCOMPARE(messages.boxTexts().size(), 1);
        const QString summary = messages.boxTexts().first();
        QVERIFY2(summary.startsWith(QStringLiteral("已取消!\n\n共 3000 条\n")), qPrintable(summary));
        const int imported = importedIn(summary);
        QVERIFY2(imported > 0 && imported < 3000, qPrintable(summary));
        QVERIFY(summary.endsWith(QStringLiteral("\n未处理 %1 条").arg(3000 - imported)));
        QCOMPARE(p.shop.count(QStringLiteral("tb_product")), qint64(1 + imported));
        QCOMPARE(p.page->list()->rowCount(), 1 + imported);
        QCOMPARE(p.rootText(), QStringLiteral("全部商品   [0/%1]").arg(1 + imported));
        QVERIFY(!p.page->findChild<QProgressDialog*>() ||
                !p.page->findChild<QProgressDialog*>()->isVisible());
    }
};

QTEST_MAIN(TestProductImportDlg)
#include "tst_product_import_dlg.moc"
