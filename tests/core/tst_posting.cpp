#include "TableDump.h"
#include "TestShop.h"

#include "core/db/Database.h"
#include "core/sales/Posting.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"

#include <QSqlRecord>
#include <QTest>

using namespace selvo;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));

// One row of a table as column name → value.
QVariantMap row(test::TestShop& shop, const QString& sql, const QVariantList& binds = {}) {
    QVariantMap out;
    auto q = shop.ctx.db.select(sql, binds);
    if (!q || !q->next())
        return out;
    const QSqlRecord rec = q->record();
    for (int i = 0; i < rec.count(); ++i)
        out.insert(rec.fieldName(i).toLower(), q->value(i));
    return out;
}

QList<QVariantMap> rows(test::TestShop& shop, const QString& sql, const QVariantList& binds = {}) {
    QList<QVariantMap> out;
    auto q = shop.ctx.db.select(sql, binds);
    while (q && q->next()) {
        QVariantMap m;
        const QSqlRecord rec = q->record();
        for (int i = 0; i < rec.count(); ++i)
            m.insert(rec.fieldName(i).toLower(), q->value(i));
        out << m;
    }
    return out;
}

Payment cash(double received, double change) {
    Payment p;
    p.payType = PayCash;
    p.cashReceived = received;
    p.change = change;
    return p;
}

Payment byBalance(double recharge = 0, double shortfall = 0, double before = 0) {
    Payment p;
    p.payType = PayBalance;
    p.recharge = recharge;
    p.shortfall = shortfall;
    p.balanceBefore = before;
    return p;
}

Payment byPoints(int used) {
    Payment p;
    p.payType = PayPoints;
    p.pointsUsed = used;
    return p;
}

OrderLine line(const char* code, const char* name, double price, double quantity, double cost) {
    OrderLine l;
    l.code = QString::fromUtf8(code);
    l.name = QString::fromUtf8(name);
    l.price = price;
    l.quantity = quantity;
    l.discount = 10;
    l.discountPrice = price;
    l.cost = cost;
    l.totalPrice = price * quantity;
    l.profits = (price - cost) * quantity;
    l.points = int(l.totalPrice);
    return l;
}

// A draft from given figures, not from a cart: 2 x A1 at 10 (cost 6) and 1.5 x B2 at 4 (cost 3),
// 26 yuan.
OrderDraft figuresSale(int memberId, int payType) {
    OrderDraft s;
    s.memberId = memberId;
    s.payment.payType = payType;
    s.orderType = payType == PayPoints ? OrderPointsExchange : OrderSale;
    s.lines = {line("A1", "苹果", 10, 2, 6), line("B2", "[特] 面包", 4, 1.5, 3)};
    for (const OrderLine& l : s.lines)
        s.stockMoves.append({l.code, l.quantity});
    s.totalPrice = 26;
    s.realTotalPrice = payType == PayPoints ? 0 : 26;
    s.cumulative = s.realTotalPrice;
    s.purchasePrice = 16.5;
    s.profits = s.realTotalPrice - 16.5;
    s.prdSum = 3.5;
    s.points = payType == PayPoints ? -2600 : (IsWalkIn(memberId) ? 0 : 26);
    if (payType == PayPoints)
        s.payment.pointsUsed = 2600;
    if (payType == PayCash) {
        s.payment.cashReceived = 30;
        s.payment.change = 4;
    }
    s.remark = QStringLiteral("备注 'quoted' -- text");
    return s;
}
} // namespace

class TestPosting final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

    // A cart of one product at `price` with a quantity.
    static Cart cartOf(test::TestShop& shop,
                       const QList<std::tuple<QString, double, double, double>>& goods) {
        Cart cart;
        for (const auto& [code, price, cost, quantity] : goods) {
            int id = shop.ctx.db.scalar(QStringLiteral("SELECT ID FROM tb_product WHERE PrdCode = ?"), {code})
                         .value_or(QVariant(0))
                         .toInt();
            if (id == 0)
                id = shop.addProduct(code, QStringLiteral("商品") + code, price, cost, 100);
            const int row = cart.add(*LoadSaleProduct(shop.ctx, id), true);
            cart.applyEdit(row, {quantity, 10, price, false});
        }
        return cart;
    }

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }

    // A draft made of given figures (as the command line and other callers make them) is written
    // as given: the order, its lines, the member's accounts and the stock.
    void draftFromFigures_data() {
        QTest::addColumn<bool>("guest");
        QTest::addColumn<int>("payType");
        QTest::addColumn<double>("balance");
        QTest::addColumn<int>("points");
        QTest::addColumn<double>("cumulative");
        QTest::newRow("guest, cash: no member row touched") << true << int(PayCash) << 50.0 << 3000 << 0.0;
        QTest::newRow("member, cash: points and spending") << false << int(PayCash) << 50.0 << 3026 << 26.0;
        QTest::newRow("member, balance: deducted, points and spending")
            << false << int(PayBalance) << 24.0 << 3026 << 26.0;
        QTest::newRow("member, points: only points paid") << false << int(PayPoints) << 50.0 << 400 << 0.0;
    }
    void draftFromFigures() {
        QFETCH(bool, guest);
        QFETCH(int, payType);
        QFETCH(double, balance);
        QFETCH(int, points);
        QFETCH(double, cumulative);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 50, 3000);
        QVERIFY(shop.addProduct(QStringLiteral("A1"), QStringLiteral("苹果"), 10, 6, 100) > 0);
        QVERIFY(shop.addProduct(QStringLiteral("B2"), QStringLiteral("面包"), 4, 3, 20) > 0);
        const QDateTime at(QDate(2024, 2, 29), QTime(23, 59, 58));
        m_clock.set(at);
        const OrderDraft sale = figuresSale(guest ? kWalkInMember : member, payType);
        const PostResult r = PostOrder(shop.ctx, sale);
        m_clock.set(kNow);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QCOMPARE(r.attempts, 1);
        QVERIFY(r.orderNo.startsWith(QLatin1String("20240229235958")));
        QCOMPARE(r.orderNo.size(), 19);

        db::Database& db = shop.ctx.db;
        auto o =
            db.select(QStringLiteral("SELECT MemID, SaleManID, TotalPrice, RealTotalPrice, PrdSum, Integral, "
                                     "GetMoney, Change, Remark, SaleDate, PayType, OrderType, AddDate "
                                     "FROM tb_orders WHERE OrderNo = ?"),
                      {r.orderNo});
        QVERIFY(o && o->next());
        QCOMPARE(o->value(0).toInt(), sale.memberId);
        QCOMPARE(o->value(1).toInt(), 1);
        QCOMPARE(o->value(2).toDouble(), 26.0);
        QCOMPARE(o->value(3).toDouble(), sale.realTotalPrice);
        QCOMPARE(o->value(4).toDouble(), 3.5);
        QCOMPARE(o->value(5).toInt(), sale.points);
        QCOMPARE(o->value(6).toDouble(), sale.payment.cashReceived);
        QCOMPARE(o->value(7).toDouble(), sale.payment.change);
        QCOMPARE(o->value(8).toString(), sale.remark);
        QCOMPARE(db::toDateTime(o->value(9)), at);
        QCOMPARE(o->value(10).toInt(), payType);
        QCOMPARE(o->value(11).toInt(), sale.orderType);
        QVERIFY(db::toDateTime(o->value(12)).isValid());

        auto l =
            db.select(QStringLiteral("SELECT PrdCode, PrdName, PrdNum, TotalPrice, MemID, PayType, SaleDate "
                                     "FROM tb_order_lines WHERE OrderNo = ? ORDER BY PrdCode"),
                      {r.orderNo});
        QVERIFY(l);
        QStringList seen;
        while (l->next()) {
            seen << l->value(0).toString() + QLatin1Char(' ') + l->value(1).toString();
            QCOMPARE(l->value(4).toInt(), sale.memberId);
            QCOMPARE(l->value(5).toInt(), payType);
            QCOMPARE(db::toDateTime(l->value(6)), at);
        }
        QCOMPARE(seen, (QStringList{QStringLiteral("A1 苹果"), QStringLiteral("B2 [特] 面包")}));

        QCOMPARE(shop.accountOf(member), (test::Account{balance, points, cumulative}));
        QCOMPARE(shop.stockOf(QStringLiteral("A1")), 98.0);
        QCOMPARE(shop.stockOf(QStringLiteral("B2")), 18.5);
        QCOMPARE(shop.count(QStringLiteral("tb_prdnum_record")), qint64(0));
    }

    void guestCashSale() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.yuanToInteral = 1;
        const int member = shop.addMember(QStringLiteral("旁观者"), QStringLiteral("1"), 10, 10);
        const auto before = test::DumpTables(shop.ctx);
        Cart cart = cartOf(shop, {{QStringLiteral("A1"), 10, 6, 2}, {QStringLiteral("B2"), 15.5, 9, 1}});
        const CartTotals t = cart.totals(shop.ctx.settings);
        QCOMPARE(t.amountDue(), 35.5);
        const OrderDraft d = MakeSaleDraft(cart, shop.ctx.settings, kWalkInMember, cash(50, 14.5), t.points,
                                           QStringLiteral("备注'--"), kNow);
        const PostResult r = PostOrder(shop.ctx, d);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QCOMPARE(r.orderNo.size(), 19);
        QVERIFY(r.orderNo.startsWith(QStringLiteral("20240305143000")));

        const QVariantMap o =
            row(shop, QStringLiteral("SELECT * FROM tb_orders WHERE OrderNo = ?"), {r.orderNo});
        QCOMPARE(o.value(QStringLiteral("memid")).toInt(), -1);
        QCOMPARE(o.value(QStringLiteral("salemanid")).toInt(), 1);
        QCOMPARE(o.value(QStringLiteral("totalprice")).toDouble(), 35.5);
        QCOMPARE(o.value(QStringLiteral("realtotalprice")).toDouble(), 35.5);
        QCOMPARE(o.value(QStringLiteral("prdpurchaseprice")).toDouble(), 21.0);
        QCOMPARE(o.value(QStringLiteral("profits")).toDouble(), 14.5);
        QCOMPARE(o.value(QStringLiteral("prdsum")).toDouble(), 2.0);
        QCOMPARE(o.value(QStringLiteral("integral")).toInt(), 0);
        QCOMPARE(o.value(QStringLiteral("getmoney")).toDouble(), 50.0);
        QCOMPARE(o.value(QStringLiteral("change")).toDouble(), 14.5);
        QCOMPARE(o.value(QStringLiteral("remark")).toString(), QStringLiteral("备注'--"));
        QCOMPARE(db::toDateTime(o.value(QStringLiteral("saledate"))), kNow);
        QCOMPARE(o.value(QStringLiteral("paytype")).toInt(), 1);
        QCOMPARE(o.value(QStringLiteral("ordertype")).toInt(), 1);

        const auto lines =
            rows(shop, QStringLiteral("SELECT * FROM tb_order_lines WHERE OrderNo = ? ORDER BY PrdCode"),
                 {r.orderNo});
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].value(QStringLiteral("prdname")).toString(), QStringLiteral("商品A1"));
        QCOMPARE(lines[0].value(QStringLiteral("prdnum")).toDouble(), 2.0);
        QCOMPARE(lines[0].value(QStringLiteral("prdprice")).toDouble(), 10.0);
        QCOMPARE(lines[0].value(QStringLiteral("discount")).toDouble(), 10.0);
        QCOMPARE(lines[0].value(QStringLiteral("totalprice")).toDouble(), 20.0);
        QCOMPARE(lines[0].value(QStringLiteral("profits")).toDouble(), 8.0);
        QCOMPARE(lines[0].value(QStringLiteral("memid")).toInt(), -1);
        QCOMPARE(lines[0].value(QStringLiteral("paytype")).toInt(), 1);
        QCOMPARE(db::toDateTime(lines[0].value(QStringLiteral("saledate"))), kNow);
        // A guest's lines still carry what they would earn; the order carries none.
        QCOMPARE(lines[1].value(QStringLiteral("integral")).toInt(), 15);

        QCOMPARE(
            shop.ctx.db.scalar(QStringLiteral("SELECT PrdInventory FROM tb_product WHERE PrdCode = 'A1'"))
                ->toDouble(),
            98.0);
        // No member row was touched and no recharge or stock history written.
        const auto after = test::DumpTables(shop.ctx);
        QCOMPARE(after.value(QStringLiteral("tb_members")), before.value(QStringLiteral("tb_members")));
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord")), 0);
        QCOMPARE(shop.count(QStringLiteral("tb_prdnum_record")), 0);
        Q_UNUSED(member);
    }

    void memberCashEarnsPoints() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.yuanToInteral = 10;
        const int member = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000000"), 0, 5);
        Cart cart = cartOf(shop, {{QStringLiteral("A"), 99.99, 50, 1}});
        const CartTotals t = cart.totals(shop.ctx.settings);
        QCOMPARE(t.points, 9);
        const PostResult r = PostOrder(
            shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, member, cash(100, 0.01), t.points, {}, kNow));
        QVERIFY(r.ok);
        QCOMPARE(shop.pointsOf(member), 14);
        QCOMPARE(
            shop.ctx.db.scalar(QStringLiteral("SELECT Cumulative FROM tb_members WHERE ID = ?"), {member})
                ->toDouble(),
            99.99);
        const QVariantMap o =
            row(shop, QStringLiteral("SELECT * FROM tb_orders WHERE OrderNo = ?"), {r.orderNo});
        QCOMPARE(o.value(QStringLiteral("integral")).toInt(), 9);
        QCOMPARE(o.value(QStringLiteral("memid")).toInt(), member);
    }

    void balancePayments_data() {
        QTest::addColumn<double>("balance");
        QTest::addColumn<double>("recharge");
        QTest::addColumn<double>("balanceAfter");
        QTest::newRow("enough balance") << 50.0 << 0.0 << 14.5;
        QTest::newRow("short, change given") << 20.0 << 15.5 << 0.0;
        QTest::newRow("short, excess kept") << 20.0 << 20.0 << 4.5;
    }
    void balancePayments() {
        QFETCH(double, balance);
        QFETCH(double, recharge);
        QFETCH(double, balanceAfter);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.yuanToInteral = 1;
        const int member = shop.addMember(QStringLiteral("李四"), QStringLiteral("139"), balance, 0);
        Cart cart = cartOf(shop, {{QStringLiteral("A"), 35.5, 0, 1}});
        const CartTotals t = cart.totals(shop.ctx.settings);
        const PostResult r =
            PostOrder(shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, member,
                                              byBalance(recharge, 15.5, balance), t.points, {}, kNow));
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QCOMPARE(shop.balanceOf(member), balanceAfter);
        QCOMPARE(shop.pointsOf(member), 35);
        const QVariantMap o =
            row(shop, QStringLiteral("SELECT * FROM tb_orders WHERE OrderNo = ?"), {r.orderNo});
        QCOMPARE(o.value(QStringLiteral("paytype")).toInt(), 2);
        QCOMPARE(o.value(QStringLiteral("getmoney")).toDouble(), 0.0);
        QCOMPARE(o.value(QStringLiteral("change")).toDouble(), 0.0);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord")), recharge > 0 ? 1 : 0);
        if (recharge > 0) {
            const QVariantMap rec = row(shop, QStringLiteral("SELECT * FROM tb_TopupRecord"));
            QCOMPARE(rec.value(QStringLiteral("amount")).toDouble(), recharge);
            QCOMPARE(rec.value(QStringLiteral("giving")).toDouble(), 0.0);
            QCOMPARE(rec.value(QStringLiteral("befbalance")).toDouble(), balance);
            QCOMPARE(rec.value(QStringLiteral("aftbalance")).toDouble(), balance + recharge);
            QCOMPARE(rec.value(QStringLiteral("optype")).toInt(), 1);
            QCOMPARE(rec.value(QStringLiteral("memid")).toInt(), member);
            QCOMPARE(rec.value(QStringLiteral("remark")).toString(),
                     QString::asprintf("余额付款自动充值￥ %.2f 元,并立即消费￥ 15.50 元", recharge));
        }
    }

    void pointsExchange_data() {
        QTest::addColumn<bool>("clearAll");
        QTest::addColumn<int>("used");
        QTest::newRow("points needed") << false << 1300;
        QTest::newRow("all points") << true << 2000;
    }
    void pointsExchange() {
        QFETCH(bool, clearAll);
        QFETCH(int, used);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.interalToYuan = 100;
        shop.ctx.settings.yuanToInteral = 1;
        const int member = shop.addMember(QStringLiteral("王五"), QStringLiteral("137"), 3, 2000);
        Cart cart = cartOf(shop, {{QStringLiteral("A"), 4.1, 2, 3}});
        const CartTotals t = cart.totals(shop.ctx.settings);
        QCOMPARE(t.amountDue(), 12.3);
        const SettlementCheck c =
            CheckPointsPayment(member, 2000, PointsNeeded(t.amountDue(), 100), 12.3, clearAll);
        QVERIFY(c.ok());
        QCOMPARE(c.payment.pointsUsed, used);
        const PostResult r = PostOrder(
            shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, member, c.payment, t.points, {}, kNow));
        QVERIFY(r.ok);
        QCOMPARE(shop.pointsOf(member), 2000 - used);
        QCOMPARE(shop.balanceOf(member), 3.0);
        QCOMPARE(
            shop.ctx.db.scalar(QStringLiteral("SELECT Cumulative FROM tb_members WHERE ID = ?"), {member})
                ->toDouble(),
            0.0);
        const QVariantMap o =
            row(shop, QStringLiteral("SELECT * FROM tb_orders WHERE OrderNo = ?"), {r.orderNo});
        QCOMPARE(o.value(QStringLiteral("realtotalprice")).toDouble(), 0.0);
        QCOMPARE(o.value(QStringLiteral("totalprice")).toDouble(), 12.3);
        QCOMPARE(o.value(QStringLiteral("integral")).toInt(), -used);
        QCOMPARE(o.value(QStringLiteral("ordertype")).toInt(), 3);
        QCOMPARE(o.value(QStringLiteral("paytype")).toInt(), 3);
        QCOMPARE(o.value(QStringLiteral("profits")).toDouble(), -6.0);
        const QVariantMap line =
            row(shop, QStringLiteral("SELECT * FROM tb_order_lines WHERE OrderNo = ?"), {r.orderNo});
        QCOMPARE(line.value(QStringLiteral("totalprice")).toDouble(), 0.0);
        QCOMPARE(line.value(QStringLiteral("profits")).toDouble(), -6.0);
        QCOMPARE(line.value(QStringLiteral("integral")).toInt(), -1300);
    }

    void fractionalLine() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.yuanToInteral = 10;
        Cart cart = cartOf(shop, {{QStringLiteral("A"), 3.33, 0, 1.5}});
        const CartTotals t = cart.totals(shop.ctx.settings);
        const PostResult r = PostOrder(
            shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, kWalkInMember, cash(5, 0), 0, {}, kNow));
        QVERIFY(r.ok);
        const QVariantMap line =
            row(shop, QStringLiteral("SELECT * FROM tb_order_lines WHERE OrderNo = ?"), {r.orderNo});
        QCOMPARE(line.value(QStringLiteral("prdnum")).toDouble(), 1.5);
        QCOMPARE(line.value(QStringLiteral("totalprice")).toDouble(), 5.0);
        QCOMPARE(line.value(QStringLiteral("integral")).toInt(), 0);
        QCOMPARE(line.value(QStringLiteral("discountprice")).toDouble(), 3.33);
        // The order is charged what the screen showed (￥5.00), not the unrounded 4.995.
        const QVariantMap o =
            row(shop, QStringLiteral("SELECT * FROM tb_orders WHERE OrderNo = ?"), {r.orderNo});
        QCOMPARE(o.value(QStringLiteral("realtotalprice")).toDouble(), 5.0);
        QCOMPARE(FormatMoney(t.discountedTotal), QStringLiteral("￥5.00"));
    }

    // Another till spends the money between the question and the posting: nothing is written.
    void spentMeanwhile_data() {
        QTest::addColumn<int>("payType");
        QTest::addColumn<double>("balanceThen");
        QTest::addColumn<int>("pointsThen");
        QTest::addColumn<QString>("message");
        const QString balance = QStringLiteral("扣除余额失败，请重试！");
        const QString points = QStringLiteral("扣除积分失败，请重试！");
        QTest::newRow("balance") << int(PayBalance) << 30.0 << 1000 << balance;
        QTest::newRow("balance one fen short") << int(PayBalance) << 35.49 << 2000 << balance;
        QTest::newRow("balance with recharge") << int(PayBalance) + 10 << 0.0 << 1000 << balance;
        QTest::newRow("points") << int(PayPoints) << 50.0 << 1000 << points;
        QTest::newRow("points one short") << int(PayPoints) << 50.0 << 1299 << points;
    }
    void spentMeanwhile() {
        QFETCH(int, payType);
        QFETCH(double, balanceThen);
        QFETCH(int, pointsThen);
        QFETCH(QString, message);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("赵六"), QStringLiteral("136"), 50, 2000);
        Cart cart = cartOf(shop, {{QStringLiteral("A"), 35.5, 0, 1}});
        Payment pay = payType == PayPoints ? byPoints(1300) : byBalance();
        if (payType == PayBalance + 10) {
            // Balance 20 when asked: a recharge of the 15.50 shortfall was planned.
            QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET Balance = 20 WHERE ID = ?"),
                                     {member}));
            pay = byBalance(15.5, 15.5, 20);
        }
        const OrderDraft d = MakeSaleDraft(cart, shop.ctx.settings, member, pay, 0, {}, kNow);
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET Balance = ?, Integral = ? WHERE ID = ?"),
                             {balanceThen, pointsThen, member}));
        const auto before = test::DumpTables(shop.ctx);
        const PostResult r = PostOrder(shop.ctx, d);
        QVERIFY(!r.ok);
        QCOMPARE(r.failure, PostFailure::Toast);
        QCOMPARE(r.message, message);
        QVERIFY(r.orderNo.isEmpty());
        QCOMPARE(r.attempts, 1);
        QCOMPARE(shop.ctx.db.transactionDepth(), 0);
        QCOMPARE(test::DumpTables(shop.ctx), before);
    }

    void guestCannotPayFromAccounts() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        Cart cart = cartOf(shop, {{QStringLiteral("A"), 5, 0, 1}});
        const auto before = test::DumpTables(shop.ctx);
        for (const Payment& p : {byBalance(), byPoints(500)}) {
            const PostResult r =
                PostOrder(shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, kWalkInMember, p, 0, {}, kNow));
            QVERIFY(!r.ok);
        }
        QCOMPARE(test::DumpTables(shop.ctx), before);
    }

    // Another till deleted the member after the screen read it.
    void deletedMemberPostsNothing_data() {
        QTest::addColumn<int>("payType");
        QTest::newRow("cash") << int(PayCash);
        QTest::newRow("balance") << int(PayBalance);
    }
    void deletedMemberPostsNothing() {
        QFETCH(int, payType);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("已删"), QStringLiteral("1"), 100, 0);
        Cart cart = cartOf(shop, {{QStringLiteral("A"), 5, 0, 1}});
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_members WHERE ID = ?"), {member}));
        const auto before = test::DumpTables(shop.ctx);
        const Payment pay = payType == PayCash ? cash(5, 0) : byBalance();
        const PostResult r =
            PostOrder(shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, member, pay, 5, {}, kNow));
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("无法读取会员信息，请重试！"));
        QCOMPARE(test::DumpTables(shop.ctx), before);
    }

    void orderNumbersDiffer() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        Cart cart = cartOf(shop, {{QStringLiteral("A"), 1, 0, 1}});
        QSet<QString> numbers;
        for (int i = 0; i < 50; ++i) {
            const PostResult r = PostOrder(
                shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, kWalkInMember, cash(1, 0), 0, {}, kNow));
            QVERIFY(r.ok);
            numbers.insert(r.orderNo);
        }
        QCOMPARE(numbers.size(), 50);
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 50);
    }

    // Another till took the number between our check and our insert: the sale gets a fresh one.
    void takenOrderNumberIsReplaced() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.addProduct(QStringLiteral("A1"), QStringLiteral("苹果"), 10, 6, 100) > 0);
        QVERIFY(shop.addProduct(QStringLiteral("B2"), QStringLiteral("面包"), 4, 3, 20) > 0);
        const QString taken = QStringLiteral("2024010112000012345");
        QVERIFY(shop.ctx.db.exec(
            QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID, SaleManID) VALUES(?, -1, 1)"), {taken}));
        OrderDraft sale = figuresSale(kWalkInMember, PayCash);
        sale.orderNo = taken;
        const PostResult r = PostOrder(shop.ctx, sale);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QCOMPARE(r.numberClashes, 1);
        QVERIFY(r.orderNo != taken);
        QCOMPARE(shop.count(QStringLiteral("tb_orders"), QStringLiteral("OrderNo = ?"), {taken}), qint64(1));
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines"), QStringLiteral("OrderNo = ?"), {taken}),
                 qint64(0));
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines"), QStringLiteral("OrderNo = ?"), {r.orderNo}),
                 qint64(2));
    }

    // A failure at any statement of a posting leaves every table exactly as it was.
    void atomicity_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<double>("balance");
        QTest::addColumn<double>("balanceAfter");
        QTest::addColumn<int>("pointsAfter");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("recharges");
        // The cart: 1 x A at 10, 2 x B at 5.50, 1 x C at 4.50, ￥25.50, earning 25 points.
        QTest::newRow("member cash sale") << "cash" << 20.0 << 20.0 << 5025 << 3 << 0;
        QTest::newRow("balance sale") << "balance" << 30.0 << 4.5 << 5025 << 3 << 0;
        QTest::newRow("balance with automatic recharge") << "recharge" << 20.0 << 0.0 << 5025 << 3 << 1;
        QTest::newRow("points exchange") << "points" << 20.0 << 20.0 << 2500 << 3 << 0;
        // ￥15 from the balance, 3 points, no lines and no stock.
        QTest::newRow("fast sale from the balance") << "fast" << 20.0 << 5.0 << 5003 << 0 << 0;
    }
    void atomicity() {
        QFETCH(QString, kind);
        QFETCH(double, balance);
        QFETCH(double, balanceAfter);
        QFETCH(int, pointsAfter);
        QFETCH(int, lines);
        QFETCH(int, recharges);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.yuanToInteral = 1;
        const int member = shop.addMember(QStringLiteral("孙七"), QStringLiteral("135"), balance, 5000);
        Cart cart = cartOf(shop, {{QStringLiteral("A"), 10, 4, 1},
                                  {QStringLiteral("B"), 5.5, 2, 2},
                                  {QStringLiteral("C"), 4.5, 1, 1}});
        const int points = cart.totals(shop.ctx.settings).points;
        OrderDraft d;
        if (kind == QLatin1String("cash"))
            d = MakeSaleDraft(cart, shop.ctx.settings, member, cash(30, 5), points, {}, kNow);
        else if (kind == QLatin1String("balance"))
            d = MakeSaleDraft(cart, shop.ctx.settings, member, byBalance(), points, {}, kNow);
        else if (kind == QLatin1String("recharge"))
            d = MakeSaleDraft(cart, shop.ctx.settings, member, byBalance(5.5, 5.5, 20), points, {}, kNow);
        else if (kind == QLatin1String("points"))
            d = MakeSaleDraft(cart, shop.ctx.settings, member, byPoints(2500), points, {}, kNow);
        else
            d = MakeFastSaleDraft({false, member, QStringLiteral("15"), QStringLiteral("3")}, byBalance(), {},
                                  kNow);

        const auto before = test::DumpTables(shop.ctx);
        int failures = 0;
        for (int n = 1;; ++n) {
            shop.ctx.db.failNthStatement(n);
            const PostResult r = PostOrder(shop.ctx, d);
            const bool reached = shop.ctx.db.failpointReached();
            shop.ctx.db.failNthStatement(0);
            if (!reached) {
                // The posting ran to its end without meeting the failpoint.
                QVERIFY2(r.ok, qPrintable(r.message + r.detail));
                break;
            }
            QVERIFY2(!r.ok, qPrintable(QStringLiteral("statement %1 failed unnoticed").arg(n)));
            ++failures;
            QVERIFY(r.detail.contains(QLatin1String("injected failure")));
            QCOMPARE(shop.ctx.db.transactionDepth(), 0);
            QVERIFY2(test::DumpTables(shop.ctx) == before, qPrintable(QStringLiteral("statement %1").arg(n)));
        }
        QVERIFY(failures > 0);
        // The run that went through did its work once.
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines")), lines);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord")), recharges);
        QCOMPARE(shop.balanceOf(member), balanceAfter);
        QCOMPARE(shop.pointsOf(member), pointsAfter);
        const bool goods = lines > 0;
        QCOMPARE(shop.stockOf(QStringLiteral("A")), goods ? 99.0 : 100.0);
        QCOMPARE(shop.stockOf(QStringLiteral("B")), goods ? 98.0 : 100.0);
        QCOMPARE(shop.stockOf(QStringLiteral("C")), goods ? 99.0 : 100.0);
    }

    void fastSales() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.yuanToInteral = 10;
        shop.ctx.settings.interalToYuan = 100;
        const int member = shop.addMember(QStringLiteral("周八"), QStringLiteral("134"), 0, 2000);
        const auto membersBefore = test::DumpTables(shop.ctx).value(QStringLiteral("tb_members"));

        // A guest pays 50 in cash.
        FastSaleInput guest{true, kWalkInMember, QStringLiteral("￥50"), QStringLiteral("5")};
        QCOMPARE(CheckFastSale(guest), QString());
        PostResult r = PostOrder(shop.ctx, MakeFastSaleDraft(guest, cash(50, 0), QStringLiteral("快"), kNow));
        QVERIFY(r.ok);
        QVariantMap o = row(shop, QStringLiteral("SELECT * FROM tb_orders WHERE OrderNo = ?"), {r.orderNo});
        QCOMPARE(o.value(QStringLiteral("memid")).toInt(), -1);
        QCOMPARE(o.value(QStringLiteral("integral")).toInt(), 0);
        QCOMPARE(o.value(QStringLiteral("ordertype")).toInt(), 4);
        QCOMPARE(o.value(QStringLiteral("prdsum")).toDouble(), 0.0);
        QCOMPARE(o.value(QStringLiteral("totalprice")).toDouble(), 50.0);
        QCOMPARE(o.value(QStringLiteral("getmoney")).toDouble(), 50.0);
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines")), 0);
        QCOMPARE(test::DumpTables(shop.ctx).value(QStringLiteral("tb_members")), membersBefore);

        // 99.9 shows 9 points; the operator writes 20 and the member gets 20.
        QCOMPARE(FastSalePointsText(QStringLiteral("99.9"), 10), QStringLiteral("9"));
        FastSaleInput m{false, member, QStringLiteral("99.9"), QStringLiteral("20")};
        r = PostOrder(shop.ctx, MakeFastSaleDraft(m, cash(100, 0.1), {}, kNow));
        QVERIFY(r.ok);
        QCOMPARE(shop.pointsOf(member), 2020);
        QCOMPARE(
            shop.ctx.db.scalar(QStringLiteral("SELECT Cumulative FROM tb_members WHERE ID = ?"), {member})
                ->toDouble(),
            99.9);

        // Paid with points: 12.30 needs 1300.
        FastSaleInput p{false, member, QStringLiteral("12.30"), QStringLiteral("1")};
        const SettlementCheck c = CheckPointsPayment(member, 2020, PointsNeeded(12.3, 100), 12.3, false);
        r = PostOrder(shop.ctx, MakeFastSaleDraft(p, c.payment, {}, kNow));
        QVERIFY(r.ok);
        QCOMPARE(shop.pointsOf(member), 720);
        o = row(shop, QStringLiteral("SELECT * FROM tb_orders WHERE OrderNo = ?"), {r.orderNo});
        QCOMPARE(o.value(QStringLiteral("totalprice")).toDouble(), 0.0);
        QCOMPARE(o.value(QStringLiteral("realtotalprice")).toDouble(), 0.0);
        QCOMPARE(o.value(QStringLiteral("integral")).toInt(), -1300);
        QCOMPARE(o.value(QStringLiteral("paytype")).toInt(), 3);
        QCOMPARE(o.value(QStringLiteral("ordertype")).toInt(), 4);
    }

    void fastSaleChecks_data() {
        QTest::addColumn<bool>("guest");
        QTest::addColumn<int>("member");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no customer") << false << -1 << "50"
                                     << "5"
                                     << "请选择会员\r\n或设置为散客消费！";
        QTest::newRow("zero") << true << -1 << "0"
                              << ""
                              << "实收价格不能小于0";
        QTest::newRow("empty") << true << -1 << ""
                               << ""
                               << "实收价格不能小于0";
        QTest::newRow("negative") << true << -1 << "-5"
                                  << ""
                                  << "实收价格不能小于0";
        QTest::newRow("text") << true << -1 << "abc"
                              << ""
                              << "实收价格不能小于0";
        QTest::newRow("trailing text") << true << -1 << "12abc"
                                       << ""
                                       << "请输入正确的消费金额";
        QTest::newRow("huge") << true << -1 << "1e20"
                              << ""
                              << "请输入正确的消费金额";
        QTest::newRow("negative points") << false << 3 << "10"
                                         << "-5"
                                         << "请输入正确的获得积分";
        QTest::newRow("fractional points") << false << 3 << "10"
                                           << "2.5"
                                           << "请输入正确的获得积分";
        QTest::newRow("points beyond range") << false << 3 << "10"
                                             << "99999999999"
                                             << "请输入正确的获得积分";
        QTest::newRow("guest ignores points") << true << -1 << "10"
                                              << "abc"
                                              << "";
        QTest::newRow("member fine") << false << 3 << "￥10.00"
                                     << "1"
                                     << "";
    }
    void fastSaleChecks() {
        QFETCH(bool, guest);
        QFETCH(int, member);
        QFETCH(QString, amount);
        QFETCH(QString, points);
        QFETCH(QString, refusal);
        QCOMPARE(CheckFastSale({guest, member, amount, points}), refusal);
    }
};

QTEST_GUILESS_MAIN(TestPosting)
#include "tst_posting.moc"
