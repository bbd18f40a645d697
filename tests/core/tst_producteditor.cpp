#include "TestShop.h"

#include "core/products/Categories.h"
#include "core/products/ProductEditor.h"
#include "core/products/Units.h"
#include "core/support/Clock.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

Q_DECLARE_METATYPE(selvo::ProductField)

namespace {

ProductForm validForm(int category) {
    ProductForm f;
    f.code = QStringLiteral("1234567");
    f.name = QStringLiteral("矿泉水");
    f.initials = QStringLiteral("KQS");
    f.purchasePrice = QStringLiteral("1");
    f.price = QStringLiteral("2");
    f.unit = QStringLiteral("瓶");
    f.category = category;
    return f;
}
} // namespace

class TestProductEditor final : public QObject {
    Q_OBJECT

private slots:
    // Each row breaks one field of an otherwise valid new product; the first failing check
    // in the editor's order is reported.
    void checksInOrder_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::addColumn<ProductField>("focus");
        QTest::addColumn<bool>("select");
        QTest::newRow("empty code") << "code"
                                    << ""
                                    << "产品编号不能为空！" << ProductField::Code << false;
        QTest::newRow("blank code") << "code"
                                    << "   "
                                    << "产品编号不能为空！" << ProductField::Code << false;
        QTest::newRow("taken code") << "code"
                                    << "9000001"
                                    << "产品编号已存在，请重新填写！" << ProductField::Code << true;
        QTest::newRow("taken code with blanks")
            << "code"
            << " 9000001 "
            << "产品编号已存在，请重新填写！" << ProductField::Code << true;
        QTest::newRow("blank name") << "name"
                                    << "  "
                                    << "请输入产品名称！" << ProductField::Name << false;
        QTest::newRow("special prefix")
            << "name"
            << "[特] 可乐"
            << "产品名称不能含 '[特]  ' 请修改后重试" << ProductField::Name << true;
        QTest::newRow("special prefix inside")
            << "name"
            << "大[特] 可乐"
            << "产品名称不能含 '[特]  ' 请修改后重试" << ProductField::Name << true;
        QTest::newRow("tag without space is fine") << "name"
                                                   << "[特]可乐"
                                                   << "" << ProductField::None << false;
        QTest::newRow("taken name") << "name"
                                    << "老产品"
                                    << "产品名称已存在，请重新填写！" << ProductField::Name << true;
        QTest::newRow("no category") << "category"
                                     << "0"
                                     << "请选择商品类别" << ProductField::Category << false;
        QTest::newRow("deleted category") << "category"
                                          << "999"
                                          << "请选择商品类别" << ProductField::Category << false;
        QTest::newRow("blank unit") << "unit"
                                    << " "
                                    << "请选择计量单位" << ProductField::Unit << false;
        QTest::newRow("free-text unit") << "unit"
                                        << "打"
                                        << "" << ProductField::None << false;
        QTest::newRow("blank prices are 0") << "price"
                                            << ""
                                            << "" << ProductField::None << false;
        for (const char* bad :
             {"abc", "nan", "inf", "0x10", "12abc", "-1", "1e400", "999999999", "￥3", "１２"}) {
            QTest::addRow("price %s", bad)
                << "price" << bad << "请输入正确的零售价！" << ProductField::Price << true;
            QTest::addRow("purchase %s", bad)
                << "purchase" << bad << "请输入正确的采购价！" << ProductField::PurchasePrice << true;
            QTest::addRow("stock %s", bad)
                << "stock" << bad << "请输入正确的初始库存！" << ProductField::Stock << true;
        }
        QTest::newRow("stock 2.5") << "stock"
                                   << "2.5"
                                   << "" << ProductField::None << false;
    }
    void checksInOrder() {
        QFETCH(QString, field);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(ProductField, focus);
        QFETCH(bool, select);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int category = shop.addCategory(QStringLiteral("饮料"));
        shop.addProduct(QStringLiteral("9000001"), QStringLiteral("老产品"), 1, 0, 0, category);
        ProductForm f = validForm(category);
        if (field == QLatin1String("code"))
            f.code = value;
        else if (field == QLatin1String("name"))
            f.name = value;
        else if (field == QLatin1String("category"))
            f.category = value.toInt();
        else if (field == QLatin1String("unit"))
            f.unit = value;
        else if (field == QLatin1String("price"))
            f.price = value;
        else if (field == QLatin1String("purchase"))
            f.purchasePrice = value;
        else if (field == QLatin1String("stock"))
            f.openingStock = value;
        const ProductCheck c = CheckProduct(shop.ctx, -1, f);
        QCOMPARE(c.message, message);
        QCOMPARE(c.field, focus);
        QCOMPARE(c.selectText, select);
        // A refusal writes nothing.
        const ProductSave s = SaveProduct(shop.ctx, -1, f);
        QCOMPARE(s.ok, message.isEmpty());
        QCOMPARE(s.message, message);
        QCOMPARE(shop.count(QStringLiteral("tb_product")), message.isEmpty() ? 2 : 1);
    }

    void checkOrderWhenEverythingIsWrong() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        ProductForm f;
        f.price = QStringLiteral("abc");
        QCOMPARE(CheckProduct(shop.ctx, -1, f).message, QStringLiteral("产品编号不能为空！"));
        f.code = QStringLiteral("1");
        QCOMPARE(CheckProduct(shop.ctx, -1, f).message, QStringLiteral("请输入产品名称！"));
        f.name = QStringLiteral("x");
        QCOMPARE(CheckProduct(shop.ctx, -1, f).message, QStringLiteral("请选择商品类别"));
        f.category = shop.addCategory(QStringLiteral("杂货"));
        QCOMPARE(CheckProduct(shop.ctx, -1, f).message, QStringLiteral("请选择计量单位"));
        f.unit = QStringLiteral("个");
        QCOMPARE(CheckProduct(shop.ctx, -1, f).message, QStringLiteral("请输入正确的零售价！"));
    }

    void belowCostAsks_data() {
        QTest::addColumn<QString>("purchase");
        QTest::addColumn<QString>("price");
        QTest::addColumn<bool>("asks");
        QTest::newRow("below") << "5"
                               << "4.99" << true;
        QTest::newRow("equal") << "5"
                               << "5.00" << false;
        QTest::newRow("above") << "5"
                               << "6" << false;
        QTest::newRow("blank retail below cost") << "5"
                                                 << "" << true;
    }
    void belowCostAsks() {
        QFETCH(QString, purchase);
        QFETCH(QString, price);
        QFETCH(bool, asks);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        ProductForm f = validForm(shop.addCategory(QStringLiteral("饮料")));
        f.purchasePrice = purchase;
        f.price = price;
        const ProductCheck c = CheckProduct(shop.ctx, -1, f);
        QVERIFY(c.ok());
        QCOMPARE(c.askBelowCost, asks);
    }

    void openingStock_data() {
        QTest::addColumn<bool>("mustInt");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("stored");
        QTest::newRow("whole numbers drop the fraction") << true << "2.5" << 2.0;
        QTest::newRow("fractions kept") << false << "2.5" << 2.5;
        QTest::newRow("empty is 0") << true << "" << 0.0;
        QTest::newRow("blanks are 0") << false << "  " << 0.0;
        QTest::newRow("exponent") << true << "1e3" << 1000.0;
    }
    void openingStock() {
        QFETCH(bool, mustInt);
        QFETCH(QString, text);
        QFETCH(double, stored);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        ProductForm f = validForm(shop.addCategory(QStringLiteral("饮料")));
        f.mustInt = mustInt;
        f.openingStock = text;
        const ProductSave s = SaveProduct(shop.ctx, -1, f);
        QVERIFY2(s.ok, qPrintable(s.message));
        QCOMPARE(
            shop.ctx.db.scalar(QStringLiteral("SELECT PrdInventory FROM tb_product WHERE ID = ?"), {s.id})
                ->toDouble(),
            stored);
    }

    void addThenEdit() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        ManualClock clock(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
        Clock::setInstance(&clock);
        const int drinks = shop.addCategory(QStringLiteral("饮料"));
        const int snacks = shop.addCategory(QStringLiteral("零食"));
        ProductForm f = validForm(drinks);
        f.code = QStringLiteral(" 1234567 ");
        f.name = QStringLiteral(" 矿泉水");
        f.mustInt = false;
        f.openingStock = QStringLiteral("3.5");
        f.state = ProductOffShelf;
        f.property = PropertyGift;
        f.unit = QStringLiteral(" 瓶 ");
        const ProductSave added = SaveProduct(shop.ctx, -1, f);
        QVERIFY2(added.ok, qPrintable(added.message));
        QVERIFY(added.id > 0);

        auto q =
            shop.ctx.db.select(QStringLiteral("SELECT PrdCode, PrdName, FirstSpell, PurchasePrice, Price, "
                                              "MustIntNum, PrdType, MeasuringUnit, LastEditDate, State, "
                                              "PrdProperty, PrdInventory FROM tb_product WHERE ID = ?"),
                               {added.id});
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toString(), QStringLiteral("1234567"));
        QCOMPARE(q->value(1).toString(), QStringLiteral("矿泉水"));
        QCOMPARE(q->value(2).toString(), QStringLiteral("KQS"));
        QCOMPARE(q->value(3).toDouble(), 1.0);
        QCOMPARE(q->value(4).toDouble(), 2.0);
        QCOMPARE(q->value(5).toInt(), 0);
        QCOMPARE(q->value(6).toInt(), drinks);
        QCOMPARE(q->value(7).toString(), QStringLiteral("瓶"));
        QCOMPARE(db::toDateTime(q->value(8)), clock.now());
        QCOMPARE(q->value(9).toInt(), int(ProductOffShelf));
        QCOMPARE(q->value(10).toInt(), int(PropertyGift));
        QCOMPARE(q->value(11).toDouble(), 3.5);
        q->finish();

        // The editor shows it back; its own code and name pass the uniqueness checks.
        auto loaded = LoadProductForm(shop.ctx, added.id);
        QVERIFY(loaded);
        QCOMPARE(loaded->code, QStringLiteral("1234567"));
        QCOMPARE(loaded->purchasePrice, QStringLiteral("1.00"));
        QCOMPARE(loaded->price, QStringLiteral("2.00"));
        QCOMPARE(loaded->openingStock, QStringLiteral("3.5"));
        QCOMPARE(loaded->state, int(ProductOffShelf));
        QCOMPARE(loaded->property, int(PropertyGift));
        QVERIFY(CheckProduct(shop.ctx, added.id, *loaded).ok());
        QCOMPARE(CheckProduct(shop.ctx, -1, *loaded).message, QStringLiteral("产品编号已存在，请重新填写！"));

        clock.advanceSecs(60);
        loaded->category = snacks;
        loaded->price = QStringLiteral("2.5");
        loaded->openingStock = QStringLiteral("99"); // stock is not the editor's to change
        loaded->code = QStringLiteral("7777777");    // nor is the code
        const ProductSave edited = SaveProduct(shop.ctx, added.id, *loaded);
        QVERIFY2(edited.ok, qPrintable(edited.message));
        QCOMPARE(edited.id, added.id);
        q = shop.ctx.db.select(
            QStringLiteral("SELECT PrdCode, PrdType, Price, PrdInventory, LastEditDate FROM "
                           "tb_product WHERE ID = ?"),
            {added.id});
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toString(), QStringLiteral("1234567"));
        QCOMPARE(q->value(1).toInt(), snacks);
        QCOMPARE(q->value(2).toDouble(), 2.5);
        QCOMPARE(q->value(3).toDouble(), 3.5);
        QCOMPARE(db::toDateTime(q->value(4)), clock.now());
        q->finish();
        Clock::setInstance(nullptr);

        // Deleted meanwhile at another till.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_product")));
        const ProductSave gone = SaveProduct(shop.ctx, added.id, *loaded);
        QVERIFY(!gone.ok);
        QCOMPARE(gone.message, QStringLiteral("无法读取商品信息"));
        QVERIFY(!LoadProductForm(shop.ctx, added.id));
    }

    void loadShowsStoredValues() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int id = shop.addProduct(QStringLiteral("555"), QStringLiteral("西瓜"), 3, 0, 7.9, 0);
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET MustIntNum = 1, Price = NULL, "
                                                "PurchasePrice = NULL, State = 7, PrdProperty = NULL, "
                                                "FirstSpell = 'XG' WHERE ID = ?"),
                                 {id}));
        const auto f = LoadProductForm(shop.ctx, id);
        QVERIFY(f);
        QCOMPARE(f->price, QStringLiteral("0"));
        QCOMPARE(f->purchasePrice, QStringLiteral("0"));
        QCOMPARE(f->openingStock, QStringLiteral("7")); // "%d" of the truncated value
        QVERIFY(f->mustInt);
        QCOMPARE(f->state, int(ProductOnSale));
        QCOMPARE(f->property, int(PropertyRegular));
        QCOMPARE(f->initials, QStringLiteral("XG"));
    }

    // Another till stores the same code between the check and the save.
    void codeTakenMeanwhile() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const ProductForm f = validForm(shop.addCategory(QStringLiteral("饮料")));
        QVERIFY(CheckProduct(shop.ctx, -1, f).ok());
        shop.addProduct(f.code, QStringLiteral("别家"), 1);
        const ProductSave s = SaveProduct(shop.ctx, -1, f);
        QVERIFY(!s.ok);
        QCOMPARE(s.message, QStringLiteral("产品编号已存在，请重新填写！"));
        QCOMPARE(s.field, ProductField::Code);
        QCOMPARE(shop.count(QStringLiteral("tb_product")), 1);
    }

    void failedWriteSaysSo() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const ProductForm f = validForm(shop.addCategory(QStringLiteral("饮料")));
        // The checks read three times before the save's transaction and three times inside it.
        shop.ctx.db.failNthStatement(7);
        const ProductSave s = SaveProduct(shop.ctx, -1, f);
        shop.ctx.db.failNthStatement(0);
        QVERIFY(!s.ok);
        QCOMPARE(s.message, QStringLiteral("无法打开数据库！"));
        QCOMPARE(shop.count(QStringLiteral("tb_product")), 0);
    }

    void productCodes() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        for (int i = 0; i < 50; ++i) {
            const QString code = MakeProductCode(shop.ctx, -1);
            QVERIFY(code.size() >= 7 && code.size() <= 9);
            const qint64 n = code.toLongLong();
            QVERIFY(n >= 1000000 && n <= 999999999);
        }
        // Draws that are all taken: give up after the bounded number of tries.
        const int id = shop.addProduct(QStringLiteral("1000042"), QStringLiteral("占用"), 1);
        int draws = 0;
        const auto same = [&] {
            ++draws;
            return quint32(42);
        };
        QCOMPARE(MakeProductCode(shop.ctx, -1, same, 25), QString());
        QCOMPARE(draws, 25);
        // The product's own code is not "another product's".
        QCOMPARE(MakeProductCode(shop.ctx, id, same, 25), QStringLiteral("1000042"));
        // The largest draw stays within nine digits.
        QCOMPARE(MakeProductCode(
                     shop.ctx, -1, [] { return quint32(998999999); }, 1),
                 QStringLiteral("999999999"));
    }

    void unitEntry() {
        const QStringList entries{QStringLiteral("个"), QStringLiteral("公斤"), QStringLiteral("公"),
                                  QStringLiteral("个")};
        QCOMPARE(UnitEntryIndex(entries, QStringLiteral("个")), 3); // the search starts at the second entry
        QCOMPARE(UnitEntryIndex(entries, QStringLiteral("公")), 2); // exact, not the first that begins so
        QCOMPARE(UnitEntryIndex(entries, QStringLiteral("打")), -1);
        QCOMPARE(UnitEntryIndex(entries, QString()), -1);
        QCOMPARE(UnitEntryIndex({}, QStringLiteral("个")), -1);
        QCOMPARE(UnitEntryIndex({QStringLiteral("个")}, QStringLiteral("个")), 0);
    }

    void unitsText_data() {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("empty line kept")
            << "个\n\n件"
            << "个||件|" << QStringList{QStringLiteral("个"), QString(), QStringLiteral("件")};
        QTest::newRow("windows line breaks")
            << "个\r\n件\r\n"
            << "个|件|" << QStringList{QStringLiteral("个"), QStringLiteral("件")};
        QTest::newRow("surrounding blanks")
            << "\n  个\n件  \n\n"
            << "个|件|" << QStringList{QStringLiteral("个"), QStringLiteral("件")};
        QTest::newRow("already ends with bar") << "个|"
                                               << "个|" << QStringList{QStringLiteral("个")};
        QTest::newRow("empty") << "   \n"
                               << "" << QStringList{};
    }
    void unitsText() {
        QFETCH(QString, editor);
        QFETCH(QString, stored);
        QFETCH(QStringList, entries);
        QCOMPARE(UnitsFromEditorText(editor), stored);
        QCOMPARE(SplitUnits(stored), entries);
        // Back into the editor and out again gives the same text.
        QCOMPARE(UnitsFromEditorText(UnitsToEditorText(stored)), stored);
    }

    void unitsStorage() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QCOMPARE(SplitUnits(QStringLiteral("个|件|公斤")),
                 (QStringList{QStringLiteral("个"), QStringLiteral("件")}));
        QVERIFY(!ReadUnitsText(shop.ctx).isEmpty());
        // A second row is never read or written.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_Units(Units) VALUES('别|')")));
        QVERIFY(SaveUnitsText(shop.ctx, QStringLiteral("个||件|")));
        QCOMPARE(ReadUnitsText(shop.ctx), QStringLiteral("个||件|"));
        QCOMPARE(shop.count(QStringLiteral("tb_Units"), QStringLiteral("Units = '别|'")), 1);
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_Units")));
        QVERIFY(!SaveUnitsText(shop.ctx, QStringLiteral("个|")));
        QCOMPARE(ReadUnitsText(shop.ctx), QString());
    }
};

QTEST_GUILESS_MAIN(TestProductEditor)
#include "tst_producteditor.moc"
