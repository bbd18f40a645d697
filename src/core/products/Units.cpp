#include "core/products/Units.h"

#include "core/store/AppContext.h"

#include <QRegularExpression>

namespace selvo {

namespace {
const QString kFirstRow = QStringLiteral("(SELECT min(ID) FROM tb_Units)");
}

QString ReadUnitsText(AppContext& ctx) {
    auto v = ctx.db.scalar(QStringLiteral("SELECT Units FROM tb_Units ORDER BY ID ASC LIMIT 1"));
    return v ? v->toString() : QString();
}

bool SaveUnitsText(AppContext& ctx, const QString& units) {
    int affected = 0;
    return ctx.db.exec(QStringLiteral("UPDATE tb_Units SET Units = ? WHERE ID = ") + kFirstRow, {units},
                       &affected) &&
           affected == 1;
}

QStringList SplitUnits(const QString& units) {
    QStringList pieces = units.split(QLatin1Char('|'));
    pieces.removeLast(); // after the last "|" (or the whole text when there is none)
    return pieces;
}

QString UnitsToEditorText(const QString& units) {
    QString text = units;
    text.replace(QLatin1Char('|'), QLatin1Char('\n'));
    return text;
}

QString UnitsFromEditorText(const QString& text) {
    QString units = text.trimmed();
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    units.replace(lineBreak, QStringLiteral("|"));
    if (!units.isEmpty() && !units.endsWith(QLatin1Char('|')))
        units += QLatin1Char('|');
    return units;
}

} // namespace selvo
