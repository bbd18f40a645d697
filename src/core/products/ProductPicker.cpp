#include "core/products/ProductPicker.h"

#include "core/db/TextSearch.h"
#include "core/products/Categories.h"
#include "core/products/ProductText.h"
#include "core/store/AppContext.h"
#include "core/support/Money.h"

namespace selvo {

QList<PickerRow> PickerRows(AppContext& ctx, const QString& search, int limit) {
    db::SearchQuery query;
    query.select =
        QStringLiteral("SELECT ID, PrdCode, PrdName, PrdProperty, Price, MeasuringUnit FROM tb_product");
    query.where = {QStringLiteral("State = ?"), {int(ProductOnSale)}};
    query.orderBy = QStringLiteral("ID ASC");
    query.limit = limit;
    query.byId = true;
    QList<PickerRow> rows;
    const auto statement = db::SearchStatement(ctx.db, db::SearchTable::Products, search, query);
    auto q = statement ? ctx.db.select(statement->sql, statement->binds) : std::nullopt;
    if (!q)
        return rows;
    while (q->next()) {
        const QSqlQuery& v = *q;
        PickerRow r;
        r.id = v.value(0).toInt();
        r.code = v.value(1).toString();
        r.name = PropertyPrefix(v.value(3).toInt()) + v.value(2).toString();
        r.price = FormatAmount(v.value(4).toDouble());
        r.unit = v.value(5).toString();
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
