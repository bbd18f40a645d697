#pragma once

#include "core/db/NewestFirst.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace selvo {

struct AppContext;
class CategoryTree;

// List filters of the product page: every on-sale product, the off-shelf products, or a
// category ID (>= 0).
inline constexpr int kListAllOnSale = -1;
inline constexpr int kListOffShelf = -2;

// One product as the product page lists it.
struct ProductRow {
    int id = 0;
    QString code;
    QString name;
    QString initials;
    double price = 0;
    QString unit;
    int property = 0; // 0 when NULL
    QString categoryName;
    double stock = 0;
    int category = 0;
    int state = 0;
};

// The eight column texts: code, name, initials, "￥%.2f" price, unit, property text, category,
// "%g" stock.
QStringList ProductColumns(const ProductRow& row);

// What the page's search box and property filter narrow the list to.
struct ProductFilter {
    QString search;   // matched as a literal substring of name, initials or code
    int property = 0; // 0 = every property
};

// Whether a product passes the search text and property filter, as the listing statements
// decide it (literal, case-insensitive substring of name, initials or code).
bool ProductMatchesFilter(const ProductRow& row, const ProductFilter& filter);

// The IDs of ListProducts and ListCategoryProducts, in their order, for a list that reads its
// rows a page at a time (ProductRowsByIds); std::nullopt when the database failed.
std::optional<QVector<int>> ListProductIds(AppContext& ctx, int listFilter, const ProductFilter& filter);
std::optional<QVector<int>> ListCategoryProductIds(AppContext& ctx, const CategoryTree& tree, int categoryId,
                                                   const ProductFilter& filter);
// ListProductIds' IDs in the same order, read a page at a time as the list scrolls: a list of
// every product costs its first page.
class ProductListPages {
public:
    ProductListPages(AppContext& ctx, int listFilter, ProductFilter filter);
    // Up to `count` IDs following those read before; fewer once the list ends. std::nullopt when
    // the database failed.
    std::optional<QVector<int>> next(int count);

private:
    AppContext& m_ctx;
    int m_listFilter;
    ProductFilter m_filter;
    db::NewestFirstPages m_newest;
};
// The rows of these products in the order given; products gone since are left out.
QList<ProductRow> ProductRowsByIds(AppContext& ctx, const QVector<int>& ids);

// Products of one list filter, newest first. Products whose category row does not exist are
// not listed. An unreadable statement gives an empty list.
QList<ProductRow> ListProducts(AppContext& ctx, int listFilter, const ProductFilter& filter);
// A category's own products, then those of each subcategory in turn, depth first; each
// category's products newest first.
QList<ProductRow> ListCategoryProducts(AppContext& ctx, const CategoryTree& tree, int categoryId,
                                       const ProductFilter& filter);
// One product with its category name; std::nullopt when it does not exist (or its category
// does not).
std::optional<ProductRow> ReadProductRow(AppContext& ctx, int productId);

// Deletes a product and writes the log line "删除商品  商品详情(名称：%s; 价格：%s; 编号： %s; "
// in one transaction. False (nothing changed) when the product is gone or a write fails.
bool DeleteProductLogged(AppContext& ctx, int productId);
QString ProductDeleteLogText(const QString& name, const QString& priceText, const QString& code);

} // namespace selvo
