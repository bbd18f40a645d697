#include "TestShop.h"

#include "core/products/Categories.h"
#include "core/products/ProductList.h"
#include "core/products/ProductPicker.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

namespace {
int addCategory(TestShop& shop, const QString& name, int pid) {
    auto id = shop.ctx.db.insertReturningId(
        QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) VALUES(?, ?)"), {name, pid});
    return id ? int(*id) : -1;
}

// Products added in the same second would tie on AddDate; fixtures set it.
void setAdded(TestShop& shop, int productId, const QString& when) {
    QVERIFY(
        shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET AddDate = ? WHERE ID = ?"),
                         {shop.ctx.db.dateTimeValue(QDateTime::fromString(when, Qt::ISODate)), productId}));
}

void setInitials(TestShop& shop, int productId, const QString& initials) {
    QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET FirstSpell = ? WHERE ID = ?"),
                             {initials, productId}));
}

QList<int> ids(const QList<ProductRow>& rows) {
    QList<int> result;
    for (const auto& r : rows)
        result << r.id;
    return result;
}

QList<int> ids(const QList<PickerRow>& rows) {
    QList<int> result;
    for (const auto& r : rows)
        result << r.id;
    return result;
}

// 食品 > 饮料, 日用; a product without category and one whose category is gone.
struct Catalogue {
    int food = 0, drinks = 0, daily = 0;
    int bread = 0, cola = 0, sprite = 0, soap = 0, oldTea = 0, loose = 0, orphan = 0;

    explicit Catalogue(TestShop& shop) {
        food = addCategory(shop, QStringLiteral("食品"), 0);
        drinks = addCategory(shop, QStringLiteral("饮料"), food);
        daily = addCategory(shop, QStringLiteral("日用"), 0);
        bread = shop.addProduct(QStringLiteral("1001"), QStringLiteral("面包"), 5, 3, 10, food);
        cola = shop.addProduct(QStringLiteral("2001"), QStringLiteral("可乐"), 3, 2, 2.5, drinks,
                               PropertySpecialOffer);
        sprite = shop.addProduct(QStringLiteral("2002"), QStringLiteral("雪碧"), 3, 2, 0, drinks);
        soap =
            shop.addProduct(QStringLiteral("3001"), QStringLiteral("香皂"), 4.5, 2, 1, daily, PropertyGift);
        oldTea = shop.addProduct(QStringLiteral("2003"), QStringLiteral("可口茶"), 2, 1, 0, drinks, 1,
                                 ProductOffShelf);
        loose = shop.addProduct(QStringLiteral("9001"), QStringLiteral("散货"), 1, 0, 0, 0);
        orphan = shop.addProduct(QStringLiteral("9002"), QStringLiteral("孤品"), 1, 0, 0, 777);
        setAdded(shop, bread, QStringLiteral("2024-01-01T08:00:00"));
        setAdded(shop, cola, QStringLiteral("2024-01-03T08:00:00"));
        setAdded(shop, sprite, QStringLiteral("2024-01-02T08:00:00"));
        setAdded(shop, soap, QStringLiteral("2024-01-04T08:00:00"));
        setInitials(shop, cola, QStringLiteral("KL"));
        setInitials(shop, sprite, QStringLiteral("XB"));
    }
};
} // namespace

class TestProductList final : public QObject {
    Q_OBJECT

private slots:
    void listingByTreeNode() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const Catalogue c(shop);
        const CategoryTree tree = CategoryTree::load(shop.ctx);

        // Every on-sale product whose category exists, newest first.
        QCOMPARE(ids(ListProducts(shop.ctx, kListAllOnSale, {})),
                 (QList<int>{c.soap, c.cola, c.sprite, c.bread}));
        QCOMPARE(ids(ListProducts(shop.ctx, kListOffShelf, {})), QList<int>{c.oldTea});
        QCOMPARE(ids(ListProducts(shop.ctx, c.food, {})), QList<int>{c.bread});
        // A category lists its own products first, then each subcategory's.
        QCOMPARE(ids(ListCategoryProducts(shop.ctx, tree, c.food, {})),
                 (QList<int>{c.bread, c.cola, c.sprite}));
        QCOMPARE(ids(ListCategoryProducts(shop.ctx, tree, c.drinks, {})), (QList<int>{c.cola, c.sprite}));
        QCOMPARE(ids(ListCategoryProducts(shop.ctx, tree, c.daily, {})), QList<int>{c.soap});
    }

    void columns() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const Catalogue c(shop);
        const auto cola = ReadProductRow(shop.ctx, c.cola);
        QVERIFY(cola);
        QCOMPARE(ProductColumns(*cola),
                 (QStringList{QStringLiteral("2001"), QStringLiteral("可乐"), QStringLiteral("KL"),
                              QStringLiteral("￥3.00"), QStringLiteral("个"), QStringLiteral("特价商品"),
                              QStringLiteral("饮料"), QStringLiteral("2.5")}));
        QVERIFY(shop.ctx.db.exec(
            QStringLiteral("UPDATE tb_product SET PrdName = NULL, FirstSpell = NULL, "
                           "Price = NULL, MeasuringUnit = NULL, PrdProperty = NULL WHERE ID = ?"),
            {c.cola}));
        QCOMPARE(ProductColumns(*ReadProductRow(shop.ctx, c.cola)),
                 (QStringList{QStringLiteral("2001"), QString(), QString(), QStringLiteral("￥0.00"),
                              QString(), QString(), QStringLiteral("饮料"), QStringLiteral("2.5")}));
        QVERIFY(!ReadProductRow(shop.ctx, c.orphan)); // its category is gone
        QVERIFY(!ReadProductRow(shop.ctx, 12345));
    }

    void searchAndPropertyFilter_data() {
        QTest::addColumn<int>("listFilter"); // -1, -2, or 1 = 饮料 (filled in)
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("property");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("name") << -1 << "可" << 0 << QStringList{QStringLiteral("可乐")};
        QTest::newRow("lower-case initials") << -1 << "xb" << 0 << QStringList{QStringLiteral("雪碧")};
        QTest::newRow("code part") << -1 << "200" << 0
                                   << QStringList{QStringLiteral("可乐"), QStringLiteral("雪碧")};
        QTest::newRow("blank search is no search")
            << -1 << "   " << 0
            << QStringList{QStringLiteral("香皂"), QStringLiteral("可乐"),   QStringLiteral("雪碧"),
                           QStringLiteral("面包"), QStringLiteral("啤酒🍺"),  QStringLiteral("O'Neil"),
                           QStringLiteral("A_B"),  QStringLiteral("50%折扣")};
        QTest::newRow("special offers matching 可") << -1 << "可" << 2 << QStringList{QStringLiteral("可乐")};
        QTest::newRow("gifts matching 可") << -1 << "可" << 3 << QStringList{};
        QTest::newRow("within the category") << 1 << "2" << 1 << QStringList{QStringLiteral("雪碧")};
        QTest::newRow("off-shelf search") << -2 << "可" << 0 << QStringList{QStringLiteral("可口茶")};
        QTest::newRow("percent is literal") << -1 << "%" << 0 << QStringList{QStringLiteral("50%折扣")};
        QTest::newRow("underscore is literal") << -1 << "_" << 0 << QStringList{QStringLiteral("A_B")};
        QTest::newRow("quote is literal") << -1 << "'" << 0 << QStringList{QStringLiteral("O'Neil")};
        QTest::newRow("sql text finds nothing") << -1 << "' OR '1'='1" << 0 << QStringList{};
        QTest::newRow("emoji") << -1 << "🍺" << 0 << QStringList{QStringLiteral("啤酒🍺")};
    }
    void searchAndPropertyFilter() {
        QFETCH(int, listFilter);
        QFETCH(QString, search);
        QFETCH(int, property);
        QFETCH(QStringList, names);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const Catalogue c(shop);
        for (const QString& odd : {QStringLiteral("50%折扣"), QStringLiteral("A_B"), QStringLiteral("O'Neil"),
                                   QStringLiteral("啤酒🍺")}) {
            const int id = shop.addProduct(QStringLiteral("X") + odd, odd, 1, 0, 0, c.daily);
            setAdded(shop, id, QStringLiteral("2023-01-01T00:00:00"));
        }
        const int f = listFilter == 1 ? c.drinks : listFilter;
        QStringList got;
        for (const auto& r : ListProducts(shop.ctx, f, {search, property}))
            got << r.name;
        QCOMPARE(got, names);
        // The page decides about single rows with the same rule as the statement.
        QStringList matched;
        for (const auto& r : ListProducts(shop.ctx, f, {}))
            if (ProductMatchesFilter(r, {search, property}))
                matched << r.name;
        QCOMPARE(matched, names);
    }

    // A category with more subcategories than one statement takes still lists all, in order.
    void manySubcategories() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int top = addCategory(shop, QStringLiteral("顶"), 0);
        QVERIFY(shop.ctx.db.begin());
        QList<int> expected;
        int parent = top;
        for (int i = 0; i < 620; ++i) {
            parent = addCategory(shop, QStringLiteral("层%1").arg(i), parent);
            if (i % 100 == 0 || i == 619)
                expected << shop.addProduct(QStringLiteral("C%1").arg(i), QStringLiteral("品%1").arg(i), 1, 0,
                                            0, parent);
        }
        QVERIFY(shop.ctx.db.commit());
        const CategoryTree tree = CategoryTree::load(shop.ctx);
        QCOMPARE(ids(ListCategoryProducts(shop.ctx, tree, top, {})), expected);
    }

    void deleteWritesOneLogLine() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const Catalogue c(shop);
        const int before = LoadCategoryCounts(shop.ctx).direct(c.drinks);
        QVERIFY(DeleteProductLogged(shop.ctx, c.cola));
        QCOMPARE(LoadCategoryCounts(shop.ctx).direct(c.drinks), before - 1);
        QCOMPARE(shop.count(QStringLiteral("tb_product"), QStringLiteral("ID = ?"), {c.cola}), 0);
        auto q = shop.ctx.db.select(QStringLiteral("SELECT SaleManID, Content FROM tb_OpRecord"));
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toInt(), 1);
        QCOMPARE(q->value(1).toString(),
                 QStringLiteral("删除商品  商品详情(名称：可乐; 价格：￥3.00; 编号： 2001; "));
        QVERIFY(!q->next());
        q->finish();

        // Gone already: nothing is written.
        QVERIFY(!DeleteProductLogged(shop.ctx, c.cola));
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord")), 1);
        // The log line fails: the product stays.
        shop.ctx.db.failNthStatement(3);
        QVERIFY(!DeleteProductLogged(shop.ctx, c.sprite));
        shop.ctx.db.failNthStatement(0);
        QCOMPARE(shop.count(QStringLiteral("tb_product"), QStringLiteral("ID = ?"), {c.sprite}), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord")), 1);
    }

    void pickerRows() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const Catalogue c(shop);
        QCOMPARE(ids(PickerRows(shop.ctx, {})),
                 (QList<int>{c.bread, c.cola, c.sprite, c.soap, c.loose, c.orphan}));
        const QList<PickerRow> kl = PickerRows(shop.ctx, QStringLiteral(" KL "));
        QCOMPARE(ids(kl), QList<int>{c.cola});
        QCOMPARE(kl[0].name, QStringLiteral("[特] 可乐"));
        QCOMPARE(kl[0].price, QStringLiteral("3.00"));
        QCOMPARE(kl[0].code, QStringLiteral("2001"));
        QCOMPARE(kl[0].unit, QStringLiteral("个"));
        QCOMPARE(PickerRows(shop.ctx, QStringLiteral("香"))[0].name, QStringLiteral("[赠] 香皂"));
        QCOMPARE(ids(PickerRows(shop.ctx, QStringLiteral("可"))),
                 QList<int>{c.cola}); // not the off-shelf 可口茶
        QCOMPARE(ids(PickerRows(shop.ctx, QStringLiteral("%"))), QList<int>{});
    }

    void pickerShowsTheHundredLowestIds() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.ctx.db.begin());
        QList<int> all;
        for (int i = 0; i < 130; ++i)
            all << shop.addProduct(QStringLiteral("P%1").arg(i), QStringLiteral("商品%1").arg(i), 1, 0, 0, 0,
                                   1, i == 5 ? ProductOffShelf : ProductOnSale);
        QVERIFY(shop.ctx.db.commit());
        all.removeAt(5);
        QCOMPARE(ids(PickerRows(shop.ctx, {})), all.mid(0, 100));
        QCOMPARE(PickerRows(shop.ctx, QStringLiteral("商品")).size(), 100);
    }

    void pickedIdsText() {
        QCOMPARE(PickedIdsText({7, 3}), QStringLiteral("7,3,"));
        QCOMPARE(PickedIdsText({}), QString());
        QCOMPARE(ParsePickedIds(QStringLiteral("12,15,20,")), (QList<int>{12, 15, 20}));
        QCOMPARE(ParsePickedIds(QStringLiteral("7,3")),
                 QList<int>{7}); // a piece without its comma is not used
        QCOMPARE(ParsePickedIds(QStringLiteral("1,x,2); DROP TABLE tb_product;--,4,")), (QList<int>{1, 4}));
        QCOMPARE(ParsePickedIds(QString()), QList<int>{});
    }
};

QTEST_GUILESS_MAIN(TestProductList)
#include "tst_productlist.moc"
