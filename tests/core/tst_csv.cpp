#include "core/support/Csv.h"
#include "core/support/Encoding.h"

#include <QTest>

using namespace selvo;

namespace {
QStringList list(std::initializer_list<const char*> texts) {
    QStringList result;
    for (const char* t : texts)
        result << QString::fromUtf8(t);
    return result;
}
QList<QStringList> table(std::initializer_list<std::initializer_list<const char*>> lines) {
    QList<QStringList> result;
    for (const auto& line : lines)
        result << list(line);
    return result;
}
QString decoded(const QByteArray& bytes) {
    return DecodeText(bytes, "GB18030").value_or(QStringLiteral("<invalid GB18030>"));
}
} // namespace

class TestCsv final : public QObject {
    Q_OBJECT

private slots:
    void content_data() {
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QString>("text");
        QTest::newRow("three columns, two rows")
            << list({"订单号", "金额", "时间"})
            << table({{"2024010112000000001", "￥3.00", "2024-01-01"}, {"2", "￥0.50", ""}})
            << "订单号,金额,时间\r\n2024010112000000001,￥3.00,2024-01-01\r\n2,￥0.50,\r\n";
        QTest::newRow("empty last title dropped from the title line only")
            << list({"名称", "数量", ""}) << table({{"可乐", "2", "hidden"}})
            << "名称,数量\r\n可乐,2,hidden\r\n";
        QTest::newRow("all titles empty") << list({"", ""}) << table({{"a", "b"}}) << "\r\na,b\r\n";
        QTest::newRow("comma inside a cell stays one field")
            << list({"名称", "备注"}) << table({{"薯片,大包", "x"}}) << "名称,备注\r\n\"薯片,大包\",x\r\n";
        QTest::newRow("quotes and line breaks quoted")
            << list({"a\"b", "c"}) << table({{"say \"hi\"", "two\r\nlines"}})
            << "\"a\"\"b\",c\r\n\"say \"\"hi\"\"\",\"two\r\nlines\"\r\n";
        QTest::newRow("sql text is only text") << list({"n"}) << table({{"'; DROP TABLE tb_orders; --"}})
                                               << "n\r\n'; DROP TABLE tb_orders; --\r\n";
        QTest::newRow("short row padded") << list({"a", "b", "c"}) << table({{"1"}}) << "a,b,c\r\n1,,\r\n";
        QTest::newRow("no rows") << list({"a", "b"}) << QList<QStringList>() << "a,b\r\n";
    }
    void content() {
        QFETCH(QStringList, titles);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QString, text);
        QCOMPARE(decoded(EncodeCsv(titles, rows)), text);
    }

    void gbkBytesForGbkText() {
        const QByteArray csv = EncodeCsv({QStringLiteral("名称")}, {{QStringLiteral("可口可乐")}});
        QCOMPARE(csv, EncodeText(QStringLiteral("名称\r\n可口可乐\r\n"), "GBK"));
        QCOMPARE(csv.left(4), QByteArray("\xC3\xFB\xB3\xC6"));
    }

    void outsideGbkKept() {
        // An emoji, a CJK extension B hanzi, the euro sign and a lone surrogate.
        const QString cell = QStringLiteral("会员😀𠀀€") + QChar(0xD800);
        const QByteArray csv = EncodeCsv({QStringLiteral("备注")}, {{cell}});
        QVERIFY(!csv.contains('?'));
        QCOMPARE(decoded(csv), QStringLiteral("备注\r\n会员😀𠀀€") + QChar(QChar::ReplacementCharacter) +
                                   QStringLiteral("\r\n"));
    }
};

QTEST_APPLESS_MAIN(TestCsv)
#include "tst_csv.moc"
