#include "core/support/Money.h"
#include "core/support/Number.h"

#include <QTest>

using namespace selvo;

class TestNumber final : public QObject {
    Q_OBJECT

private slots:
    void leadingNumber_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("number");
        QTest::addColumn<int>("whole");
        QTest::newRow("plain") << "12" << 12.0 << 12;
        QTest::newRow("decimal") << "35.50" << 35.5 << 35;
        QTest::newRow("leading blanks") << "  7.25" << 7.25 << 7;
        QTest::newRow("trailing text") << "12abc" << 12.0 << 12;
        QTest::newRow("no number") << "abc" << 0.0 << 0;
        QTest::newRow("empty") << "" << 0.0 << 0;
        QTest::newRow("negative") << "-3.5" << -3.5 << -3;
        QTest::newRow("plus sign") << "+4" << 4.0 << 4;
        QTest::newRow("only a point") << "." << 0.0 << 0;
        QTest::newRow("point first") << ".5" << 0.5 << 0;
        QTest::newRow("exponent") << "1e3" << 1000.0 << 1;
        QTest::newRow("dangling exponent") << "2e" << 2.0 << 2;
        QTest::newRow("nan is not a number") << "nan" << 0.0 << 0;
        QTest::newRow("inf is not a number") << "inf" << 0.0 << 0;
        QTest::newRow("hex reads its leading zero") << "0x10" << 0.0 << 0;
        QTest::newRow("overflow gives 0") << "1e999" << 0.0 << 1;
        QTest::newRow("int overflow gives 0") << "99999999999" << 99999999999.0 << 0;
        QTest::newRow("yuan sign is not skipped") << "￥3" << 0.0 << 0;
        QTest::newRow("full-width digits are not digits") << "１２" << 0.0 << 0;
        QTest::newRow("sql text") << "1; DROP TABLE tb_members" << 1.0 << 1;
    }
    void leadingNumber() {
        QFETCH(QString, text);
        QFETCH(double, number);
        QFETCH(int, whole);
        QCOMPARE(ParseLeadingNumber(text), number);
        QCOMPARE(ParseLeadingInt(text), whole);
    }

    void moneyFormat_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("two decimals") << 3.0 << "￥3.00";
        QTest::newRow("rounds like printf") << 14.505 << "￥14.51";
        QTest::newRow("no negative zero") << -0.001 << "￥0.00";
        QTest::newRow("negative") << -12.5 << "￥-12.50";
    }
    void moneyFormat() {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(FormatMoney(value), text);
        // The value used equals the value shown.
        QCOMPARE(FormatMoney(RoundCents(value)), text);
    }
};

QTEST_GUILESS_MAIN(TestNumber)
#include "tst_number.moc"
