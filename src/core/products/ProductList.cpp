#include "core/products/ProductList.h"

#include "core/products/Categories.h"
#include "core/products/ProductText.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Money.h"

#include <algorithm>

namespace selvo {

namespace {
const QString kRowColumns = QStringLiteral(
    "SELECT p.ID, p.PrdCode, p.PrdName, p.FirstSpell, p.Price, p.MeasuringUnit, p.PrdProperty, "
    "t.PrdTypeName, p.PrdInventory, p.PrdType, p.State FROM tb_product p "
    "INNER JOIN tb_productTypes t ON p.PrdType = t.ID");

// Categories per statement when a category and its subcategories are listed together; well
// under every engine's limit of bound values.
constexpr int kCategoriesPerStatement = 500;

ProductRow readRow(const QSqlQuery& q) {
    ProductRow r;
    r.id = q.value(0).toInt();
    r.code = q.value(1).toString();
    r.name = q.value(2).toString();
    r.initials = q.value(3).toString();
    r.price = q.value(4).toDouble();
    r.unit = q.value(5).toString();
    r.property = q.value(6).toInt();
    r.categoryName = q.value(7).toString();
    r.stock = q.value(8).toDouble();
    r.category = q.value(9).toInt();
    r.state = q.value(10).toInt();
    return r;
}

// Appends the search and property conditions and the order.
void appendFilter(AppContext& ctx, QString& sql, QVariantList& binds, const ProductFilter& filter) {
    const QString text = filter.search.trimmed();
    if (!text.isEmpty()) {
        sql += QStringLiteral(" AND (") + ctx.db.likeClause(QStringLiteral("p.PrdName")) +
               QStringLiteral(" OR ") + ctx.db.likeClause(QStringLiteral("p.FirstSpell")) +
               QStringLiteral(" OR ") + ctx.db.likeClause(QStringLiteral("p.PrdCode")) + QLatin1Char(')');
        const QString pattern = db::likePattern(text);
        binds << pattern << pattern << pattern;
    }
    if (filter.property != 0) {
        sql += QStringLiteral(" AND p.PrdProperty = ?");
        binds << filter.property;
    }
    // ID breaks ties between products added in the same second, newest first as well.
    sql += QStringLiteral(" ORDER BY p.AddDate DESC, p.ID DESC");
}

void runListing(AppContext& ctx, const QString& sql, const QVariantList& binds, QList<ProductRow>& rows) {
    auto q = ctx.db.select(sql, binds);
    if (!q)
        return;
    while (q->next())
        rows.append(readRow(*q));
}
} // namespace

QStringList ProductColumns(const ProductRow& row) {
    return {row.code,         row.name,
            row.initials,     FormatMoney(row.price),
            row.unit,         PropertyText(row.property),
            row.categoryName, FormatQuantity(row.stock)};
}

bool ProductMatchesFilter(const ProductRow& row, const ProductFilter& filter) {
    if (filter.property != 0 && row.property != filter.property)
        return false;
    const QString text = filter.search.trimmed();
    return text.isEmpty() || row.name.contains(text, Qt::CaseInsensitive) ||
           row.initials.contains(text, Qt::CaseInsensitive) || row.code.contains(text, Qt::CaseInsensitive);
}

QList<ProductRow> ListProducts(AppContext& ctx, int listFilter, const ProductFilter& filter) {
    QString sql = kRowColumns + QStringLiteral(" WHERE p.State = ?");
    QVariantList binds{listFilter == kListOffShelf ? int(ProductOffShelf) : int(ProductOnSale)};
    if (listFilter >= 0) {
        sql += QStringLiteral(" AND p.PrdType = ?");
        binds << listFilter;
    }
    appendFilter(ctx, sql, binds, filter);
    QList<ProductRow> rows;
    runListing(ctx, sql, binds, rows);
    return rows;
}

QList<ProductRow> ListCategoryProducts(AppContext& ctx, const CategoryTree& tree, int categoryId,
                                       const ProductFilter& filter) {
    QList<int> ids = tree.subtree(categoryId);
    if (ids.isEmpty())
        ids = {categoryId};
    QHash<int, int> position;
    for (qsizetype i = 0; i < ids.size(); ++i)
        position.insert(ids[i], int(i));

    QList<ProductRow> rows;
    for (qsizetype from = 0; from < ids.size(); from += kCategoriesPerStatement) {
        const qsizetype n = std::min<qsizetype>(kCategoriesPerStatement, ids.size() - from);
        QString sql = kRowColumns + QStringLiteral(" WHERE p.State = ? AND p.PrdType IN (");
        QVariantList binds{int(ProductOnSale)};
        for (qsizetype i = 0; i < n; ++i) {
            sql += i ? QStringLiteral(", ?") : QStringLiteral("?");
            binds << ids[from + i];
        }
        sql += QLatin1Char(')');
        appendFilter(ctx, sql, binds, filter);
        runListing(ctx, sql, binds, rows);
    }
    // Category by category in tree order; each category's rows keep their newest-first order.
    std::stable_sort(rows.begin(), rows.end(), [&](const ProductRow& a, const ProductRow& b) {
        return position.value(a.category) < position.value(b.category);
    });
    return rows;
}

std::optional<ProductRow> ReadProductRow(AppContext& ctx, int productId) {
    auto q = ctx.db.select(kRowColumns + QStringLiteral(" WHERE p.ID = ?"), {productId});
    if (!q || !q->next())
        return std::nullopt;
    return readRow(*q);
}

QString ProductDeleteLogText(const QString& name, const QString& priceText, const QString& code) {
    return QStringLiteral("删除商品  商品详情(名称：%1; 价格：%2; 编号： %3; ").arg(name, priceText, code);
}

bool DeleteProductLogged(AppContext& ctx, int productId) {
    return db::runTransaction(ctx.db, [&] {
        auto q = ctx.db.select(QStringLiteral("SELECT PrdName, Price, PrdCode FROM tb_product WHERE ID = ?"),
                               {productId});
        if (!q || !q->next())
            return false;
        const QString text = ProductDeleteLogText(q->value(0).toString(), FormatMoney(q->value(1).toDouble()),
                                                  q->value(2).toString());
        q->finish();
        return DeleteProduct(ctx, productId) && WriteOpLog(ctx, text);
    });
}

} // namespace selvo
