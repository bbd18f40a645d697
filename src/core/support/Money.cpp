#include "core/support/Money.h"

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

} // namespace selvo
