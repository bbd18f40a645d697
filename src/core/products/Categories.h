#pragma once

#include "core/store/Vocabulary.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

namespace selvo {

struct AppContext;

// The root "全部商品" is not a row: it stands for the parent ID 0.
inline constexpr int kRootCategory = 0;

struct Category {
    int id = 0;
    int pid = 0;
    QString name;
};

// On-sale products per category and the number of off-shelf products, read in one statement.
struct CategoryCounts {
    QHash<int, int> onSale; // PrdType -> number of on-sale products
    int offShelf = 0;
    int direct(int categoryId) const { return onSale.value(categoryId); }
};

// Reads the counts; all zero when the statement fails (a count that cannot be read is 0).
CategoryCounts LoadCategoryCounts(AppContext& ctx);

// The category table held in memory, so trees, choice lists and counts are built without a
// statement per category. Categories whose parent chain does not reach the root are not part
// of the tree (they are listed by nothing).
class CategoryTree final {
public:
    // Reads tb_productTypes in ID order; an unreadable table gives an empty tree.
    static CategoryTree load(AppContext& ctx);
    static CategoryTree fromRows(QList<Category> rows);

    bool isEmpty() const { return m_rows.isEmpty(); }
    const QList<Category>& rows() const { return m_rows; }
    const Category* find(int id) const;
    // Direct children of a parent (0 = the root), in table order.
    QList<int> childrenOf(int parentId) const { return m_children.value(parentId); }
    // Every category reachable from the root, depth first, with its depth (top level 0).
    const QList<std::pair<int, int>>& depthFirst() const { return m_order; }
    // The category and all its descendants, depth first.
    QList<int> subtree(int id) const;
    // Total on-sale count of the root (0) and every category: its own plus its subcategories'.
    QHash<int, int> totals(const CategoryCounts& counts) const;

private:
    void build();

    QList<Category> m_rows;
    QHash<int, int> m_index;            // id -> position in m_rows (first row with that ID)
    QHash<int, QList<int>> m_children;  // parent id -> child ids
    QList<std::pair<int, int>> m_order; // (id, depth), depth first from the root
};

// "%s   [%d/%d]" (three spaces): a root or category node after a count update.
QString CategoryCountText(const QString& name, int direct, int total);
// "%s   [%d]": the "下架商品" node after a count update.
QString OffShelfCountText(const QString& name, int count);
// A category node just added, before the next count update: name + " [0/0]".
QString NewCategoryText(const QString& name);

// One entry of a category drop-down: indented text and the category ID.
struct CategoryChoice {
    QString text;
    int id = 0;
};
// Categories depth first as the drop-downs show them: two spaces per level and "┣" below the
// top level ("  ┣饮料"). The category `excludeSubtreeOf` and its descendants are left out
// (editing a category must not offer itself or its descendants as the new parent).
QList<CategoryChoice> CategoryChoices(const CategoryTree& tree, int excludeSubtreeOf = -1);
// The name in a drop-down entry: the text without its indentation and "┣" markers.
QString CategoryNameFromChoice(const QString& choiceText);

QString CategoryNameEmptyText(); // "分类名称不能为空"
QString CategoryInUseText(); // "分组下有下级分组或商品(包括正常和下架商品)，不能删除！"
QString CategorySaveFailedText(); // a new or changed category could not be stored

// Stores a new category; its ID, or std::nullopt when the row could not be written.
std::optional<int> AddCategoryRow(AppContext& ctx, const QString& name, int parentId);

enum class CategoryUpdate { Saved, NotFound, WouldDetach, Failed };
// Renames and/or moves a category. A parent inside the category's own subtree is refused
// (WouldDetach): the category would no longer hang under the root.
CategoryUpdate UpdateCategoryRow(AppContext& ctx, int id, const QString& name, int parentId);

enum class CategoryDelete { Deleted, InUse, Failed };
// Deletes a category that has neither subcategories nor products (on sale or not).
CategoryDelete DeleteCategoryRow(AppContext& ctx, int id);

// A product as the sale screen's tree shows it under its category.
struct TreeProduct {
    int id = 0;
    QString name;
    QString initials;
    QString code;
    double price = 0;
    int property = PropertyRegular;
};
// Every on-sale product by category, each list in ID order; read in one statement.
QHash<int, QList<TreeProduct>> OnSaleProductsByCategory(AppContext& ctx);
// One category's on-sale products in ID order, for a tree that fills a category as it is opened.
QList<TreeProduct> OnSaleProductsOf(AppContext& ctx, int categoryId);
// How many products are on sale; std::nullopt when it cannot be read.
std::optional<int> OnSaleProductCount(AppContext& ctx);

// What the sale screen's search box selects in the tree for an (upper-case) text: the product
// whose upper-cased code is the text, else the first node in tree order (the root, then each
// category followed by its products, then its subcategories) whose upper-cased name, initials or
// code contains it. Found without the products being in the tree.
struct TreeMatch {
    enum Kind { None, Root, Category, Product } kind = None;
    int id = 0;       // the category or product
    int category = 0; // a product's category
};
TreeMatch FindTreeMatch(AppContext& ctx, const CategoryTree& tree, const QString& upperText,
                        const QString& rootName);

// "[特]可乐(￥3.00)": prefix without a space, name, price in brackets.
QString TreeProductText(const TreeProduct& product);

} // namespace selvo
