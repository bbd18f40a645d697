#include "core/products/ProductPicker.h"

#include "core/products/Categories.h"
#include "core/products/ProductText.h"
#include "core/store/AppContext.h"
#include "core/support/Money.h"

namespace selvo {

QList<PickerRow> PickerRows(AppContext& ctx, const QString& search, int limit) {
    QString sql = QStringLiteral(
        "SELECT ID, PrdCode, PrdName, PrdProperty, Price, MeasuringUnit FROM tb_product WHERE State = ?");
    QVariantList binds{int(ProductOnSale)};
    const QString text = search.trimmed();
    if (!text.isEmpty()) {
        sql += QStringLiteral(" AND (") + ctx.db.likeClause(QStringLiteral("PrdName")) +
               QStringLiteral(" OR ") + ctx.db.likeClause(QStringLiteral("FirstSpell")) +
               QStringLiteral(" OR ") + ctx.db.likeClause(QStringLiteral("PrdCode")) + QLatin1Char(')');
        const QString pattern = db::likePattern(text);
        binds << pattern << pattern << pattern;
    }
    sql += QStringLiteral(" ORDER BY ID ASC LIMIT ?");
    binds << limit;

    QList<PickerRow> rows;
    auto q = ctx.db.select(sql, binds);
    if (!q)
        return rows;
    while (q->next()) {
        PickerRow r;
        r.id = q->value(0).toInt();
        r.code = q->value(1).toString();
        r.name = PropertyPrefix(q->value(3).toInt()) + q->value(2).toString();
        r.price = FormatAmount(q->value(4).toDouble());
        r.unit = q->value(5).toString();
        rows.append(r);
    }
    return rows;
}

QString PickedIdsText(const QList<int>& ids) {
    QString text;
    for (const int id : ids)
        text += QString::number(id) + QLatin1Char(',');
    return text;
}

QList<int> ParsePickedIds(const QString& text) {
    QList<int> ids;
    const QStringList pieces = text.split(QLatin1Char(','));
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        bool ok = false;
        const int id = pieces[i].trimmed().toInt(&ok);
        if (ok)
            ids.append(id);
    }
    return ids;
}

QString PickNothingText() {
    return QStringLiteral("至少选择一个商品");
}

} // namespace selvo
