#include "core/support/Number.h"

#include <cmath>
#include <cstdlib>

namespace selvo {

namespace {
// Length of the longest decimal-number prefix of s starting at i (0 when none).
// With wholeOnly, stops before a decimal point or exponent.
qsizetype numberPrefix(const QString& s, qsizetype i, bool wholeOnly) {
    const qsizetype start = i;
    const auto isDigit = [&](qsizetype k) {
        return k < s.size() && s[k] >= u'0' && s[k] <= u'9';
    };
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        ++i;
    qsizetype digits = 0;
    while (isDigit(i)) {
        ++i;
        ++digits;
    }
    if (!wholeOnly && i < s.size() && s[i] == u'.') {
        qsizetype j = i + 1;
        qsizetype frac = 0;
        while (isDigit(j)) {
            ++j;
            ++frac;
        }
        if (digits + frac > 0) {
            i = j;
            digits += frac;
        }
    }
    if (digits == 0)
        return 0;
    if (!wholeOnly && i < s.size() && (s[i] == u'e' || s[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            ++j;
        if (isDigit(j)) {
            while (isDigit(j))
                ++j;
            i = j;
        }
    }
    return i - start;
}

qsizetype skipBlanks(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r' ||
                            s[i] == u'\v' || s[i] == u'\f'))
        ++i;
    return i;
}
} // namespace

double ParseLeadingNumber(const QString& text) {
    const qsizetype i = skipBlanks(text);
    const qsizetype n = numberPrefix(text, i, false);
    if (n == 0)
        return 0;
    const QByteArray ascii = text.mid(i, n).toLatin1();
    const double v = std::strtod(ascii.constData(), nullptr);
    return std::isfinite(v) ? v : 0;
}

int ParseLeadingInt(const QString& text) {
    const qsizetype i = skipBlanks(text);
    const qsizetype n = numberPrefix(text, i, true);
    if (n == 0)
        return 0;
    bool ok = false;
    const int v = text.mid(i, n).toInt(&ok);
    return ok ? v : 0;
}

bool IsWholeNumberText(const QString& text) {
    const QString t = text.trimmed();
    return !t.isEmpty() && numberPrefix(t, 0, false) == t.size();
}

double RoundCents(double value) {
    return std::strtod(QString::asprintf("%.2f", value).toLatin1().constData(), nullptr);
}

} // namespace selvo
