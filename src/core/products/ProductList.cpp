#include "core/products/ProductList.h"

#include "core/db/TextSearch.h"
#include "core/products/Categories.h"
#include "core/products/ProductText.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Money.h"

#include <QHash>

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

const QString kIdColumns = QStringLiteral(
    "SELECT p.ID, p.PrdType FROM tb_product p INNER JOIN tb_productTypes t ON p.PrdType = t.ID");

// The IDs and categories of the products passing `where` and the filter, newest first; ID breaks
// ties between products added in the same second, newest first as well.
bool listIds(AppContext& ctx, const db::SqlPart& where, const ProductFilter& filter,
             QList<std::pair<int, int>>& out) {
    db::SearchQuery query;
    query.select = kIdColumns;
    query.prefix = QStringLiteral("p.");
    query.where = where;
    if (filter.property != 0) {
        query.where.sql += QStringLiteral(" AND p.PrdProperty = ?");
        query.where.binds << filter.property;
    }
    query.orderBy = QStringLiteral("p.AddDate DESC, p.ID DESC");
    const auto statement = db::SearchStatement(ctx.db, db::SearchTable::Products, filter.search, query);
    auto q = statement ? ctx.db.select(statement->sql, statement->binds) : std::nullopt;
    if (!q)
        return false;
    while (q->next())
        out.append({q->value(0).toInt(), q->value(1).toInt()});
    return true;
}

QList<ProductRow> rowsOf(AppContext& ctx, const std::optional<QVector<int>>& ids) {
    return ids ? ProductRowsByIds(ctx, *ids) : QList<ProductRow>();
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

namespace {
db::SqlPart listWhere(int listFilter) {
    db::SqlPart where{QStringLiteral("p.State = ?"),
                      {listFilter == kListOffShelf ? int(ProductOffShelf) : int(ProductOnSale)}};
    if (listFilter >= 0) {
        // One category's rows are few: found by category, not by walking the shop's newest first.
        where.sql = QStringLiteral("+p.State = ? AND p.PrdType = ?");
        where.binds << listFilter;
    }
    return where;
}
} // namespace

std::optional<QVector<int>> ListProductIds(AppContext& ctx, int listFilter, const ProductFilter& filter) {
    QList<std::pair<int, int>> found;
    if (!listIds(ctx, listWhere(listFilter), filter, found))
        return std::nullopt;
    QVector<int> ids;
    ids.reserve(found.size());
    for (const auto& [id, category] : found)
        ids.append(id);
    return ids;
}

ProductListPages::ProductListPages(AppContext& ctx, int listFilter, ProductFilter filter)
    : m_ctx(ctx), m_listFilter(listFilter), m_filter(std::move(filter)),
      m_newest(ctx.db, QStringLiteral("tb_product p"), QStringLiteral("p.AddDate"), QStringLiteral("p.ID")) {}

std::optional<QVector<int>> ProductListPages::next(int count) {
    db::SqlPart fixed = listWhere(m_listFilter);
    if (m_filter.property != 0) {
        fixed.sql += QStringLiteral(" AND p.PrdProperty = ?");
        fixed.binds << m_filter.property;
    }
    db::SearchQuery query;
    query.select = QStringLiteral("FROM tb_product p INNER JOIN tb_productTypes t ON p.PrdType = t.ID");
    query.prefix = QStringLiteral("p.");
    query.where = fixed;
    return m_newest.next(db::SearchTable::Products, m_filter.search, query, count);
}

std::optional<QVector<int>> ListCategoryProductIds(AppContext& ctx, const CategoryTree& tree, int categoryId,
                                                   const ProductFilter& filter) {
    QList<int> categories = tree.subtree(categoryId);
    if (categories.isEmpty())
        categories = {categoryId};
    QHash<int, int> position;
    for (qsizetype i = 0; i < categories.size(); ++i)
        position.insert(categories[i], int(i));

    QList<std::pair<int, int>> found;
    for (qsizetype from = 0; from < categories.size(); from += kCategoriesPerStatement) {
        const qsizetype n = std::min<qsizetype>(kCategoriesPerStatement, categories.size() - from);
        db::SqlPart where{QStringLiteral("+p.State = ? AND p.PrdType IN ("), {int(ProductOnSale)}};
        for (qsizetype i = 0; i < n; ++i) {
            where.sql += i ? QStringLiteral(", ?") : QStringLiteral("?");
            where.binds << categories[from + i];
        }
        where.sql += QLatin1Char(')');
        if (!listIds(ctx, where, filter, found))
            return std::nullopt;
    }
    // Category by category in tree order; each category's rows keep their newest-first order.
    std::stable_sort(found.begin(), found.end(), [&](const auto& a, const auto& b) {
        return position.value(a.second) < position.value(b.second);
    });
    QVector<int> ids;
    ids.reserve(found.size());
    for (const auto& [id, category] : found)
        ids.append(id);
    return ids;
}

QList<ProductRow> ProductRowsByIds(AppContext& ctx, const QVector<int>& ids) {
    QList<ProductRow> rows;
    QHash<int, ProductRow> found;
    if (!db::SelectByIds(ctx.db, kRowColumns + QStringLiteral(" WHERE p.ID"), ids, [&](const QSqlQuery& q) {
            const ProductRow r = readRow(q);
            found.insert(r.id, r);
        }))
        return rows;
    rows.reserve(ids.size());
    for (const int id : ids) {
        const auto it = found.constFind(id);
        if (it != found.constEnd())
            rows.append(*it);
    }
    return rows;
}

QList<ProductRow> ListProducts(AppContext& ctx, int listFilter, const ProductFilter& filter) {
    return rowsOf(ctx, ListProductIds(ctx, listFilter, filter));
}

QList<ProductRow> ListCategoryProducts(AppContext& ctx, const CategoryTree& tree, int categoryId,
                                       const ProductFilter& filter) {
    return rowsOf(ctx, ListCategoryProductIds(ctx, tree, categoryId, filter));
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
