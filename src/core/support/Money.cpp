#include "core/support/Money.h"

#include "core/support/Number.h"

#include <cmath>

namespace selvo {

QString FormatAmount(double yuan) {
    QString s = QString::asprintf("%.2f", yuan);
    // -0.001 must not print as "-0.00".
    if (s == QLatin1String("-0.00"))
        s = QStringLiteral("0.00");
    return s;
}

QString FormatMoney(double yuan) {
    return QStringLiteral("￥") + FormatAmount(yuan);
}

QString FormatQuantity(double quantity) {
    return QString::asprintf("%g", quantity);
}

QString StripMoneySigns(const QString& text) {
    QString s = text;
    s.remove(QStringLiteral("￥"));
    s.remove(QChar(0x00A5)); // ¥
    return s.trimmed();
}

double ParseMoneyText(const QString& text) {
    return RoundCents(ParseLeadingNumber(StripMoneySigns(text)));
}

namespace {
bool signOk(double v, FigureSign sign) {
    switch (sign) {
    case FigureSign::NonNegative:
        return v >= 0;
    case FigureSign::NonPositive:
        return v <= 0;
    case FigureSign::Any:
        return true;
    }
    return false;
}
} // namespace

bool IsValidMoney(double yuan, FigureSign sign) {
    // NaN fails every comparison, so it fails here too.
    return std::isfinite(yuan) && std::fabs(yuan) <= kMaxMoney && signOk(yuan, sign);
}

bool IsValidPoints(double points, FigureSign sign) {
    return std::isfinite(points) && points == std::trunc(points) && std::fabs(points) <= kMaxPoints &&
           signOk(points, sign);
}

bool IsValidFigure(double value) {
    return std::isfinite(value) && std::fabs(value) <= kMaxFigure;
}

QString InvalidFigureText(const QString& what, double value) {
    return QStringLiteral("%1无效（%2），未保存").arg(what, QString::number(value, 'g', 17));
}

} // namespace selvo
