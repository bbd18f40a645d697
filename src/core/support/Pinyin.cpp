#include "core/support/Pinyin.h"

#include "core/support/Encoding.h"
#include "core/support/PinyinLevel2Table.h"

#include <array>

namespace selvo {

namespace {

struct Level1Start {
    int code; // GB2312 row * 100 + position of the first hanzi with this initial
    char letter;
};

// Level 1 is sorted by reading, so the initials are ranges of codes. No hanzi reading
// starts with I, U or V.
constexpr std::array<Level1Start, 23> kLevel1 = {{
    {1601, 'A'}, {1637, 'B'}, {1833, 'C'}, {2078, 'D'}, {2274, 'E'}, {2302, 'F'}, {2433, 'G'}, {2594, 'H'},
    {2787, 'J'}, {3106, 'K'}, {3212, 'L'}, {3472, 'M'}, {3635, 'N'}, {3722, 'O'}, {3730, 'P'}, {3858, 'Q'},
    {4027, 'R'}, {4086, 'S'}, {4390, 'T'}, {4558, 'W'}, {4684, 'X'}, {4925, 'Y'}, {5249, 'Z'},
}};
constexpr int kLevel1Last = 5589;
constexpr int kLevel2Entries = 3008;
static_assert(sizeof(pinyin::kLevel2Initials) == kLevel2Entries + 1);

char level1Letter(int code) {
    for (auto it = kLevel1.rbegin(); it != kLevel1.rend(); ++it) {
        if (it->code <= code)
            return it->letter;
    }
    return 0;
}

} // namespace

QString GetFirstSpell(const QString& text) {
    QString name = text;
    for (const QChar c : {u')', u'）', u'(', u'（', u'-'})
        name.remove(c);
    name = name.trimmed();

    const QByteArray mb = EncodeText(name, "GBK");
    QString result;
    result.reserve(mb.size());
    const qsizetype n = mb.size();
    qsizetype i = 0;
    while (i < n) {
        const auto a = static_cast<unsigned char>(mb[i]);
        if (a < 0x80) {
            result += QLatin1Char(static_cast<char>(a));
            ++i;
            continue;
        }
        // GBK has no single bytes at 0x80 or above except the lone 0x80/0xFF; anything else
        // is a lead byte with its trail byte. Stepping over whole characters keeps a trail
        // byte in 0x40-0x7E from being read as an ASCII letter.
        if (a == 0x80 || a == 0xFF || i + 1 >= n) {
            ++i;
            continue;
        }
        const auto b = static_cast<unsigned char>(mb[i + 1]);
        i += 2;
        if (a < 0xA1 || b < 0xA1)
            continue; // GBK beyond GB2312
        const int code = (a - 0xA0) * 100 + (b - 0xA0);
        if (code >= 1601 && code <= kLevel1Last) {
            result += QLatin1Char(level1Letter(code));
            continue;
        }
        const int index = (a - 0xD8) * 94 + (b - 0xA1);
        if (index >= 0 && index < kLevel2Entries)
            result += QLatin1Char(pinyin::kLevel2Initials[index]);
        // Symbol rows, unassigned and user-defined positions: left out.
    }
    return result;
}

} // namespace selvo
