#include "core/support/Encoding.h"
#include "core/support/SpreadSheet.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;

namespace {

const QString kSheet = QStringLiteral("产品导入模板");

QString dataFile(const char* name) {
    return QStringLiteral(SELVO_TEST_DATA_DIR "/") + QLatin1String(name);
}

QByteArray fixtureBytes() {
    QFile f(dataFile("sheets.xls"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList list(std::initializer_list<const char*> texts) {
    QStringList result;
    for (const char* t : texts)
        result << QString::fromUtf8(t);
    return result;
}

QStringList row(CSpreadSheet& sheet, int n) {
    QStringList texts;
    if (!sheet.ReadRow(n, texts))
        return {QStringLiteral("<no row %1>").arg(n)};
    return texts;
}

} // namespace

class TestSpreadSheet final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(!fixtureBytes().isEmpty(), "tests/data/sheets.xls is missing (tests/data/make_sheets.py)");
    }

    void workbookCells() {
        CSpreadSheet sheet(dataFile("sheets.xls"), kSheet);
        QVERIFY(sheet.isWorkbook());
        QCOMPARE(sheet.lastError(), QString());
        QCOMPARE(sheet.totalRows(), 4);
        QCOMPARE(sheet.totalColumns(), 6);
        QCOMPARE(sheet.columnNames(), list({"编号", "名称", "售价", "库存", "备注", "日期"}));
        QCOMPARE(row(sheet, 2), list({"P001", "可口可乐", "3.5", "10", ",;.?", "2024-03-05"}));
        // An empty cell in the middle; a cell holding the separator between quotes stays one cell.
        QCOMPARE(row(sheet, 3), list({"P002", "", "12", "0.1", "\"引号\",;.?\"在内\"", "1999-12-31"}));
        QCOMPARE(row(sheet, 4), list({"6901234567890", "薯片(大包)", "-2.25", "0", "", ""}));
    }

    void readRowSequence() {
        CSpreadSheet sheet(dataFile("sheets.xls"), kSheet);
        QStringList texts;
        QVERIFY(sheet.ReadRow(0, texts));
        QCOMPARE(texts.first(), QStringLiteral("编号"));
        QVERIFY(sheet.ReadRow(3, texts));
        QCOMPARE(texts.first(), QStringLiteral("P002"));
        QVERIFY(sheet.ReadRow(0, texts)); // the row after the one read last
        QCOMPARE(texts.first(), QStringLiteral("6901234567890"));
        QVERIFY(!sheet.ReadRow(0, texts));
        QCOMPARE(sheet.lastError(), QString());

        texts = QStringList{QStringLiteral("kept")};
        QVERIFY(!sheet.ReadRow(5, texts));
        QCOMPARE(sheet.lastError(), CSpreadSheet::kErrorRowOutOfRange);
        QVERIFY(!sheet.ReadRow(-1, texts));
        QCOMPARE(sheet.lastError(), CSpreadSheet::kErrorRowBelowOne);
        QCOMPARE(texts, QStringList{QStringLiteral("kept")});
    }

    void worksheetByName() {
        CSpreadSheet other(dataFile("sheets.xls"), QStringLiteral("sheet1"));
        QCOMPARE(other.totalRows(), 1);
        QCOMPARE(other.columnNames(), QStringList{QStringLiteral("not this one")});

        CSpreadSheet missing(dataFile("sheets.xls"), QStringLiteral("没有这页"));
        QCOMPARE(missing.totalRows(), 0);
        QCOMPARE(missing.totalColumns(), 0);
        QCOMPARE(missing.lastError(), CSpreadSheet::kErrorNoWorksheet);
        QStringList texts;
        QVERIFY(!missing.ReadRow(0, texts));
        QVERIFY(!missing.ReadRow(1, texts));

        CSpreadSheet empty(dataFile("sheets.xls"), QStringLiteral("empty"));
        QCOMPARE(empty.totalRows(), 0);
        QCOMPARE(empty.totalColumns(), 0);
        QVERIFY(!empty.ReadRow(0, texts));
    }

    // An empty row between data rows stays in place; formatted empty rows at the end are dropped.
    void emptyRows() {
        CSpreadSheet sheet(dataFile("sheets.xls"), QStringLiteral("gaps"));
        QCOMPARE(sheet.totalRows(), 4);
        QCOMPARE(row(sheet, 3), list({"", ""}));
        QCOMPARE(row(sheet, 4), list({"雪碧", "2"}));
    }

    void upperCaseEnding() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("PRD.XLS"));
        QVERIFY(QFile::copy(dataFile("sheets.xls"), path));
        CSpreadSheet sheet(path, kSheet);
        QVERIFY(sheet.isWorkbook());
        QCOMPARE(sheet.totalRows(), 4);
    }

    void brokenWorkbooks_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = fixtureBytes();
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("truncated to 512 bytes") << good.left(512);
        QTest::newRow("truncated by 100 bytes") << good.left(good.size() - 100);
        QByteArray noise(5000, Qt::Uninitialized);
        QRandomGenerator random(42);
        for (char& c : noise)
            c = static_cast<char>(random.bounded(256));
        QTest::newRow("random bytes") << noise;
        QTest::newRow("text named .xls") << QByteArray("编号,名称\r\nP001,可乐\r\n");
        for (const char* name : {"damaged-1.xls", "damaged-2.xls"}) {
            QFile f(dataFile(name));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QTest::newRow(name) << f.readAll();
        }
    }
    void brokenWorkbooks() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.xls"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        CSpreadSheet sheet(path, kSheet);
        QCOMPARE(sheet.totalRows(), 0);
        QCOMPARE(sheet.totalColumns(), 0);
        QCOMPARE(sheet.lastError(), CSpreadSheet::kErrorOpeningFile);
    }

    void missingFiles() {
        QTemporaryDir dir;
        for (const QString& name : {QStringLiteral("none.xls"), QStringLiteral("none.csv")}) {
            CSpreadSheet sheet(dir.filePath(name), kSheet);
            QCOMPARE(sheet.totalRows(), 0);
            QCOMPARE(sheet.lastError(), CSpreadSheet::kErrorOpeningFile);
        }
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.xls")));
        CSpreadSheet folder(dir.filePath(QStringLiteral("folder.xls")), kSheet);
        QCOMPARE(folder.totalRows(), 0);
        QCOMPARE(folder.lastError(), CSpreadSheet::kErrorOpeningFile);
    }

    // Damaged copies of a good workbook: whatever FreeXL makes of them, the reader answers.
    void flippedBytes() {
        const QByteArray good = fixtureBytes();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("flipped.xls"));
        QRandomGenerator random(20240305);
        for (int round = 0; round < 150; ++round) {
            QByteArray bytes = good;
            const int flips = 1 + static_cast<int>(random.bounded(20));
            for (int i = 0; i < flips; ++i)
                bytes[static_cast<qsizetype>(random.bounded(static_cast<quint32>(bytes.size())))] =
                    static_cast<char>(random.bounded(256));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
            f.close();
            CSpreadSheet sheet(path, kSheet);
            const QString where = QStringLiteral("round %1").arg(round);
            QVERIFY2(sheet.totalRows() <= 65536, qPrintable(where));
            QStringList texts;
            for (int r = 1; r <= sheet.totalRows(); ++r) {
                QVERIFY2(sheet.ReadRow(r, texts), qPrintable(where));
                QVERIFY2(texts.size() == sheet.totalColumns(), qPrintable(where));
            }
            QVERIFY2(!sheet.ReadRow(sheet.totalRows() + 1, texts), qPrintable(where));
        }
    }

    // The .xlsx twin of sheets.xls reads the same, sheet by sheet, missing sheet included.
    void xlsxReadsAsXls_data() {
        QTest::addColumn<QString>("sheet");
        for (const char* name : {"产品导入模板", "sheet1", "gaps", "empty", "没有这页"})
            QTest::newRow(name) << QString::fromUtf8(name);
    }
    void xlsxReadsAsXls() {
        QFETCH(QString, sheet);
        CSpreadSheet xls(dataFile("sheets.xls"), sheet);
        CSpreadSheet xlsx(dataFile("sheets.xlsx"), sheet);
        QVERIFY(xlsx.isWorkbook());
        QCOMPARE(xlsx.lastError(), xls.lastError());
        QCOMPARE(xlsx.totalRows(), xls.totalRows());
        QCOMPARE(xlsx.totalColumns(), xls.totalColumns());
        for (int r = 1; r <= xls.totalRows(); ++r)
            QCOMPARE(row(xlsx, r), row(xls, r));
    }

    // The contents decide the format: either workbook read under the other's name, any case.
    void formatByContents_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("name");
        QTest::newRow("xlsx named .xls") << "sheets.xlsx"
                                         << "a.xls";
        QTest::newRow("xls named .XLSX") << "sheets.xls"
                                         << "A.XLSX";
        QTest::newRow("xlsx named .Xlsx") << "sheets.xlsx"
                                          << "b.Xlsx";
    }
    void formatByContents() {
        QFETCH(QString, source);
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QVERIFY(QFile::copy(dataFile(source.toLatin1().constData()), path));
        CSpreadSheet sheet(path, kSheet);
        QVERIFY(sheet.isWorkbook());
        QCOMPARE(sheet.totalRows(), 4);
        QCOMPARE(row(sheet, 2), list({"P001", "可口可乐", "3.5", "10", ",;.?", "2024-03-05"}));
    }

    // What other writers put in a package: a workbook part of another name, inline and rich
    // strings (phonetic runs left out), escaped characters, formula results, booleans, errors,
    // the 1904 date system, date and time formats, cells without references, a skipped row.
    void xlsxCells() {
        CSpreadSheet sheet(dataFile("xlsx-cells.xlsx"), kSheet);
        QCOMPARE(sheet.lastError(), QString());
        QCOMPARE(sheet.totalRows(), 4);
        QCOMPARE(sheet.totalColumns(), 8);
        QCOMPARE(row(sheet, 1), list({"内联", "富文本 ", "2", "1", "", "", "", ""}));
        QCOMPARE(row(sheet, 2), list({"", "", "", "", "", "", "", ""}));
        QCOMPARE(row(sheet, 3),
                 list({"1.5", "a\rb_x0041_", "1904-01-01", "12:00:00", "1904-01-02 06:00:00", "7", "", ""}));
        QCOMPARE(row(sheet, 4), list({"", "", "", "", "", "", "", "6901234567890"}));
    }

    void brokenXlsx_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QFile f(dataFile("sheets.xlsx"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray good = f.readAll();
        QTest::newRow("empty file") << QByteArray() << CSpreadSheet::kErrorOpeningFile;
        QTest::newRow("truncated to 512 bytes") << good.left(512) << CSpreadSheet::kErrorOpeningFile;
        QTest::newRow("truncated by 100 bytes")
            << good.left(good.size() - 100) << CSpreadSheet::kErrorOpeningFile;
        QTest::newRow("zip header, then noise")
            << QByteArray("PK\x03\x04") + QByteArray(3000, '\x5A') << CSpreadSheet::kErrorOpeningFile;
        QTest::newRow("text named .xlsx") << QByteArray("a,b\n1,2\n") << CSpreadSheet::kErrorOpeningFile;
        QFile none(dataFile("xlsx-no-workbook.xlsx"));
        QVERIFY(none.open(QIODevice::ReadOnly));
        QTest::newRow("zip without a workbook") << none.readAll() << CSpreadSheet::kErrorOpeningFile;
    }
    void brokenXlsx() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.xlsx"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        CSpreadSheet sheet(path, kSheet);
        QCOMPARE(sheet.totalRows(), 0);
        QCOMPARE(sheet.totalColumns(), 0);
        QCOMPARE(sheet.lastError(), error);
    }

    // Damaged copies of a good .xlsx: the reader answers, rows as wide as the sheet, and a fault
    // found inside a part is said.
    void flippedXlsxBytes() {
        QFile good(dataFile("sheets.xlsx"));
        QVERIFY(good.open(QIODevice::ReadOnly));
        const QByteArray bytes = good.readAll();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("flipped.xlsx"));
        QRandomGenerator random(20241210);
        for (int round = 0; round < 150; ++round) {
            QByteArray damaged = bytes;
            const int flips = 1 + static_cast<int>(random.bounded(20));
            for (int i = 0; i < flips; ++i)
                damaged[static_cast<qsizetype>(random.bounded(static_cast<quint32>(damaged.size())))] =
                    static_cast<char>(random.bounded(256));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(damaged);
            f.close();
            CSpreadSheet sheet(path, kSheet);
            const QString where = QStringLiteral("round %1").arg(round);
            QStringList texts;
            for (int r = 1; r <= sheet.totalRows(); ++r) {
                QVERIFY2(sheet.ReadRow(r, texts), qPrintable(where));
                QVERIFY2(texts.size() == sheet.totalColumns(), qPrintable(where));
            }
        }
    }

    void textFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QList<QStringList>>("rows");
        const QList<QStringList> separated = {list({"名称", "数量", "备注"}), list({"可乐", "2", "冰"}),
                                              list({"雪碧", "", ""}), list({""})};
        const QByteArray text = "名称,数量,备注\n\"可乐\",\"2\",\"冰\"\n雪碧,,\n\n";
        QTest::newRow("utf-8, quoted and bare separators") << text << "," << 3 << separated;
        QString crlf = QString::fromUtf8(text);
        crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        QTest::newRow("gbk with CR LF") << EncodeText(crlf, "GBK") << "," << 3 << separated;
        QTest::newRow("utf-8 with byte order mark")
            << QByteArray("\xEF\xBB\xBF"
                          "a;b\n1;2")
            << ";" << 2 << QList<QStringList>{list({"a", "b"}), list({"1", "2"})};
        QTest::newRow("no separator in any line")
            << QByteArray("甲\n\"乙\"\n\"\n") << "," << 1
            << QList<QStringList>{list({"甲"}), list({"乙"}), list({"\""})};
        QTest::newRow("empty separator never splits")
            << QByteArray("a,b\n") << "" << 1 << QList<QStringList>{list({"a,b"})};
        QTest::newRow("several-character separator")
            << QByteArray("\"A\",;.?\"B,C\"\n") << ",;.?" << 2 << QList<QStringList>{list({"A", "B,C"})};
        QTest::newRow("empty file") << QByteArray() << "," << 0 << QList<QStringList>{};
    }
    void textFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, separator);
        QFETCH(int, columns);
        QFETCH(QList<QStringList>, rows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rows.txt"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        CSpreadSheet sheet(path, separator);
        QVERIFY(!sheet.isWorkbook());
        QCOMPARE(sheet.lastError(), QString());
        QCOMPARE(sheet.totalRows(), rows.size());
        QCOMPARE(sheet.totalColumns(), columns);
        QList<QStringList> read;
        QStringList texts;
        while (sheet.ReadRow(0, texts))
            read << texts;
        QCOMPARE(read, rows);
        if (!rows.isEmpty())
            QCOMPARE(sheet.columnNames(), rows.first());
    }
};

QTEST_GUILESS_MAIN(TestSpreadSheet)
#include "tst_spreadsheet.moc"
