#include "TestShop.h"

#include "core/products/Categories.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

namespace {

QStringList choiceTexts(const QList<CategoryChoice>& choices) {
    QStringList texts;
    for (const auto& c : choices)
        texts << c.text;
    return texts;
}
} // namespace

class TestCategories final : public QObject {
    Q_OBJECT

private slots:
    void emptyTableHasOnlyTheRoot() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const CategoryTree tree = CategoryTree::load(shop.ctx);
        QVERIFY(tree.isEmpty());
        QVERIFY(tree.depthFirst().isEmpty());
        QVERIFY(CategoryChoices(tree).isEmpty());
        QCOMPARE(tree.totals(LoadCategoryCounts(shop.ctx)).value(kRootCategory), 0);
    }

    // A category with 3 on-sale products of its own, one off-shelf product and a subcategory
    // with 2 on-sale products reads [3/5]; the subcategory [2/2].
    void countsOwnAndSubcategoryProducts() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int food = shop.addCategory(QStringLiteral("食品"), 0);
        const int drinks = shop.addCategory(QStringLiteral("饮料"), food);
        const int tools = shop.addCategory(QStringLiteral("工具"), 0);
        for (int i = 0; i < 3; ++i)
            shop.addProduct(QStringLiteral("F%1").arg(i), QStringLiteral("食品%1").arg(i), 1, 0, 0, food);
        shop.addProduct(QStringLiteral("FX"), QStringLiteral("下架食品"), 1, 0, 0, food, 1, ProductOffShelf);
        shop.addProduct(QStringLiteral("D1"), QStringLiteral("可乐"), 3, 0, 0, drinks);
        shop.addProduct(QStringLiteral("D2"), QStringLiteral("雪碧"), 3, 0, 0, drinks);
        shop.addProduct(QStringLiteral("T1"), QStringLiteral("锤子"), 9, 0, 0, tools, 1, ProductOffShelf);
        shop.addProduct(QStringLiteral("R1"), QStringLiteral("无类别"), 9, 0, 0, 0);

        // Whatever the number of categories, counts and table come from two statements.
        shop.ctx.db.failNthStatement(1 << 30);
        const CategoryTree tree = CategoryTree::load(shop.ctx);
        const CategoryCounts counts = LoadCategoryCounts(shop.ctx);
        QCOMPARE(shop.ctx.db.statementsSinceArmed(), 2);
        shop.ctx.db.failNthStatement(0);

        const QHash<int, int> totals = tree.totals(counts);
        QCOMPARE(CategoryCountText(QStringLiteral("食品"), counts.direct(food), totals.value(food)),
                 QStringLiteral("食品   [3/5]"));
        QCOMPARE(CategoryCountText(QStringLiteral("饮料"), counts.direct(drinks), totals.value(drinks)),
                 QStringLiteral("饮料   [2/2]"));
        QCOMPARE(totals.value(tools), 0);
        // The root counts its own (PrdType 0) products and every reachable category's.
        QCOMPARE(counts.direct(kRootCategory), 1);
        QCOMPARE(totals.value(kRootCategory), 6);
        QCOMPARE(OffShelfCountText(QStringLiteral("下架商品"), counts.offShelf),
                 QStringLiteral("下架商品   [2]"));
    }

    void nodeTexts() {
        QCOMPARE(NewCategoryText(QStringLiteral("饮料")), QStringLiteral("饮料 [0/0]"));
        // A name holding placeholders must come out as typed.
        QCOMPARE(CategoryCountText(QStringLiteral("买%1送%2"), 4, 7), QStringLiteral("买%1送%2   [4/7]"));
        TreeProduct cola{1, QStringLiteral("可乐"), QStringLiteral("KL"), QStringLiteral("001"),
                         3, PropertySpecialOffer};
        QCOMPARE(TreeProductText(cola), QStringLiteral("[特]可乐(￥3.00)"));
        cola.property = PropertyGift;
        cola.price = 0.5;
        QCOMPARE(TreeProductText(cola), QStringLiteral("[赠]可乐(￥0.50)"));
        cola.property = 0; // NULL
        QCOMPARE(TreeProductText(cola), QStringLiteral("可乐(￥0.50)"));
    }

    // Depth first, two spaces per level, "┣" below the top level; editing leaves the category
    // and its descendants out of the parent list.
    void choiceListAndExclusion() {
        const CategoryTree tree = CategoryTree::fromRows({{1, 0, QStringLiteral("食品")},
                                                          {2, 0, QStringLiteral("日用")},
                                                          {3, 1, QStringLiteral("饮料")},
                                                          {4, 3, QStringLiteral("碳酸")},
                                                          {5, 1, QStringLiteral("零食")},
                                                          {6, 2, QStringLiteral("洗护")}});
        QCOMPARE(choiceTexts(CategoryChoices(tree)),
                 (QStringList{QStringLiteral("食品"), QStringLiteral("  ┣饮料"), QStringLiteral("    ┣碳酸"),
                              QStringLiteral("  ┣零食"), QStringLiteral("日用"), QStringLiteral("  ┣洗护")}));
        QCOMPARE(choiceTexts(CategoryChoices(tree, 3)),
                 (QStringList{QStringLiteral("食品"), QStringLiteral("  ┣零食"), QStringLiteral("日用"),
                              QStringLiteral("  ┣洗护")}));
        QCOMPARE(CategoryChoices(tree, 1).size(), 2);
        QCOMPARE(tree.subtree(1), (QList<int>{1, 3, 4, 5}));
        QCOMPARE(tree.subtree(99), QList<int>{});
        QCOMPARE(CategoryNameFromChoice(QStringLiteral("    ┣碳酸")), QStringLiteral("碳酸"));
        QCOMPARE(CategoryNameFromChoice(QStringLiteral("食品")), QStringLiteral("食品"));
    }

    // A table damaged by a category moved under its own descendant: the detached part is not
    // shown and nothing loops.
    void detachedCategoriesAreLeftOut() {
        const CategoryTree tree = CategoryTree::fromRows({{1, 0, QStringLiteral("食品")},
                                                          {2, 3, QStringLiteral("甲")},
                                                          {3, 2, QStringLiteral("乙")},
                                                          {4, 4, QStringLiteral("自己")},
                                                          {5, 77, QStringLiteral("孤儿")}});
        QCOMPARE(tree.depthFirst().size(), 1);
        QCOMPARE(tree.totals({{{2, 5}, {1, 1}}, 0}).value(kRootCategory), 1);
    }

    void addMoveRenameAndDelete() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        auto& ctx = shop.ctx;
        const auto food = AddCategoryRow(ctx, QStringLiteral("食品"), 0);
        QVERIFY(food);
        const auto drinks = AddCategoryRow(ctx, QStringLiteral("饮料"), *food);
        QVERIFY(drinks);
        QVERIFY(!AddCategoryRow(ctx, QStringLiteral("孤儿"), 9999)); // no such parent
        QCOMPARE(shop.count(QStringLiteral("tb_productTypes")), 2);

        QCOMPARE(UpdateCategoryRow(ctx, *drinks, QStringLiteral("酒水'; DROP TABLE tb_product; --"), 0),
                 CategoryUpdate::Saved);
        QCOMPARE(CategoryTree::load(ctx).find(*drinks)->name,
                 QStringLiteral("酒水'; DROP TABLE tb_product; --"));
        QCOMPARE(CategoryTree::load(ctx).find(*drinks)->pid, 0);
        QCOMPARE(UpdateCategoryRow(ctx, *drinks, QStringLiteral("饮料"), *food), CategoryUpdate::Saved);
        // Under itself or its own descendant it would vanish from the tree.
        QCOMPARE(UpdateCategoryRow(ctx, *food, QStringLiteral("食品"), *drinks), CategoryUpdate::WouldDetach);
        QCOMPARE(UpdateCategoryRow(ctx, *food, QStringLiteral("食品"), *food), CategoryUpdate::WouldDetach);
        QCOMPARE(UpdateCategoryRow(ctx, 9999, QStringLiteral("无"), 0), CategoryUpdate::NotFound);
        QCOMPARE(CategoryTree::load(ctx).find(*food)->pid, 0);

        // Refused while it holds a subcategory, or any product (off-shelf ones included).
        QCOMPARE(DeleteCategoryRow(ctx, *food), CategoryDelete::InUse);
        const int p = shop.addProduct(QStringLiteral("X1"), QStringLiteral("旧酒"), 5, 0, 0, *drinks, 1,
                                      ProductOffShelf);
        QCOMPARE(DeleteCategoryRow(ctx, *drinks), CategoryDelete::InUse);
        QCOMPARE(shop.count(QStringLiteral("tb_productTypes")), 2);
        QVERIFY(ctx.db.exec(QStringLiteral("DELETE FROM tb_product WHERE ID = ?"), {p}));
        QCOMPARE(DeleteCategoryRow(ctx, *drinks), CategoryDelete::Deleted);
        QCOMPARE(DeleteCategoryRow(ctx, *food), CategoryDelete::Deleted);
        QCOMPARE(shop.count(QStringLiteral("tb_productTypes")), 0);

        // A failed delete statement reports failure and keeps the row.
        const auto spare = AddCategoryRow(ctx, QStringLiteral("备用"), 0);
        QVERIFY(spare);
        ctx.db.failNthStatement(3);
        QCOMPARE(DeleteCategoryRow(ctx, *spare), CategoryDelete::Failed);
        ctx.db.failNthStatement(0);
        QCOMPARE(shop.count(QStringLiteral("tb_productTypes")), 1);
    }

    void onSaleProductsUnderTheirCategory() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int drinks = shop.addCategory(QStringLiteral("饮料"), 0);
        const int b = shop.addProduct(QStringLiteral("002"), QStringLiteral("雪碧"), 3, 0, 0, drinks);
        const int a = shop.addProduct(QStringLiteral("001"), QStringLiteral("可乐"), 3, 0, 0, drinks, 2);
        shop.addProduct(QStringLiteral("003"), QStringLiteral("旧货"), 3, 0, 0, drinks, 1, ProductOffShelf);
        const auto byCategory = OnSaleProductsByCategory(shop.ctx);
        const QList<TreeProduct> list = byCategory.value(drinks);
        QCOMPARE(list.size(), 2);
        QCOMPARE(list[0].id, b);
        QCOMPARE(list[1].id, a);
        QCOMPARE(TreeProductText(list[1]), QStringLiteral("[特]可乐(￥3.00)"));
        QCOMPARE(list[1].code, QStringLiteral("001"));
    }
};

QTEST_GUILESS_MAIN(TestCategories)
#include "tst_categories.moc"
