#include "TableDump.h"
#include "TestShop.h"

#include "core/products/ProductImport.h"
#include "core/store/Vocabulary.h"
#include "core/support/SpreadSheet.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

namespace {

QString dataFile(const QString& name) {
    return QStringLiteral(SELVO_TEST_DATA_DIR "/") + name;
}

QString sourceTemplate() {
    return QDir::cleanPath(QStringLiteral(SELVO_TEST_DATA_DIR "/../../Template"));
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// Categories 饮料 and 日用, and a product 可乐 that the sheets repeat.
struct Shop {
    TestShop shop;
    int drinks = 0;
    int daily = 0;
    Shop() {
        drinks = shop.addCategory(QStringLiteral("饮料"));
        daily = shop.addCategory(QStringLiteral("日用"));
        shop.addProduct(QStringLiteral("1000001"), QStringLiteral("可乐"), 3, 2, 5, drinks);
    }
    struct Run {
        QString refusal;
        ImportCounters counters;
        QList<ProductRow> created;
    };
    Run import(const QString& path, int batchRows = ProductImport::kBatchRows) {
        CSpreadSheet sheet(path, ImportSheetName());
        ProductImport import(shop.ctx, sheet);
        Run r;
        r.refusal = import.refusal();
        r.created = import.importAll(batchRows);
        r.counters = import.counters();
        return r;
    }
    // The stored product of that name: the columns the import writes, as text.
    QStringList stored(const QString& name) {
        auto q = shop.ctx.db.select(
            QStringLiteral(
                "SELECT PrdCode, FirstSpell, PurchasePrice, Price, MustIntNum, PrdType, MeasuringUnit, "
                "State, PrdProperty, PrdInventory, LastEditDate FROM tb_product WHERE PrdName = ?"),
            {name});
        if (!q || !q->next())
            return {QStringLiteral("<missing>")};
        QStringList texts;
        for (int c = 1; c < 10; ++c)
            texts << (c == 2 || c == 3 || c == 9 ? QString::number(q->value(c).toDouble())
                                                 : q->value(c).toString());
        const QString code = q->value(0).toString();
        if (code.size() < 7 || code.size() > 9 || code.toLongLong() < 1000000)
            texts << QStringLiteral("bad code ") + code;
        if (!q->value(10).isValid() || q->value(10).isNull())
            texts << QStringLiteral("no LastEditDate");
        if (q->next())
            texts << QStringLiteral("<twice>");
        return texts;
    }
    // Every product but its code, ID and dates, sorted: what two imports that went alike share.
    QStringList catalogue() {
        QStringList rows;
        auto q = shop.ctx.db.select(QStringLiteral(
            "SELECT PrdName, FirstSpell, PurchasePrice, Price, MustIntNum, PrdType, MeasuringUnit, State, "
            "PrdProperty, PrdInventory FROM tb_product"));
        while (q && q->next()) {
            QStringList cells;
            for (int c = 0; c < 10; ++c)
                cells << q->value(c).toString();
            rows << cells.join(u'|');
        }
        rows.sort();
        return rows;
    }
    // Every table but the products.
    QMap<QString, QStringList> others() {
        auto dump = test::DumpTables(shop.ctx);
        dump.remove(QStringLiteral("tb_product"));
        return dump;
    }
};

QStringList texts(std::initializer_list<const char*> list) {
    QStringList result;
    for (const char* t : list)
        result << QString::fromUtf8(t);
    return result;
}

} // namespace

class TestProductImport final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qInfo("engine: %s", qPrintable(TestShop::engineName())); }

    void formats_data() {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("xls") << QStringLiteral(".xls");
        QTest::newRow("xlsx") << QStringLiteral(".xlsx");
    }

    // Five rows: one name exists, one category does not; the rest land with their columns read
    // as the template gives them (name as typed, category name trimmed, "否", "特价", "赠品").
    void fiveRows_data() { formats_data(); }
    void fiveRows() {
        QFETCH(QString, suffix);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const Shop::Run r = s.import(dataFile(QStringLiteral("import-five") + suffix));
        QCOMPARE(r.refusal, QString());
        QCOMPARE(ImportSummaryText(r.counters),
                 QStringLiteral("完成!\n\n共 5 条\n成功导入 3 条\n过滤重复 1 条\n"
                                "排除出错 0 条\n产品类别错误 1 条"));
        const QString drinks = QString::number(s.drinks);
        const QString daily = QString::number(s.daily);
        // FirstSpell, purchase, price, MustIntNum, PrdType, unit, State, PrdProperty, stock
        QCOMPARE(s.stored(QStringLiteral("雪碧")),
                 (QStringList{QStringLiteral("XB"), QStringLiteral("2"), QStringLiteral("3.5"),
                              QStringLiteral("0"), drinks, QStringLiteral("瓶"), QStringLiteral("1"),
                              QStringLiteral("2"), QStringLiteral("10.5")}));
        QCOMPARE(s.stored(QStringLiteral(" 薯片 ")),
                 (QStringList{QStringLiteral("SP"), QStringLiteral("1.5"), QStringLiteral("4.5"),
                              QStringLiteral("1"), daily, QStringLiteral("包"), QStringLiteral("1"),
                              QStringLiteral("3"), QStringLiteral("3")}));
        QCOMPARE(s.stored(QStringLiteral("牙刷")),
                 (QStringList{QStringLiteral("YS"), QStringLiteral("1"), QStringLiteral("2"),
                              QStringLiteral("1"), daily, QStringLiteral("支"), QStringLiteral("1"),
                              QStringLiteral("1"), QStringLiteral("0")}));
        QCOMPARE(s.shop.count(QStringLiteral("tb_product"), QStringLiteral("PrdName = ?"),
                              {QStringLiteral("可乐")}),
                 qint64(1));
        QCOMPARE(s.shop.count(QStringLiteral("tb_product")), qint64(4));
        // The page is told of each new product in sheet order, as it lists it.
        QCOMPARE(r.created.size(), 3);
        QStringList names;
        for (const ProductRow& p : r.created) {
            names << p.name;
            const std::optional<ProductRow> read = ReadProductRow(s.shop.ctx, p.id);
            QVERIFY(read);
            QCOMPARE(ProductColumns(p), ProductColumns(*read));
            QCOMPARE(p.category, read->category);
            QCOMPARE(p.state, read->state);
        }
        QCOMPARE(names, texts({"雪碧", " 薯片 ", "牙刷"}));
    }

    // Two new rows with one name: the first lands, the second is a duplicate.
    void twoRowsOneName_data() { formats_data(); }
    void twoRowsOneName() {
        QFETCH(QString, suffix);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const Shop::Run r = s.import(dataFile(QStringLiteral("import-twins") + suffix));
        QCOMPARE(ImportSummaryText(r.counters),
                 QStringLiteral("完成!\n\n共 2 条\n成功导入 1 条\n过滤重复 1 条\n排除出错 0 条"));
        QCOMPARE(s.stored(QStringLiteral("芬达")).mid(1, 6),
                 (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("1"),
                              QString::number(s.drinks), QStringLiteral("瓶"), QStringLiteral("1")}));
    }

    // Figures and names the import must read right or count as errors, never half-write.
    void values_data() { formats_data(); }
    void values() {
        QFETCH(QString, suffix);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const Shop::Run r = s.import(dataFile(QStringLiteral("import-values") + suffix));
        QCOMPARE(r.refusal, QString());
        QCOMPARE(r.counters.rows, 17);
        QCOMPARE(r.counters.duplicates, 0);
        QCOMPARE(r.counters.categoryErrors, 0);
        QStringList imported;
        for (const ProductRow& p : r.created)
            imported << p.name;
        const QString longName(1000, QChar(0x957F)); // 长
        const QString sql = QStringLiteral("x'); DROP TABLE tb_product;--");
        QCOMPARE(imported, (QStringList{QStringLiteral("文本数字"), longName, QStringLiteral("可乐🥤"),
                                        QStringLiteral("𠮷野家"), sql, QStringLiteral("西瓜"),
                                        QStringLiteral("特价带空格")}));
        QCOMPARE(r.counters.imported, 7);
        QCOMPARE(r.counters.errors, 10); // abc, nan, inf, -1, purchase abc, 0x10, 1e400, no name, blank, [特]
        QCOMPARE(s.shop.count(QStringLiteral("tb_product")), qint64(1 + 7));

        // Numbers written as text read as numbers.
        QCOMPARE(s.stored(QStringLiteral("文本数字")).mid(1, 3),
                 (QStringList{QStringLiteral("2.5"), QStringLiteral("3.5"), QStringLiteral("0")}));
        QCOMPARE(s.stored(QStringLiteral("文本数字")).at(8), QStringLiteral("10"));
        // Names come back exactly: long, emoji, outside GBK, SQL text.
        QCOMPARE(s.stored(longName).at(0).size(), 1000);
        QCOMPARE(s.stored(QStringLiteral("可乐🥤")).at(0), QStringLiteral("KL?"));
        QVERIFY(!s.stored(QStringLiteral("𠮷野家")).at(0).startsWith(u'<'));
        QCOMPARE(s.stored(sql).size(), 9);
        // A whole-number product's opening stock keeps its whole part, as in the editor.
        QCOMPARE(s.stored(QStringLiteral("西瓜")).at(8), QStringLiteral("2"));
        // Only exactly "否" and "特价" count.
        QCOMPARE(s.stored(QStringLiteral("特价带空格")).mid(3, 1), QStringList{QStringLiteral("1")});
        QCOMPARE(s.stored(QStringLiteral("特价带空格")).at(7), QStringLiteral("1"));
    }

    // A sheet of five columns: every row lacks cells; the name and category checks still come first.
    void rowsWithFewerCells_data() { formats_data(); }
    void rowsWithFewerCells() {
        QFETCH(QString, suffix);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const Shop::Run r = s.import(dataFile(QStringLiteral("import-narrow") + suffix));
        QCOMPARE(ImportSummaryText(r.counters),
                 QStringLiteral("完成!\n\n共 3 条\n成功导入 0 条\n过滤重复 1 条\n"
                                "排除出错 1 条\n产品类别错误 1 条"));
        QCOMPARE(s.shop.count(QStringLiteral("tb_product")), qint64(1));
    }

    // Files the import refuses with the template messages, writing nothing.
    void refused_data() {
        QTest::addColumn<QString>("file"); // in the data folder, or written by the test
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        const QString wrong = TemplateFormatWrongText();
        for (const QString& suffix : {QStringLiteral(".xls"), QStringLiteral(".xlsx")}) {
            QTest::addRow("only titles%s", qPrintable(suffix))
                << QStringLiteral("import-titles") + suffix << QByteArray() << TemplateEmptyText();
            QTest::addRow("three columns%s", qPrintable(suffix))
                << QStringLiteral("import-three-columns") + suffix << QByteArray() << wrong;
            QTest::addRow("no such worksheet%s", qPrintable(suffix))
                << QStringLiteral("import-other-sheet") + suffix << QByteArray() << wrong;
            QTest::addRow("missing file%s", qPrintable(suffix))
                << QStringLiteral("none") + suffix << QByteArray() << wrong;
            QTest::addRow("empty file%s", qPrintable(suffix))
                << QStringLiteral("written") + suffix << QByteArray("") << wrong;
            QTest::addRow("text file%s", qPrintable(suffix))
                << QStringLiteral("written") + suffix
                << QStringLiteral("产品名称,产品类别,采购价,零售价\n可乐,饮料,1,2\n").toUtf8() << wrong;
        }
        QTest::newRow("damaged-1.xls") << QStringLiteral("damaged-1.xls") << QByteArray() << wrong;
        QTest::newRow("damaged-2.xls") << QStringLiteral("damaged-2.xls") << QByteArray() << wrong;
        const QByteArray xlsx = bytesOf(dataFile(QStringLiteral("import-five.xlsx")));
        QTest::newRow("xlsx cut in half")
            << QStringLiteral("written.xlsx") << xlsx.left(xlsx.size() / 2) << wrong;
        QByteArray flipped = xlsx;
        for (qsizetype i = 1200; i < 1400; ++i) // inside the compressed parts
            flipped[i] = char(flipped[i] ^ 0x5A);
        QTest::newRow("xlsx with damaged parts") << QStringLiteral("written.xlsx") << flipped << wrong;
    }
    void refused() {
        QFETCH(QString, file);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        QTemporaryDir dir;
        QString path = dataFile(file);
        if (file.startsWith(QLatin1String("written")) || file.startsWith(QLatin1String("none"))) {
            path = dir.filePath(file);
            if (file.startsWith(QLatin1String("written")))
                QVERIFY(writeFile(path, bytes));
        }
        const auto before = test::DumpTables(s.shop.ctx);
        const Shop::Run r = s.import(path);
        QCOMPARE(r.refusal, message);
        QCOMPARE(r.counters.handled(), 0);
        QVERIFY(r.created.isEmpty());
        QVERIFY(test::DumpTables(s.shop.ctx) == before);
    }

    // Batch by batch, as the progress dialog drives it: stopping keeps what was imported and
    // the counters so far; going on imports the rest.
    void batches() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        CSpreadSheet sheet(dataFile(QStringLiteral("import-many.xls")), ImportSheetName());
        ProductImport import(s.shop.ctx, sheet);
        QCOMPARE(import.refusal(), QString());
        QCOMPARE(import.counters().rows, 3000);
        QCOMPARE(import.importBatch(200).size(), 200);
        QCOMPARE(import.importBatch(200).size(), 200);
        QCOMPARE(import.rowsDone(), 400);
        QVERIFY(!import.atEnd());
        QCOMPARE(s.shop.count(QStringLiteral("tb_product")), qint64(401));
        QCOMPARE(ImportSummaryText(import.counters(), true),
                 QStringLiteral(
                     "已取消!\n\n共 3000 条\n成功导入 400 条\n过滤重复 0 条\n排除出错 0 条\n未处理 2600 条"));
        QCOMPARE(s.stored(QStringLiteral("批量0400")).at(8), QStringLiteral("1"));
        QCOMPARE(s.stored(QStringLiteral("批量0401")), QStringList{QStringLiteral("<missing>")});
        QCOMPARE(import.importAll(700).size(), 2600);
        QVERIFY(import.atEnd());
        QCOMPARE(import.counters().imported, 3000);
        QCOMPARE(s.shop.count(QStringLiteral("tb_product")), qint64(3001));
        QCOMPARE(s.shop.count(QStringLiteral("tb_product"), QStringLiteral("FirstSpell LIKE 'PL%'")),
                 qint64(3000));
    }

    // A row the database refuses every time is counted as an error; the rows before and after it
    // land, in the same batch.
    void refusedRowSkipped() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const bool trigger =
            s.shop.isPostgres()
                ? s.shop.ctx.db.exec(QStringLiteral(
                      "CREATE FUNCTION refuse_sprite() RETURNS trigger AS $$ BEGIN "
                      "IF NEW.PrdName = '雪碧' THEN RAISE EXCEPTION 'refused'; END IF; RETURN NEW; END $$ "
                      "LANGUAGE plpgsql")) &&
                      s.shop.ctx.db.exec(
                          QStringLiteral("CREATE TRIGGER refuse_sprite BEFORE INSERT ON tb_product "
                                         "FOR EACH ROW EXECUTE FUNCTION refuse_sprite()"))
                : s.shop.ctx.db.exec(
                      QStringLiteral("CREATE TRIGGER refuse_sprite BEFORE INSERT ON tb_product "
                                     "WHEN NEW.PrdName = '雪碧' BEGIN SELECT RAISE(ABORT, 'refused'); END"));
        QVERIFY2(trigger, qPrintable(s.shop.ctx.db.lastError()));
        const Shop::Run r = s.import(dataFile(QStringLiteral("import-five.xls")));
        QCOMPARE(ImportSummaryText(r.counters),
                 QStringLiteral("完成!\n\n共 5 条\n成功导入 2 条\n过滤重复 1 条\n"
                                "排除出错 1 条\n产品类别错误 1 条"));
        QCOMPARE(s.stored(QStringLiteral("雪碧")), QStringList{QStringLiteral("<missing>")});
        QCOMPARE(s.stored(QStringLiteral(" 薯片 ")).at(0), QStringLiteral("SP"));
        QCOMPARE(s.stored(QStringLiteral("牙刷")).at(0), QStringLiteral("YS"));
        QCOMPARE(s.shop.ctx.db.transactionDepth(), 0);
    }

    // A failure at any statement of the import: the batch is done again row by row and the
    // shop ends exactly as after an import without a failure; nothing else is touched.
    void failureAtEveryStatement() {
        Shop clean;
        QVERIFY2(clean.shop.ok(), qPrintable(clean.shop.error()));
        clean.import(dataFile(QStringLiteral("import-five.xls")));
        const QStringList expected = clean.catalogue();

        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const auto others = s.others();
        int failures = 0;
        for (int n = 1;; ++n) {
            s.shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_product WHERE PrdName <> ?"),
                               {QStringLiteral("可乐")});
            s.shop.ctx.db.failNthStatement(n);
            const Shop::Run r = s.import(dataFile(QStringLiteral("import-five.xls")));
            const bool reached = s.shop.ctx.db.failpointReached();
            s.shop.ctx.db.failNthStatement(0);
            const QString where = QStringLiteral("statement %1").arg(n);
            QCOMPARE(s.shop.ctx.db.transactionDepth(), 0);
            QVERIFY2(s.catalogue() == expected, qPrintable(where));
            QVERIFY2(s.others() == others, qPrintable(where));
            QVERIFY2(r.counters.imported == 3 && r.counters.duplicates == 1 &&
                         r.counters.categoryErrors == 1 && r.counters.errors == 0,
                     qPrintable(where));
            QCOMPARE(r.created.size(), 3);
            if (!reached)
                break;
            ++failures;
        }
        QVERIFY(failures > 0);
    }

    // The delivered template: its worksheet, the eight titles and an example row that imports.
    void deliveredTemplate() {
        const QString path = QDir(sourceTemplate()).filePath(TemplateFileName());
        CSpreadSheet sheet(path, ImportSheetName());
        QCOMPARE(sheet.lastError(), QString());
        QCOMPARE(sheet.totalRows(), 2);
        QCOMPARE(sheet.totalColumns(), 8);
        QCOMPARE(sheet.columnNames(), texts({"产品名称", "产品类别", "采购价", "零售价", "计量单位",
                                             "整数销售", "产品性质", "初始库存"}));
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const Shop::Run r = s.import(path);
        QCOMPARE(ImportSummaryText(r.counters),
                 QStringLiteral("完成!\n\n共 1 条\n成功导入 1 条\n过滤重复 0 条\n排除出错 0 条"));
        // The build tree holds the same template beside the program.
        QCOMPARE(
            bytesOf(
                QFileInfo(QStringLiteral(SELVO_GUI_PATH)).dir().filePath(QStringLiteral("Template/prd.xls"))),
            bytesOf(path));
    }

    void templateCopy() {
        QCOMPARE(ProposedTemplateName(QDateTime(QDate(2016, 6, 15), QTime(9, 30, 5))),
                 QStringLiteral("产品导入模板(2016-06-15 09.30.05).xls"));
        QTemporaryDir dir;
        const QByteArray original = bytesOf(QDir(sourceTemplate()).filePath(TemplateFileName()));
        const QString target = dir.filePath(QStringLiteral("模板.xls"));
        QVERIFY(CopyTemplate(sourceTemplate(), target));
        QCOMPARE(bytesOf(target), original);
        QVERIFY(writeFile(target, "older file"));
        QVERIFY(CopyTemplate(sourceTemplate(), target)); // replaced
        QCOMPARE(bytesOf(target), original);
        // No template, or nowhere to write: false, and the file there stays as it was.
        QVERIFY(writeFile(target, "kept"));
        QVERIFY(!CopyTemplate(dir.filePath(QStringLiteral("nothing here")), target));
        QVERIFY(!CopyTemplate(QString(), target));
        QCOMPARE(bytesOf(target), QByteArray("kept"));
        QVERIFY(!CopyTemplate(sourceTemplate(), dir.filePath(QStringLiteral("no/such/folder/t.xls"))));
        QVERIFY(!CopyTemplate(sourceTemplate(), dir.path()));
        QCOMPARE(TemplateCopyFailedText(), QStringLiteral("模板文件保存失败，请重试！"));
    }
};

QTEST_GUILESS_MAIN(TestProductImport)
#include "tst_product_import.moc"
