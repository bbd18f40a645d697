#include "core/products/Categories.h"

#include "core/db/TextSearch.h"
#include "core/products/ProductText.h"
#include "core/store/AppContext.h"
#include "core/support/Money.h"

#include <QSet>

namespace selvo {

CategoryCounts LoadCategoryCounts(AppContext& ctx) {
    CategoryCounts counts;
    // Grouped over the (PrdType, State) index without a condition: a plain index scan, several
    // times faster than filtering on State first. Other states are skipped here.
    auto q = ctx.db.select(
        QStringLiteral("SELECT PrdType, State, count(*) FROM tb_product GROUP BY PrdType, State"));
    if (!q)
        return counts;
    while (q->next()) {
        const int n = q->value(2).toInt();
        const QVariant state = q->value(1);
        if (state.isNull())
            continue;
        if (state.toInt() == ProductOffShelf)
            counts.offShelf += n;
        else if (state.toInt() == ProductOnSale && !q->value(0).isNull())
            counts.onSale[q->value(0).toInt()] += n;
    }
    return counts;
}

CategoryTree CategoryTree::load(AppContext& ctx) {
    QList<Category> rows;
    if (auto q =
            ctx.db.select(QStringLiteral("SELECT ID, Pid, PrdTypeName FROM tb_productTypes ORDER BY ID"))) {
        while (q->next())
            rows.append({q->value(0).toInt(), q->value(1).toInt(), q->value(2).toString()});
    }
    return fromRows(std::move(rows));
}

CategoryTree CategoryTree::fromRows(QList<Category> rows) {
    CategoryTree tree;
    tree.m_rows = std::move(rows);
    tree.build();
    return tree;
}

void CategoryTree::build() {
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const Category& c = m_rows[i];
        if (m_index.contains(c.id))
            continue; // a duplicated ID is shown once
        m_index.insert(c.id, int(i));
        m_children[c.pid].append(c.id);
    }
    // Iterative depth-first walk; `seen` keeps a damaged table (a category that is its own
    // ancestor) from looping.
    QSet<int> seen;
    QList<std::pair<int, int>> stack; // (id, depth), children pushed in reverse order
    const QList<int> top = m_children.value(kRootCategory);
    for (auto it = top.crbegin(); it != top.crend(); ++it)
        stack.append({*it, 0});
    while (!stack.isEmpty()) {
        const auto [id, depth] = stack.takeLast();
        if (id == kRootCategory || seen.contains(id))
            continue;
        seen.insert(id);
        m_order.append({id, depth});
        const QList<int> kids = m_children.value(id);
        for (auto it = kids.crbegin(); it != kids.crend(); ++it)
            stack.append({*it, depth + 1});
    }
}

const Category* CategoryTree::find(int id) const {
    const auto it = m_index.constFind(id);
    return it == m_index.cend() ? nullptr : &m_rows[*it];
}

QList<int> CategoryTree::subtree(int id) const {
    QList<int> result;
    for (qsizetype i = 0; i < m_order.size(); ++i) {
        if (m_order[i].first != id)
            continue;
        const int depth = m_order[i].second;
        result.append(id);
        for (qsizetype j = i + 1; j < m_order.size() && m_order[j].second > depth; ++j)
            result.append(m_order[j].first);
        break;
    }
    return result;
}

QHash<int, int> CategoryTree::totals(const CategoryCounts& counts) const {
    QHash<int, int> total;
    total.reserve(m_order.size() + 1);
    // Children come after their parent in depth-first order, so walking it backwards adds
    // every subtree before its parent is reached.
    for (auto it = m_order.crbegin(); it != m_order.crend(); ++it) {
        const int id = it->first;
        const int sum = total.value(id) + counts.direct(id);
        total[id] = sum;
        const Category* c = find(id);
        total[c->pid] += sum;
    }
    total[kRootCategory] += counts.direct(kRootCategory);
    return total;
}

QString CategoryCountText(const QString& name, int direct, int total) {
    // Concatenated, not arg(): a name may itself hold "%1".
    return name + QStringLiteral("   [") + QString::number(direct) + QLatin1Char('/') +
           QString::number(total) + QLatin1Char(']');
}

QString OffShelfCountText(const QString& name, int count) {
    return name + QStringLiteral("   [") + QString::number(count) + QLatin1Char(']');
}

QString NewCategoryText(const QString& name) {
    return name + QStringLiteral(" [0/0]");
}

QList<CategoryChoice> CategoryChoices(const CategoryTree& tree, int excludeSubtreeOf) {
    QList<CategoryChoice> choices;
    int skipBelowDepth = -1; // while >= 0: inside the excluded subtree
    for (const auto& [id, depth] : tree.depthFirst()) {
        if (skipBelowDepth >= 0) {
            if (depth > skipBelowDepth)
                continue;
            skipBelowDepth = -1;
        }
        if (id == excludeSubtreeOf) {
            skipBelowDepth = depth;
            continue;
        }
        QString text(depth * 2, QLatin1Char(' '));
        if (depth > 0)
            text += QStringLiteral("┣");
        text += tree.find(id)->name;
        choices.append({text, id});
    }
    return choices;
}

QString CategoryNameFromChoice(const QString& choiceText) {
    QString name = choiceText;
    qsizetype start = 0;
    while (start < name.size() && name[start].isSpace())
        ++start;
    name.remove(0, start);
    const QString marker = QStringLiteral("┣");
    while (name.startsWith(marker))
        name.remove(0, marker.size());
    while (name.endsWith(marker))
        name.chop(marker.size());
    return name;
}

QString CategoryNameEmptyText() {
    return QStringLiteral("分类名称不能为空");
}

QString CategoryInUseText() {
    return QStringLiteral("分组下有下级分组或商品(包括正常和下架商品)，不能删除！");
}

QString CategorySaveFailedText() {
    return QStringLiteral("商品分类保存失败，请刷新后重试！");
}

namespace {
bool categoryExists(AppContext& ctx, int id) {
    return ctx.db.scalar(QStringLiteral("SELECT ID FROM tb_productTypes WHERE ID = ?"), {id}).has_value();
}
} // namespace

std::optional<int> AddCategoryRow(AppContext& ctx, const QString& name, int parentId) {
    std::optional<qint64> id;
    const bool ok = db::runTransaction(ctx.db, [&] {
        // The parent may have been deleted at another till meanwhile.
        if (parentId != kRootCategory && !categoryExists(ctx, parentId))
            return false;
        id = ctx.db.insertReturningId(
            QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) VALUES(?, ?)"), {name, parentId});
        return id.has_value();
    });
    if (!ok || !id)
        return std::nullopt;
    return int(*id);
}

CategoryUpdate UpdateCategoryRow(AppContext& ctx, int id, const QString& name, int parentId) {
    CategoryUpdate result = CategoryUpdate::Failed;
    db::runTransaction(ctx.db, [&] {
        const CategoryTree tree = CategoryTree::load(ctx);
        if (!tree.find(id)) {
            result = CategoryUpdate::NotFound;
            return false;
        }
        if (parentId != kRootCategory && (!tree.find(parentId) || tree.subtree(id).contains(parentId) ||
                                          tree.subtree(parentId).isEmpty())) {
            result = CategoryUpdate::WouldDetach;
            return false;
        }
        int affected = 0;
        if (!ctx.db.exec(QStringLiteral("UPDATE tb_productTypes SET PrdTypeName = ?, Pid = ? WHERE ID = ?"),
                         {name, parentId, id}, &affected) ||
            affected != 1) {
            result = CategoryUpdate::Failed;
            return false;
        }
        result = CategoryUpdate::Saved;
        return true;
    });
    return result;
}

CategoryDelete DeleteCategoryRow(AppContext& ctx, int id) {
    CategoryDelete result = CategoryDelete::Failed;
    db::runTransaction(ctx.db, [&] {
        // A check that cannot be read refuses, as a found row does.
        auto child =
            ctx.db.select(QStringLiteral("SELECT ID FROM tb_productTypes WHERE Pid = ? LIMIT 1"), {id});
        auto product =
            ctx.db.select(QStringLiteral("SELECT ID FROM tb_product WHERE PrdType = ? LIMIT 1"), {id});
        if (!child || !product || child->next() || product->next()) {
            result = CategoryDelete::InUse;
            return false;
        }
        child->finish();
        product->finish();
        if (!ctx.db.exec(QStringLiteral("DELETE FROM tb_productTypes WHERE ID = ?"), {id})) {
            result = CategoryDelete::Failed;
            return false;
        }
        result = CategoryDelete::Deleted;
        return true;
    });
    return result;
}

QHash<int, QList<TreeProduct>> OnSaleProductsByCategory(AppContext& ctx) {
    QHash<int, QList<TreeProduct>> byCategory;
    auto q = ctx.db.select(
        QStringLiteral("SELECT ID, PrdName, FirstSpell, PrdCode, Price, PrdProperty, PrdType FROM tb_product "
                       "WHERE State = ? ORDER BY ID"),
        {int(ProductOnSale)});
    if (!q)
        return byCategory;
    while (q->next()) {
        TreeProduct p;
        p.id = q->value(0).toInt();
        p.name = q->value(1).toString();
        p.initials = q->value(2).toString();
        p.code = q->value(3).toString();
        p.price = q->value(4).toDouble();
        p.property = q->value(5).toInt();
        byCategory[q->value(6).toInt()].append(p);
    }
    return byCategory;
}

namespace {
const QString kTreeProductColumns =
    QStringLiteral("SELECT ID, PrdName, FirstSpell, PrdCode, Price, PrdProperty, PrdType FROM tb_product");

TreeProduct treeProduct(const QSqlQuery& q) {
    TreeProduct p;
    p.id = q.value(0).toInt();
    p.name = q.value(1).toString();
    p.initials = q.value(2).toString();
    p.code = q.value(3).toString();
    p.price = q.value(4).toDouble();
    p.property = q.value(5).toInt();
    return p;
}

bool treeKeysContain(const TreeProduct& p, const QString& upperText) {
    return p.name.toUpper().contains(upperText) || p.initials.toUpper().contains(upperText) ||
           p.code.toUpper().contains(upperText);
}

// Candidates the search finds per statement before the tree is walked category by category.
constexpr int kTreeCandidates = 300;
} // namespace

QList<TreeProduct> OnSaleProductsOf(AppContext& ctx, int categoryId) {
    QList<TreeProduct> list;
    auto q =
        ctx.db.select(kTreeProductColumns + QStringLiteral(" WHERE PrdType = ? AND State = ? ORDER BY ID"),
                      {categoryId, int(ProductOnSale)});
    while (q && q->next())
        list.append(treeProduct(*q));
    return list;
}

std::optional<int> OnSaleProductCount(AppContext& ctx) {
    const auto n = ctx.db.scalar(QStringLiteral("SELECT count(*) FROM tb_product WHERE State = ?"),
                                 {int(ProductOnSale)});
    if (!n)
        return std::nullopt;
    return n->toInt();
}

TreeMatch FindTreeMatch(AppContext& ctx, const CategoryTree& tree, const QString& upperText,
                        const QString& rootName) {
    if (upperText.isEmpty())
        return {};
    QHash<int, int> position;
    for (const auto& [id, depth] : tree.depthFirst())
        position.insert(id, int(position.size()));
    // Before (category position, node) in tree order: a category's node, then its products by ID.
    const auto before = [&](int categoryA, int productA, int categoryB, int productB) {
        const int pa = position.value(categoryA), pb = position.value(categoryB);
        return pa != pb ? pa < pb : productA < productB;
    };

    // A scanner types a whole code: the product with exactly that code comes first.
    TreeMatch best;
    auto exact =
        ctx.db.select(kTreeProductColumns + QStringLiteral(" WHERE upper(PrdCode) = upper(?) AND State = ?"),
                      {upperText, int(ProductOnSale)});
    while (exact && exact->next()) {
        const TreeProduct p = treeProduct(*exact);
        const int category = exact->value(6).toInt();
        if (!position.contains(category) || p.code.toUpper() != upperText)
            continue;
        if (best.kind == TreeMatch::None || before(category, p.id, best.category, best.id))
            best = {TreeMatch::Product, p.id, category};
    }
    if (best.kind != TreeMatch::None)
        return best;
    if (rootName.toUpper().contains(upperText))
        return {TreeMatch::Root, 0, 0};

    // The first category whose name holds the text; products before it in tree order still win.
    int firstCategory = -1;
    for (const auto& [id, depth] : tree.depthFirst()) {
        if (tree.find(id)->name.toUpper().contains(upperText)) {
            firstCategory = id;
            break;
        }
    }
    const auto categoryOrProduct = [&](const TreeMatch& product) -> TreeMatch {
        if (firstCategory >= 0 && (product.kind == TreeMatch::None ||
                                   position.value(firstCategory) <= position.value(product.category)))
            return {TreeMatch::Category, firstCategory, 0};
        return product;
    };

    // A rare text: every product holding it, from the search index.
    db::SearchQuery query;
    query.select = kTreeProductColumns;
    query.where = {QStringLiteral("State = ?"), {int(ProductOnSale)}};
    query.orderBy = QStringLiteral("ID");
    query.limit = kTreeCandidates;
    query.byId = true;
    const auto statement = db::SearchStatement(ctx.db, db::SearchTable::Products, upperText, query);
    auto q = statement ? ctx.db.select(statement->sql, statement->binds) : std::nullopt;
    if (!q)
        return categoryOrProduct({});
    int found = 0;
    TreeMatch product;
    while (q->next()) {
        ++found;
        const TreeProduct p = treeProduct(*q);
        const int category = q->value(6).toInt();
        if (!position.contains(category) || !treeKeysContain(p, upperText))
            continue;
        if (product.kind == TreeMatch::None || before(category, p.id, product.category, product.id))
            product = {TreeMatch::Product, p.id, category};
    }
    if (found < kTreeCandidates)
        return categoryOrProduct(product);

    // A common text: the categories in tree order, each asked for its first product holding it,
    // until one has one (a common text is found within the first few).
    for (const auto& [id, depth] : tree.depthFirst()) {
        if (id == firstCategory)
            return {TreeMatch::Category, id, 0};
        const db::SqlPart holds = db::ContainsCondition(ctx.db, db::SearchTable::Products, upperText);
        auto first =
            ctx.db.select(kTreeProductColumns + QStringLiteral(" WHERE PrdType = ? AND State = ? AND ") +
                              holds.sql + QStringLiteral(" ORDER BY ID"),
                          QVariantList{id, int(ProductOnSale)} + holds.binds);
        while (first && first->next()) {
            if (treeKeysContain(treeProduct(*first), upperText))
                return {TreeMatch::Product, first->value(0).toInt(), id};
        }
    }
    return {};
}

QString TreeProductText(const TreeProduct& product) {
    return PropertyTag(product.property) + product.name + QLatin1Char('(') + FormatMoney(product.price) +
           QLatin1Char(')');
}

} // namespace selvo
