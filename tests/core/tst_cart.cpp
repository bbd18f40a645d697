#include "TestShop.h"

#include "core/sales/Cart.h"
#include "core/sales/QuantityEdit.h"

#include <QTest>

using namespace selvo;

namespace {
SaleProduct product(int id, const QString& name, double price, int property = PropertyRegular,
                    int mustInt = 0, const QString& unit = QStringLiteral("瓶"), double cost = 0,
                    double stock = 5) {
    SaleProduct p;
    p.id = id;
    p.code = QStringLiteral("P%1").arg(id);
    p.name = name;
    p.unit = unit;
    p.price = price;
    p.cost = cost;
    p.stock = stock;
    p.property = property;
    p.mustIntNum = mustInt;
    return p;
}

QStringList rowTexts(const CartRow& row) {
    QStringList t;
    for (int c = 0; c < CartColumnCount; ++c)
        t << row.text(c);
    return t;
}

QStringList texts(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* s : items)
        out << QString::fromUtf8(s);
    return out;
}

StoreSettings rate(int yuanToInteral, bool specialOffer = false) {
    StoreSettings s;
    s.yuanToInteral = yuanToInteral;
    s.specialOffer = specialOffer;
    return s;
}
} // namespace

class TestCart final : public QObject {
    Q_OBJECT

private slots:
    void columnTexts() {
        Cart cart;
        cart.add(
            product(7, QStringLiteral("可乐"), 3, PropertySpecialOffer, 1, QStringLiteral("瓶"), 1.2, 12),
            true);
        cart.add(product(8, QStringLiteral("赠品杯"), 0, PropertyGift), true);
        cart.add(product(9, QStringLiteral("大米"), 2.5, 0, 0, QStringLiteral("公斤"), 0, 7.5), true);
        QCOMPARE(rowTexts(cart.rows()[0]), (texts({"1", "[特] 可乐 (12)", "1 瓶", "￥3.00", "10", "￥3.00",
                                                   "=￥3.00", "1", "P7", "瓶", "1.20"})));
        QCOMPARE(cart.rows()[1].text(ColName), QStringLiteral("[赠] 赠品杯 (5)"));
        QCOMPARE(cart.rows()[2].text(ColName), QStringLiteral("大米 (7.5)"));
        QCOMPARE(cart.rows()[0].lineName(), QStringLiteral("[特] 可乐"));
        QCOMPARE(CartHeader(ColName), QStringLiteral("商品名称 (库存)"));
        QCOMPARE(CartHeader(ColLineTotal), QStringLiteral("合计(￥)"));
    }

    void addingAgainFromTreeIncrementsAndResetsDiscount() {
        Cart cart;
        const SaleProduct p = product(1, QStringLiteral("茶"), 10);
        cart.add(p, true);
        cart.applyEdit(0, {2, 8, 8, false});
        QCOMPARE(cart.rows()[0].text(ColDiscount), QStringLiteral("8.0"));
        // The product picker leaves an existing row alone.
        cart.add(p, false);
        QCOMPARE(cart.rows()[0].text(ColQuantity), QStringLiteral("2 瓶"));
        QCOMPARE(cart.rows()[0].text(ColDiscountPrice), QStringLiteral("￥8.00"));
        // The tree and Enter raise the quantity and refill the row at list price.
        cart.add(p, true);
        QCOMPARE(cart.size(), 1);
        QCOMPARE(cart.rows()[0].text(ColQuantity), QStringLiteral("3 瓶"));
        QCOMPARE(cart.rows()[0].text(ColDiscount), QStringLiteral("10"));
        QCOMPARE(cart.rows()[0].text(ColDiscountPrice), QStringLiteral("￥10.00"));
    }

    void specialOffersAndPoints_data() {
        QTest::addColumn<bool>("specialOfferEarns");
        QTest::addColumn<int>("points");
        QTest::newRow("special offers earn nothing") << false << 5;
        QTest::newRow("special offers earn points") << true << 8;
    }
    void specialOffersAndPoints() {
        QFETCH(bool, specialOfferEarns);
        QFETCH(int, points);
        Cart cart;
        cart.add(product(1, QStringLiteral("米"), 50), true);
        cart.add(product(2, QStringLiteral("油"), 30, PropertySpecialOffer), true);
        const CartTotals t = cart.totals(rate(10, specialOfferEarns));
        QCOMPARE(t.points, points);
        // The offer's line counts in the amount due either way.
        QCOMPARE(t.amountDueText(), QStringLiteral("￥80.00"));
        QCOMPARE(t.specialOfferAmount, specialOfferEarns ? 0.0 : 30.0);
    }

    void pointsTruncate() {
        Cart cart;
        cart.add(product(1, QStringLiteral("茶"), 99.99), true);
        QCOMPARE(cart.totals(rate(10)).points, 9);
        QCOMPARE(cart.totals(rate(1)).points, 99);
        // A total of exactly 100 held as 99.9999… still earns its 10 points.
        Cart tenths;
        tenths.add(product(2, QStringLiteral("糖"), 0.1), true);
        tenths.applyEdit(0, {1000, 10, 0.1, false});
        QCOMPARE(tenths.totals(rate(10)).points, 10);
        QCOMPARE(PointsForAmount(-5, 1), 0);
    }

    void productCount() {
        Cart cart;
        cart.add(product(1, QStringLiteral("水"), 2, PropertyRegular, 1), true);
        cart.applyEdit(0, {3, 10, 2, false});
        cart.add(product(2, QStringLiteral("苹果"), 6, PropertyRegular, 0, QStringLiteral("公斤")), true);
        cart.applyEdit(1, {2.5, 10, 6, false});
        const CartTotals t = cart.totals(rate(1));
        QCOMPARE(t.productCount, 4);
        QCOMPARE(t.listTotalText(), QStringLiteral("￥21.00"));
        QCOMPARE(cart.rows()[1].text(ColQuantity), QStringLiteral("2.5 公斤"));
    }

    // "结算": nothing in the cart, then nothing to pay (to the fen), are refused.
    void settleRefusals_data() {
        QTest::addColumn<int>("products");
        QTest::addColumn<double>("due");
        QTest::addColumn<QString>("emptyRefusal");
        QTest::addColumn<QString>("dueRefusal");
        const QString none = QStringLiteral("请选择商品");
        const QString zero = QStringLiteral("实收价格不能为0");
        QTest::newRow("empty cart") << 0 << 0.0 << none << zero;
        QTest::newRow("one product") << 1 << 2.5 << ""
                                     << "";
        QTest::newRow("everything given away") << 3 << 0.0 << "" << zero;
        QTest::newRow("under half a fen") << 1 << 0.0049 << "" << zero;
        QTest::newRow("half a fen is a fen") << 1 << 0.005 << ""
                                             << "";
        QTest::newRow("one fen") << 1 << 0.01 << ""
                                 << "";
        QTest::newRow("below nothing") << 2 << -0.01 << "" << zero;
    }
    void settleRefusals() {
        QFETCH(int, products);
        QFETCH(double, due);
        QFETCH(QString, emptyRefusal);
        QFETCH(QString, dueRefusal);
        CartTotals t;
        t.productCount = products;
        t.discountedTotal = due;
        QCOMPARE(CheckCartHasProducts(t), emptyRefusal);
        QCOMPARE(CheckAmountDue(t), dueRefusal);
    }

    void costAndListTotals() {
        Cart cart;
        cart.add(product(1, QStringLiteral("A"), 10, PropertyRegular, 0, QStringLiteral("个"), 6.5), true);
        cart.add(product(2, QStringLiteral("B"), 4, PropertyRegular, 0, QStringLiteral("个"), 1.25), true);
        cart.increment(1);
        cart.applyEdit(0, {1, 9, 9, false});
        const CartTotals t = cart.totals(rate(1));
        QCOMPARE(t.costTotal, 9.0);
        QCOMPARE(t.listTotal, 18.0);
        QCOMPARE(t.discountedTotal, 17.0);
    }

    void minusOneStopsAtOne_data() {
        QTest::addColumn<double>("quantity");
        QTest::addColumn<QString>("after");
        QTest::newRow("one") << 1.0 << "1 瓶";
        QTest::newRow("half") << 0.5 << "0.5 瓶";
        QTest::newRow("two") << 2.0 << "1 瓶";
        QTest::newRow("one and a half") << 1.5 << "0.5 瓶";
    }
    void minusOneStopsAtOne() {
        QFETCH(double, quantity);
        QFETCH(QString, after);
        Cart cart;
        cart.add(product(1, QStringLiteral("茶"), 10), true);
        cart.applyEdit(0, {quantity, 10, 10, false});
        cart.decrement(0);
        QCOMPARE(cart.rows()[0].text(ColQuantity), after);
        // "+1" ignores the integer-only flag and always adds one.
        cart.increment(0);
        QCOMPARE(cart.rows()[0].quantity, ShownQuantity(ParseQuantity(after) + 1));
    }

    void rowNumbersAreNeverRenumbered() {
        Cart cart;
        for (int id = 1; id <= 3; ++id)
            cart.add(product(id, QStringLiteral("P"), 1), true);
        cart.remove(1);
        cart.add(product(4, QStringLiteral("Q"), 1), true);
        QCOMPARE(cart.rows()[0].text(ColRowNo), QStringLiteral("1"));
        QCOMPARE(cart.rows()[1].text(ColRowNo), QStringLiteral("3"));
        QCOMPARE(cart.rows()[2].text(ColRowNo), QStringLiteral("3"));
    }

    void editOneRow_data() {
        QTest::addColumn<double>("price");
        QTest::addColumn<double>("chosenDiscount");
        QTest::addColumn<double>("typedPrice");
        QTest::addColumn<QString>("discount");
        QTest::addColumn<QString>("discountPrice");
        QTest::newRow("typed 8 for 10") << 10.0 << 10.0 << 8.0 << "8.0"
                                        << "￥8.00";
        QTest::newRow("typed 9.5 for 10") << 10.0 << 9.5 << 9.5 << "9.5"
                                          << "￥9.50";
        QTest::newRow("price 0 keeps the chosen discount") << 0.0 << 7.5 << 0.0 << "7.5"
                                                           << "￥0.00";
        QTest::newRow("typed price rounds to the fen") << 10.0 << 10.0 << 3.336 << "3.3"
                                                       << "￥3.34";
    }
    void editOneRow() {
        QFETCH(double, price);
        QFETCH(double, chosenDiscount);
        QFETCH(double, typedPrice);
        QFETCH(QString, discount);
        QFETCH(QString, discountPrice);
        Cart cart;
        cart.add(product(1, QStringLiteral("茶"), price), true);
        cart.applyEdit(0, {1, chosenDiscount, typedPrice, false});
        QCOMPARE(cart.rows()[0].text(ColDiscount), discount);
        QCOMPARE(cart.rows()[0].text(ColDiscountPrice), discountPrice);
    }

    void unchangedEditKeepsTheDiscountText() {
        Cart cart;
        cart.add(product(1, QStringLiteral("茶"), 10), true);
        cart.applyEdit(0, {1, 10, 10, false});
        QCOMPARE(cart.rows()[0].text(ColDiscount), QStringLiteral("10"));
    }

    void sameDiscountForAll() {
        Cart cart;
        cart.add(product(1, QStringLiteral("A"), 10), true);
        cart.add(product(2, QStringLiteral("B"), 3.33), true);
        // The typed discounted price is ignored; the chosen discount applies to every row.
        cart.applyEdit(1, {2, 9, 1.23, true});
        QCOMPARE(cart.rows()[0].text(ColDiscountPrice), QStringLiteral("￥9.00"));
        QCOMPARE(cart.rows()[1].text(ColDiscountPrice), QStringLiteral("￥3.00"));
        QCOMPARE(cart.rows()[0].text(ColDiscount), QStringLiteral("9.0"));
        QCOMPARE(cart.rows()[1].text(ColQuantity), QStringLiteral("2 瓶"));
        QCOMPARE(cart.rows()[0].text(ColQuantity), QStringLiteral("1 瓶"));
        QCOMPARE(cart.totals(rate(1)).amountDueText(), QStringLiteral("￥15.00"));
    }

    void lineTotalAndAmountDueAreTheShownFigures() {
        Cart cart;
        cart.add(product(1, QStringLiteral("A"), 3.33), true);
        cart.applyEdit(0, {1.5, 10, 3.33, false});
        QCOMPARE(cart.rows()[0].text(ColLineTotal), QStringLiteral("=￥5.00"));
        QCOMPARE(cart.rows()[0].lineTotal(), 5.0);
        const CartTotals t = cart.totals(rate(10));
        QCOMPARE(t.amountDueText(), QStringLiteral("￥5.00"));
        QCOMPARE(t.amountDue(), 5.0);
        // A quantity typed with more digits than "%g" shows is the quantity shown.
        cart.applyEdit(0, {1.23456789, 10, 3.33, false});
        QCOMPARE(cart.rows()[0].quantity, 1.23457);
    }

    void discountList() {
        const QStringList list = DiscountChoices();
        QCOMPARE(list.size(), 120);
        QCOMPARE(list.first(), QStringLiteral("0.1"));
        QCOMPARE(list[2], QStringLiteral("0.3"));
        QCOMPARE(list.last(), QStringLiteral("12"));
        QCOMPARE(list[InitialDiscountChoice(10)], QStringLiteral("10"));
        QCOMPARE(list[InitialDiscountChoice(9.5)], QStringLiteral("9.5"));
        QCOMPARE(list[InitialDiscountChoice(8)], QStringLiteral("8"));
        QCOMPARE(list[InitialDiscountChoice(1)], QStringLiteral("1"));
        QCOMPARE(list[InitialDiscountChoice(8.33)], QStringLiteral("10"));
        QCOMPARE(list[DiscountChoiceFor(8.0)], QStringLiteral("8"));
        QCOMPARE(list[DiscountChoiceFor(7.96)], QStringLiteral("8"));
        QCOMPARE(DiscountChoiceFor(13), -1);
        QCOMPARE(DiscountChoiceFor(0.01), -1);
        QCOMPARE(DiscountPriceText(9.5, 3.33), QStringLiteral("3.16"));
        QCOMPARE(QuantityPopupTitle(QStringLiteral("[特] 可乐"), 3), QStringLiteral("[特] 可乐 (3.00)"));
    }

    void popupChecks_data() {
        QTest::addColumn<bool>("integerOnly");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("price");
        QTest::addColumn<bool>("sameForAll");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<double>("seconds");
        QTest::newRow("fine") << false << "2.5"
                              << "8" << false << "" << 1.5;
        QTest::newRow("integer-only with a point") << true << "2.0"
                                                   << "8" << false << "可乐 数量必须为整数" << 0.8;
        QTest::newRow("integer-only written as exponent") << true << "1e-1"
                                                          << "8" << false << "可乐 数量必须为整数" << 0.8;
        QTest::newRow("integer-only whole") << true << "3"
                                            << "8" << false << "" << 1.5;
        QTest::newRow("zero") << false << "0"
                              << "8" << false << "数量不能小于0" << 1.5;
        QTest::newRow("negative") << false << "-2"
                                  << "8" << false << "数量不能小于0" << 1.5;
        QTest::newRow("empty") << false << ""
                               << "8" << false << "数量不能小于0" << 1.5;
        QTest::newRow("text") << false << "abc"
                              << "8" << false << "数量不能小于0" << 1.5;
        QTest::newRow("nan") << false << "nan"
                             << "8" << false << "数量不能小于0" << 1.5;
        QTest::newRow("trailing text") << false << "2abc"
                                       << "8" << false << "请输入正确的数量" << 1.5;
        QTest::newRow("huge") << false << "1e300"
                              << "8" << false << "请输入正确的数量" << 1.5;
        QTest::newRow("price text") << false << "1"
                                    << "abc" << false << "请输入正确的折扣价" << 1.5;
        QTest::newRow("price negative") << false << "1"
                                        << "-1" << false << "请输入正确的折扣价" << 1.5;
        QTest::newRow("price sql") << false << "1"
                                   << "1'; DROP TABLE tb_orders;--" << false << "请输入正确的折扣价" << 1.5;
        QTest::newRow("price ignored with same discount") << false << "1"
                                                          << "abc" << true << "" << 1.5;
    }
    void popupChecks() {
        QFETCH(bool, integerOnly);
        QFETCH(QString, quantity);
        QFETCH(QString, price);
        QFETCH(bool, sameForAll);
        QFETCH(QString, refusal);
        QFETCH(double, seconds);
        const CartEditCheck c =
            CheckCartEdit(QStringLiteral("可乐"), integerOnly, quantity, 9, price, sameForAll);
        QCOMPARE(c.refusal, refusal);
        QCOMPARE(c.seconds, seconds);
        if (c.ok())
            QCOMPARE(c.edit.discount, 9.0);
    }

    void productsFromTheDatabase() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int scanned = shop.addProduct(QStringLiteral("123"), QStringLiteral("牛奶"), 4.5, 3, 10, 0,
                                            PropertySpecialOffer);
        shop.addProduct(QStringLiteral("4123"), QStringLiteral("面包"), 6);
        shop.addProduct(QStringLiteral("555"), QStringLiteral("下架"), 6, 0, 0, 0, 1, 2);
        // A scanner types the exact code: "123" is never "4123".
        QCOMPARE(FindOnSaleProductByCode(shop.ctx, QStringLiteral("123")), scanned);
        QCOMPARE(FindOnSaleProductByCode(shop.ctx, QStringLiteral("12")), 0);
        QCOMPARE(FindOnSaleProductByCode(shop.ctx, QStringLiteral("555")), 0);
        QCOMPARE(FindOnSaleProductByCode(shop.ctx, QStringLiteral("' OR 1=1 --")), 0);
        const auto p = LoadSaleProduct(shop.ctx, scanned);
        QVERIFY(p);
        QCOMPARE(p->name, QStringLiteral("牛奶"));
        QCOMPARE(p->property, int(PropertySpecialOffer));
        QCOMPARE(p->stock, 10.0);
        QVERIFY(!LoadSaleProduct(shop.ctx, 9999));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET PrdProperty = NULL WHERE ID = ?"),
                                 {scanned}));
        Cart cart;
        cart.add(*LoadSaleProduct(shop.ctx, scanned), true);
        QCOMPARE(cart.rows()[0].text(ColName), QStringLiteral("牛奶 (10)"));
    }

private:
    static double ParseQuantity(const QString& text) {
        return text.section(QLatin1Char(' '), 0, 0).toDouble();
    }
};

QTEST_GUILESS_MAIN(TestCart)
#include "tst_cart.moc"
