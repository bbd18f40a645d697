#include "core/support/Encoding.h"
#include "core/support/Pinyin.h"

#include <QTest>

using namespace selvo;

namespace {
// The character at a GB2312 row and position.
QString gb2312(int row, int position) {
    QByteArray bytes;
    bytes.append(static_cast<char>(row + 0xA0));
    bytes.append(static_cast<char>(position + 0xA0));
    return DecodeText(bytes, "GB2312").value_or(QString());
}
QString fromGbk(const char* bytes) {
    return DecodeText(QByteArray(bytes), "GBK").value_or(QString());
}
} // namespace

class TestPinyin final : public QObject {
    Q_OBJECT

private slots:
    void initials_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("initials");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("only blanks, brackets and hyphens") << "  (（-）) "
                                                           << "";
        QTest::newRow("plain name") << "可口可乐"
                                    << "KKKL";
        QTest::newRow("full-width brackets dropped") << "（大）可口可乐"
                                                     << "DKKKL";
        QTest::newRow("ascii brackets dropped") << "薯片(大包)"
                                                << "SPDB";
        QTest::newRow("outer blanks trimmed") << "  张三 "
                                              << "ZS";
        QTest::newRow("inner blank kept") << "王 小明"
                                          << "W XM";
        QTest::newRow("ascii keeps case, hyphen dropped") << "Coca-Cola 330ml"
                                                          << "CocaCola 330ml";
        QTest::newRow("ascii then hanzi") << "ABC啊"
                                          << "ABCA";
        QTest::newRow("first level-1 B") << "芭"
                                         << "B";
        QTest::newRow("just before B") << fromGbk("\xB0\xC4") << "A";
        QTest::newRow("last level-1") << "座"
                                      << "Z";
        QTest::newRow("level-2") << "鼢鼬"
                                 << "FY";
        QTest::newRow("radical") << "丨"
                                 << "[";
        QTest::newRow("bracket inside blanks trims after removal") << " ( 可乐 ) "
                                                                   << "KL";
        QTest::newRow("quotes and sql copied") << "O'Brien\"; DROP"
                                               << "O'Brien\"; DROP";
        QTest::newRow("emoji outside code page 936") << "可乐😀"
                                                     << "KL?";
        QTest::newRow("full-width letters left out") << "ＶＩＰ卡"
                                                     << "K";
        QTest::newRow("symbols left out") << "可乐·１瓶"
                                          << "KLP";
        QTest::newRow("gbk hanzi outside gb2312 left out") << "王喆"
                                                           << "W";
        // 丂 is 81 40 and 狝 is AA 41 in GBK: their trail bytes must not turn into "@" and "A".
        QTest::newRow("gbk trail byte is no ascii") << "丂狝x"
                                                    << "x";
    }
    void initials() {
        QFETCH(QString, name);
        QFETCH(QString, initials);
        QCOMPARE(GetFirstSpell(name), initials);
    }

    // Every GB2312 hanzi gives exactly one upper-case initial (never I, U or V) or "[".
    void everyGb2312Hanzi() {
        int hanzi = 0;
        int radicals = 0;
        for (int row = 16; row <= 87; ++row) {
            for (int position = 1; position <= 94; ++position) {
                if (row == 55 && position > 89)
                    continue; // unassigned
                const QString ch = gb2312(row, position);
                QVERIFY2(ch.size() == 1, qPrintable(QStringLiteral("%1/%2").arg(row).arg(position)));
                const QString initial = GetFirstSpell(ch);
                QVERIFY2(initial.size() == 1, qPrintable(ch));
                const QChar c = initial[0];
                QVERIFY2((c >= u'A' && c <= u'Z') || c == u'[', qPrintable(ch + initial));
                QVERIFY2(c != u'I' && c != u'U' && c != u'V', qPrintable(ch + initial));
                if (c == u'[') {
                    QVERIFY2(row >= 56, qPrintable(ch));
                    ++radicals;
                }
                ++hanzi;
            }
        }
        QCOMPARE(hanzi, 6763);
        QCOMPARE(radicals, 41);
    }

    void level1Boundaries() {
        const QList<QPair<int, char>> starts = {
            {1601, 'A'}, {1637, 'B'}, {1833, 'C'}, {2078, 'D'}, {2274, 'E'}, {2302, 'F'},
            {2433, 'G'}, {2594, 'H'}, {2787, 'J'}, {3106, 'K'}, {3212, 'L'}, {3472, 'M'},
            {3635, 'N'}, {3722, 'O'}, {3730, 'P'}, {3858, 'Q'}, {4027, 'R'}, {4086, 'S'},
            {4390, 'T'}, {4558, 'W'}, {4684, 'X'}, {4925, 'Y'}, {5249, 'Z'}};
        for (qsizetype i = 0; i < starts.size(); ++i) {
            const int code = starts[i].first;
            QCOMPARE(GetFirstSpell(gb2312(code / 100, code % 100)), QString(QLatin1Char(starts[i].second)));
            if (i > 0) {
                const int before = code % 100 == 1 ? code - 100 + 93 : code - 1;
                QCOMPARE(GetFirstSpell(gb2312(before / 100, before % 100)),
                         QString(QLatin1Char(starts[i - 1].second)));
            }
        }
    }

    void level2TableEnds() {
        QString first;
        for (int position = 1; position <= 38; ++position)
            first += gb2312(56, position);
        QCOMPARE(GetFirstSpell(first), QStringLiteral("CJWGNSPGCGNE[Y[BTYYZDXYKYGT[JNNJQMBSGZ"));
        QString last;
        for (int position = 87; position <= 94; ++position)
            last += gb2312(87, position);
        QCOMPARE(last, QStringLiteral("鼢鼬鼯鼹鼷鼽鼾齄"));
        QCOMPARE(GetFirstSpell(last), QStringLiteral("FYWYXQHZ"));
    }

    void hugeName() {
        const QString name = QStringLiteral("可口可乐a").repeated(2000);
        const QString initials = GetFirstSpell(name);
        QCOMPARE(initials.size(), 10000);
        QCOMPARE(initials.left(10), QStringLiteral("KKKLaKKKLa"));
    }
};

QTEST_APPLESS_MAIN(TestPinyin)
#include "tst_pinyin.moc"
