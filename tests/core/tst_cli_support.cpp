// selvo-cli initials and read-sheet.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run cli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(SELVO_CLI_PATH), args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString dataFile(const char* name) {
    return QStringLiteral(SELVO_TEST_DATA_DIR "/") + QLatin1String(name);
}

} // namespace

class TestCliSupport final : public QObject {
    Q_OBJECT

private slots:
    void initials() {
        Run r = cli({QStringLiteral("initials"), QStringLiteral("（大）可口可乐")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("DKKKL\n"));
        r = cli({QStringLiteral("initials"), QStringLiteral("王"), QStringLiteral("小明")});
        QCOMPARE(r.out, QStringLiteral("W XM\n"));
        QCOMPARE(cli({QStringLiteral("initials")}).code, 2);
    }

    void readWorkbook_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("xls") << dataFile("sheets.xls");
        QTest::newRow("xlsx") << dataFile("sheets.xlsx");
    }
    void readWorkbook() {
        QFETCH(QString, file);
        const Run r = cli({QStringLiteral("read-sheet"), file});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("rows: 4\ncolumns: 6\n"
                                       "编号\t名称\t售价\t库存\t备注\t日期\n"
                                       "P001\t可口可乐\t3.5\t10\t,;.?\t2024-03-05\n"
                                       "P002\t\t12\t0.1\t\"引号\",;.?\"在内\"\t1999-12-31\n"
                                       "6901234567890\t薯片(大包)\t-2.25\t0\t\t\n"));
        const Run other = cli({QStringLiteral("read-sheet"), file, QStringLiteral("Sheet1")});
        QCOMPARE(other.out, QStringLiteral("rows: 1\ncolumns: 1\nnot this one\n"));
    }

    // The template delivered with the program reads back: its titles and the example row.
    void readTemplate() {
        const Run r = cli({QStringLiteral("read-sheet"), dataFile("../../Template/prd.xls")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out,
                 QStringLiteral("rows: 2\ncolumns: 8\n"
                                "产品名称\t产品类别\t采购价\t零售价\t计量单位\t整数销售\t产品性质\t初始库存\n"
                                "可口可乐(500ml)\t饮料\t2.5\t3.5\t瓶\t是\t常规\t24\n"));
    }

    void nothingRead_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing worksheet") << QStringList{dataFile("sheets.xls"), QStringLiteral("没有")}
                                           << "Worksheet not found in workbook";
        QTest::newRow("damaged workbook")
            << QStringList{dataFile("damaged-1.xls")} << "Error in opening file";
        QTest::newRow("missing file") << QStringList{dataFile("none.csv")} << "Error in opening file";
        QTest::newRow("missing worksheet, xlsx")
            << QStringList{dataFile("sheets.xlsx"), QStringLiteral("没有")}
            << "Worksheet not found in workbook";
        QTest::newRow("not a workbook, xlsx")
            << QStringList{dataFile("xlsx-no-workbook.xlsx")} << "Error in opening file";
    }
    void nothingRead() {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const Run r = cli(QStringList{QStringLiteral("read-sheet")} + args);
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QStringLiteral("rows: 0\ncolumns: 0\n"));
        QCOMPARE(r.err.trimmed(), error);
    }

    // A tab or backslash inside a cell cannot pass for a column boundary.
    void textFileCellsEscaped() {
        QTemporaryDir dir;
        QFile f(dir.filePath(QStringLiteral("rows.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("a;b\r\nx\ty;c:\\d\r\n");
        f.close();
        const Run r = cli({QStringLiteral("read-sheet"), f.fileName(), QStringLiteral(";")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("rows: 2\ncolumns: 2\na\tb\nx\\ty\tc:\\\\d\n"));
    }
};

QTEST_GUILESS_MAIN(TestCliSupport)
#include "tst_cli_support.moc"
