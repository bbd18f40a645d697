#include "TableDump.h"
#include "TestShop.h"

#include "core/sales/Cancellation.h"
#include "core/sales/Returns.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"

#include <QTest>

using namespace selvo;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));

using test::Account;

// A member with balance 5, 5 points and 200 spent; product A (10.00, cost 6) and B (a special
// offer, 5.00, cost 2), 10 of each in stock.
struct Shop {
    test::TestShop shop;
    int member = -1;
    int a = -1;
    int b = -1;
    Shop() {
        member = shop.addMember(QStringLiteral("张三"), QStringLiteral("13900000000"), 5, 5);
        shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET Cumulative = 200 WHERE ID = ?"), {member});
        a = shop.addProduct(QStringLiteral("A"), QStringLiteral("甲"), 10, 6, 10);
        b = shop.addProduct(QStringLiteral("B"), QStringLiteral("乙"), 5, 2, 10, 0, PropertySpecialOffer);
    }
    AppContext& ctx() { return shop.ctx; }
    Account account() { return shop.accountOf(member); }
    double stock(const QString& code) { return shop.stockOf(code); }
    // A list of 2 × A and 1 × B: goods ￥25.00, of which ￥5.00 special offer.
    Cart list() {
        Cart c;
        c.add(*LoadSaleProduct(shop.ctx, a), false);
        c.increment(0);
        c.add(*LoadSaleProduct(shop.ctx, b), false);
        return c;
    }
};

ReturnInput memberInput(const Shop& s, int mode, const QString& refund, const QString& points) {
    ReturnInput in;
    in.memberId = s.member;
    in.mode = mode;
    in.refundText = refund;
    in.pointsText = points;
    in.remark = QStringLiteral("换货");
    return in;
}
} // namespace

class TestReturns final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }

    // Totals under the list, and the points the refund field gives when typed in.
    void totals_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("offerEarns");
        QTest::addColumn<int>("yuanToInteral");
        QTest::addColumn<int>("points");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("typedPoints");
        // Discounted A at 9.75: refund 2 × 9.75 + 5 = 24.50, goods 25.00.
        QTest::newRow("cash, offer earns nothing, rounded up") << 1 << false << 1 << 20 << "￥19.99"
                                                               << "14";
        QTest::newRow("cash, offer earns") << 1 << true << 10 << 2 << "24.50"
                                           << "2";
        QTest::newRow("balance, typed below the offer shows 0") << 2 << false << 1 << 20 << "3"
                                                                << "0";
        QTest::newRow("points: refund rounded up × 100") << 3 << false << 1 << 2500 << "12.5"
                                                         << "1250";
        QTest::newRow("typed text that is no number") << 1 << false << 1 << 20 << "abc"
                                                      << "0";
        QTest::newRow("typed huge amount") << 3 << false << 1 << 2500 << "1e300"
                                           << "0";
    }
    void totals() {
        QFETCH(int, mode);
        QFETCH(bool, offerEarns);
        QFETCH(int, yuanToInteral);
        QFETCH(int, points);
        QFETCH(QString, typed);
        QFETCH(QString, typedPoints);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        s.ctx().settings.specialOffer = offerEarns;
        s.ctx().settings.yuanToInteral = yuanToInteral;
        Cart list = s.list();
        list.applyEdit(0, {2, 9.75, 9.75, false});
        const ReturnTotals t = ComputeReturnTotals(list, s.ctx().settings, mode);
        QCOMPARE(t.refundText, QStringLiteral("￥24.50"));
        QCOMPARE(t.goodsTotalText, QStringLiteral("￥25.00"));
        QCOMPARE(t.cart.productCount, 2);
        QCOMPARE(t.points, points);
        QCOMPARE(RefundPointsText(typed, mode, t.cart.specialOfferAmount, s.ctx().settings), typedPoints);
        QCOMPARE(ReturnRowText(list.rows()[1], ColName), QStringLiteral("[特] 乙"));
        QCOMPARE(ReturnListHeader(ColName), QStringLiteral("商品名称"));
    }

    // Every refusal of "结算(F10)", in the order they are checked; nothing is written.
    void refusals_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("refund");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("refusal");
        const QString wrong = QStringLiteral("请输入正确的退款金额");
        QTest::newRow("empty list") << "empty" << 1 << "10"
                                    << "0"
                                    << "请选择商品";
        QTest::newRow("no member, not a guest") << "nobody" << 1 << "10"
                                                << "0"
                                                << "请选择会员\r\n或设置为散客消费";
        QTest::newRow("zero") << "" << 1 << "￥0.00"
                              << "0"
                              << "退款金额不能为0";
        QTest::newRow("below a fen") << "" << 1 << "0.004"
                                     << "0"
                                     << "退款金额不能为0";
        QTest::newRow("negative") << "" << 1 << "-5"
                                  << "0"
                                  << "退款金额不能小于0";
        for (const char* bad :
             {"", "   ", "abc", "nan", "inf", "0x10", "12元", "'; DELETE FROM tb_orders; --", "😀", "1e20"})
            QTest::addRow("refund \"%s\"", bad) << "" << 1 << QString::fromUtf8(bad) << "0" << wrong;
        QTest::newRow("30.50 for goods of 30.00") << "" << 1 << "30.50"
                                                  << "0"
                                                  << "退款金额不能超过商品总价";
        QTest::newRow("30.01 for goods of 30.00") << "" << 2 << "30.01"
                                                  << "0"
                                                  << "退款金额不能超过商品总价";
        for (const char* bad : {"", "abc", "-1", "1.5", "0x10", "99999999999"})
            QTest::addRow("points \"%s\" in cash", bad)
                << "" << 1 << "10" << QString::fromUtf8(bad) << "请输入正确的扣除积分";
        QTest::newRow("points \"-3\" given back") << "" << 3 << "10"
                                                  << "-3"
                                                  << "请输入正确的退还积分";
        QTest::newRow("8 points taken from 5, cash") << "" << 1 << "10"
                                                     << "8"
                                                     << "会员剩余积分不足";
        QTest::newRow("8 points taken from 5, balance") << "" << 2 << "10"
                                                        << "8"
                                                        << "会员剩余积分不足";
        QTest::newRow("member deleted") << "deleted" << 1 << "10"
                                        << "0"
                                        << "无法读取会员信息";
    }
    void refusals() {
        QFETCH(QString, setup);
        QFETCH(int, mode);
        QFETCH(QString, refund);
        QFETCH(QString, points);
        QFETCH(QString, refusal);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        Cart list;
        if (setup != QLatin1String("empty")) {
            list.add(*LoadSaleProduct(s.ctx(), s.a), false);
            list.applyEdit(0, {3, 10, 10, false}); // goods 30.00
        }
        ReturnInput in = memberInput(s, mode, refund, points);
        if (setup == QLatin1String("nobody"))
            in.memberId = kWalkInMember;
        if (setup == QLatin1String("deleted"))
            QVERIFY(s.ctx().db.exec(QStringLiteral("DELETE FROM tb_members")));
        const auto before = test::DumpTables(s.ctx());
        const ReturnPlan plan = PrepareReturn(s.ctx(), list, in);
        QCOMPARE(plan.refusal, refusal);
        QVERIFY(plan.confirmation.isEmpty());
        QVERIFY(test::DumpTables(s.ctx()) == before);
    }

    // What a return writes in each mode: the order and line values, the account, the recharge
    // record of a refund to the balance and the stock.
    void posted_data() {
        QTest::addColumn<bool>("guest");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("refund");
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>(
            "order"); // TotalPrice Profits GetMoney RealTotalPrice Integral PayType MemID
        QTest::addColumn<QString>("lineA"); // PrdNum TotalPrice Profits Integral
        QTest::addColumn<double>("balance");
        QTest::addColumn<int>("pointsChange");
        QTest::addColumn<double>("cumulative");
        // Goods 25.00 (2 × A at 10, B at 5), cost 14.
        QTest::newRow("guest in cash, points ignored") << true << 2 << "25"
                                                       << "3"
                                                       << "确认退货?\r\n退还现金￥25.00元"
                                                       << "-25 -11 -25 -25 0 1 -1"
                                                       << "-2 -20 -8 -20" << 0.0 << 0 << 0.0;
        QTest::newRow("member in cash, refund as typed to the fen") << false << 1 << "19.996"
                                                                    << "5"
                                                                    << "确认退货?\r\n退还现金￥20.00元"
                                                                    << "-25 -6 -20 -20 -5 1 M"
                                                                    << "-2 -20 -8 -20" << 0.0 << -5 << -20.0;
        QTest::newRow("member to the balance: ￥20 for a member with ￥5")
            << false << 2 << "￥20.00"
            << "2"
            << "确认退货?\r\n返还余额￥20.00元"
            << "-25 -6 0 -20 -2 2 M"
            << "-2 -20 -8 -20" << 20.0 << -2 << -20.0;
        QTest::newRow("member in points: 8 points for a member with 5") << false << 3 << "25"
                                                                        << "8"
                                                                        << "确认退货?\r\n返还积分8分"
                                                                        << "-25 14 0 0 8 3 M"
                                                                        << "-2 0 12 2000" << 0.0 << 8 << 0.0;
        QTest::newRow("refund equal to the goods total") << false << 1 << "25.00"
                                                         << "0"
                                                         << "确认退货?\r\n退还现金￥25.00元"
                                                         << "-25 -11 -25 -25 0 1 M"
                                                         << "-2 -20 -8 -20" << 0.0 << 0 << -25.0;
    }
    void posted() {
        QFETCH(bool, guest);
        QFETCH(int, mode);
        QFETCH(QString, refund);
        QFETCH(QString, points);
        QFETCH(QString, question);
        QFETCH(QString, order);
        QFETCH(QString, lineA);
        QFETCH(double, balance);
        QFETCH(int, pointsChange);
        QFETCH(double, cumulative);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        s.ctx().settings.yuanToInteral = 1;
        s.ctx().settings.interalToYuan = 100;
        const Account before = s.account();
        ReturnInput in = memberInput(s, mode, refund, points);
        in.guest = guest;
        const ReturnPlan plan = PrepareReturn(s.ctx(), s.list(), in);
        QVERIFY2(plan.ok(), qPrintable(plan.refusal));
        QCOMPARE(plan.confirmation, question);
        const ReturnResult r = CommitReturn(s.ctx(), plan);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QCOMPARE(r.message, QStringLiteral("退货成功"));

        auto q = s.ctx().db.select(
            QStringLiteral("SELECT TotalPrice, Profits, GetMoney, RealTotalPrice, Integral, PayType, MemID, "
                           "PrdPurchasePrice, PrdSum, Change, OrderType, Remark, SaleManID, SaleDate "
                           "FROM tb_orders WHERE OrderNo = ?"),
            {r.orderNo});
        QVERIFY(q && q->next());
        QStringList got;
        for (int c = 0; c < 7; ++c)
            got << QString::number(q->value(c).toDouble());
        QCOMPARE(got.join(QLatin1Char(' ')),
                 QString(order).replace(QStringLiteral("M"), QString::number(s.member)));
        QCOMPARE(q->value(7).toDouble(), 14.0);
        QCOMPARE(q->value(8).toDouble(), 2.0);
        QCOMPARE(q->value(9).toDouble(), 0.0);
        QCOMPARE(q->value(10).toInt(), int(OrderReturn));
        QCOMPARE(q->value(11).toString(), QStringLiteral("换货"));
        QCOMPARE(q->value(12).toInt(), s.ctx().op.id);
        QCOMPARE(db::toDateTime(q->value(13)), kNow);

        auto lines = s.ctx().db.select(
            QStringLiteral("SELECT PrdNum, TotalPrice, Profits, Integral, PrdName, PrdPrice, DisCount, "
                           "DisCountPrice, PrdPurchasePrice, PayType, MemID FROM tb_order_lines "
                           "WHERE OrderNo = ? AND PrdCode = 'A'"),
            {r.orderNo});
        QVERIFY(lines && lines->next());
        got.clear();
        for (int c = 0; c < 4; ++c)
            got << QString::number(lines->value(c).toDouble());
        QCOMPARE(got.join(QLatin1Char(' ')), lineA);
        QCOMPARE(lines->value(4).toString(), QStringLiteral("甲"));
        QCOMPARE(lines->value(5).toDouble(), 10.0);
        QCOMPARE(lines->value(6).toDouble(), 10.0);
        QCOMPARE(lines->value(8).toDouble(), 6.0);
        QCOMPARE(lines->value(9).toInt(), guest ? 1 : mode);
        QCOMPARE(lines->value(10).toInt(), guest ? kWalkInMember : s.member);
        QCOMPARE(s.shop.count(QStringLiteral("tb_order_lines"), QStringLiteral("PrdName = ? AND PrdNum = -1"),
                              {QStringLiteral("[特] 乙")}),
                 1);

        const Account after = s.account();
        QCOMPARE(after.balance - before.balance, balance);
        QCOMPARE(after.points - before.points, pointsChange);
        QCOMPARE(after.cumulative - before.cumulative, cumulative);
        QCOMPARE(s.stock(QStringLiteral("A")), 12.0);
        QCOMPARE(s.stock(QStringLiteral("B")), 11.0);
        QCOMPARE(s.shop.count(QStringLiteral("tb_prdnum_record")), 0);
        if (balance > 0) {
            QCOMPARE(s.shop.count(
                         QStringLiteral("tb_TopupRecord"),
                         QStringLiteral("MemID = ? AND OpType = 1 AND Amount = 20 AND Giving = 0 AND "
                                        "Total = 20 AND BefBalance = 5 AND AftBalance = 25 AND Remark = ?"),
                         {s.member, QStringLiteral("退货返还")}),
                     1);
        }
        QCOMPARE(s.shop.count(QStringLiteral("tb_TopupRecord")), balance > 0 ? 1 : 0);
    }

    // "按订单退货" of a sale paid with points: its lines, "返还积分", and the points given back.
    // The same sale may be returned twice.
    void byOrder() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        s.ctx().settings.interalToYuan = 100;
        QVERIFY(s.ctx().db.exec(QStringLiteral("UPDATE tb_members SET Integral = 5000")));
        Cart sale = s.list();
        sale.applyEdit(0, {2, 9.5, 9.5, false}); // 2 × 9.50 + 5 = 24.00 → 2400 points
        Payment payment;
        payment.payType = PayPoints;
        payment.pointsUsed = 2400;
        const PostResult sold = PostOrder(s.ctx(), MakeSaleDraft(sale, s.ctx().settings, s.member, payment, 0,
                                                                 QString(), kNow.addDays(-1)));
        QVERIFY2(sold.ok, qPrintable(sold.message + sold.detail));
        // Stored as a points exchange, and listed by the order picker.
        QCOMPARE(ReturnableOrders(s.ctx(), s.member)->size(), 1);

        const ReturnOrderLoad load = LoadReturnOrder(s.ctx(), sold.orderNo);
        QVERIFY(load.ok);
        QCOMPARE(load.mode, int(RefundPoints));
        QCOMPARE(load.rows.size(), 2);
        QCOMPARE(load.rows[0].text(ColDiscount), QStringLiteral("9.5"));
        QCOMPARE(load.rows[0].text(ColDiscountPrice), QStringLiteral("￥9.50"));
        QCOMPARE(load.rows[0].text(ColQuantity), QStringLiteral("2 个"));
        QCOMPARE(load.rows[1].lineName(), QStringLiteral("[特] 乙"));
        Cart list;
        AddReturnRows(list, load.rows);
        AddReturnRows(list, load.rows); // loading again adds nothing
        QCOMPARE(list.size(), 2);
        const ReturnTotals t = ComputeReturnTotals(list, s.ctx().settings, load.mode);
        QCOMPARE(t.refundText, QStringLiteral("￥24.00"));
        QCOMPARE(t.points, 2400);

        for (int time = 0; time < 2; ++time) {
            ReturnInput in = memberInput(s, load.mode, t.refundText, QString::number(t.points));
            const ReturnPlan plan = PrepareReturn(s.ctx(), list, in);
            QVERIFY2(plan.ok(), qPrintable(plan.refusal));
            QVERIFY(CommitReturn(s.ctx(), plan).ok);
        }
        QCOMPARE(s.account().points, 5000 - 2400 + 2 * 2400);
        QCOMPARE(s.stock(QStringLiteral("A")), 12.0); // 2 sold, 2 × 2 back

        // Lines of a deleted product are left out; an order with none left, or none at all, loads nothing.
        QVERIFY(s.ctx().db.exec(QStringLiteral("DELETE FROM tb_product WHERE PrdCode = 'A'")));
        QCOMPARE(LoadReturnOrder(s.ctx(), sold.orderNo).rows.size(), 1);
        QVERIFY(s.ctx().db.exec(QStringLiteral("DELETE FROM tb_product")));
        for (const QString& orderNo : {sold.orderNo, QStringLiteral("nope'--")}) {
            const ReturnOrderLoad none = LoadReturnOrder(s.ctx(), orderNo);
            QVERIFY(!none.ok);
            QCOMPARE(none.failure, QStringLiteral("无法找到产品信息"));
        }
    }

    // The order picker: ordinary sales of that customer only, newest first, with the operator.
    void orderPicker() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const int clerk =
            s.shop.addOperator(QStringLiteral("clerk"), QStringLiteral("x"), 2, 0, QStringLiteral("小李"));
        test::OrderSpec o;
        o.memberId = s.member;
        o.realTotalPrice = 12.5;
        o.orderNo = QStringLiteral("old");
        o.saleDate = kNow.addDays(-2);
        QVERIFY(s.shop.addOrder(o));
        o.orderNo = QStringLiteral("new");
        o.saleDate = kNow;
        o.payType = PayBalance;
        o.saleManId = clerk;
        QVERIFY(s.shop.addOrder(o));
        o.orderNo = QStringLiteral("points");
        o.saleDate = kNow.addDays(-1);
        o.orderType = OrderPointsExchange;
        o.payType = PayPoints;
        QVERIFY(s.shop.addOrder(o));
        o.orderNo = QStringLiteral("return");
        o.orderType = OrderReturn;
        QVERIFY(s.shop.addOrder(o));
        o.orderNo = QStringLiteral("fast");
        o.orderType = OrderFastSale;
        QVERIFY(s.shop.addOrder(o));
        o.orderNo = QStringLiteral("guest");
        o.orderType = OrderSale;
        o.memberId = kWalkInMember;
        QVERIFY(s.shop.addOrder(o));
        QVERIFY(s.ctx().db.exec(QStringLiteral("DELETE FROM tb_manager WHERE ID = ?"), {clerk}));

        const auto orders = ReturnableOrders(s.ctx(), s.member);
        QVERIFY(orders);
        QCOMPARE(orders->size(), 3);
        QCOMPARE(orders->at(0).orderNo, QStringLiteral("new"));
        QCOMPARE(orders->at(0).operatorName, QStringLiteral("#已删除"));
        QCOMPARE(orders->at(0).payType, QStringLiteral("余额支付"));
        QCOMPARE(orders->at(1).payType, QStringLiteral("积分支付"));
        QCOMPARE(orders->at(2).orderNo, QStringLiteral("old"));
        QCOMPARE(orders->at(2).operatorName, QStringLiteral("管理员"));
        QCOMPARE(orders->at(2).saleTime, QStringLiteral("2024-03-03 14:30:00"));
        QCOMPARE(orders->at(2).price, QStringLiteral("￥12.50"));
        QCOMPARE(ReturnableOrders(s.ctx(), kWalkInMember)->size(), 1);
        QCOMPARE(ReturnSelOrderCaption(s.ctx(), s.member),
                 QStringLiteral("张三(13900000000)的消费/充值记录  最多显示500条"));
        QCOMPARE(ReturnSelOrderCaption(s.ctx(), kWalkInMember),
                 QStringLiteral("散客的消费/充值记录  最多显示500条"));
    }

    // "选择商品退货": each picked product once, at quantity 1 and full price.
    void pickedProducts() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        Cart list;
        list.add(*LoadSaleProduct(s.ctx(), s.a), false);
        list.increment(0);
        QVERIFY(AddPickedProducts(s.ctx(), list,
                                  QStringLiteral("%1,%2,99").arg(s.b).arg(s.a) + QLatin1Char(',')));
        QCOMPARE(list.size(), 2);
        QCOMPARE(list.rows()[0].quantity, 2.0); // already in the list: left as it was
        QCOMPARE(ReturnRowText(list.rows()[1], ColName), QStringLiteral("[特] 乙"));
        QCOMPARE(ReturnRowText(list.rows()[1], ColQuantity), QStringLiteral("1 个"));
        QCOMPARE(ReturnRowText(list.rows()[1], ColCost), QStringLiteral("2.00"));
        for (const QString& none :
             {QString(), QStringLiteral("99,"), QStringLiteral("7"), QStringLiteral("x,")})
            QVERIFY(!AddPickedProducts(s.ctx(), list, none));
        QCOMPARE(list.size(), 2);
    }

    // Between the question and the answer the member spends the points at another till, or is
    // deleted: the return is refused and nothing changes.
    void changedMeanwhile_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("points spent, cash") << 1 << "UPDATE tb_members SET Integral = 2"
                                            << "会员剩余积分不足";
        QTest::newRow("points spent, balance") << 2 << "UPDATE tb_members SET Integral = 2"
                                               << "会员剩余积分不足";
        QTest::newRow("member deleted, points") << 3 << "DELETE FROM tb_members"
                                                << "无法读取会员信息";
    }
    void changedMeanwhile() {
        QFETCH(int, mode);
        QFETCH(QString, change);
        QFETCH(QString, refusal);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const ReturnPlan plan =
            PrepareReturn(s.ctx(), s.list(), memberInput(s, mode, QStringLiteral("20"), QStringLiteral("3")));
        QVERIFY2(plan.ok(), qPrintable(plan.refusal));
        QVERIFY(s.ctx().db.exec(change));
        const auto before = test::DumpTables(s.ctx());
        const ReturnResult r = CommitReturn(s.ctx(), plan);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, refusal);
        QCOMPARE(r.failure, PostFailure::Toast);
        QVERIFY(test::DumpTables(s.ctx()) == before);
    }

    // A failure at any statement of a return leaves every table exactly as it was.
    void atomicity_data() {
        QTest::addColumn<bool>("guest");
        QTest::addColumn<int>("mode");
        QTest::addColumn<Account>("after");
        // A refund of 20 and 3 points for the member with ￥5, 5 points and ￥200 spent.
        QTest::newRow("guest in cash") << true << 1 << Account{5, 5, 200};
        QTest::newRow("member in cash") << false << 1 << Account{5, 2, 180};
        QTest::newRow("member to the balance") << false << 2 << Account{25, 2, 180};
        QTest::newRow("member in points") << false << 3 << Account{5, 8, 200};
    }
    void atomicity() {
        QFETCH(bool, guest);
        QFETCH(int, mode);
        QFETCH(Account, after);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        ReturnInput in = memberInput(s, mode, QStringLiteral("20"), QStringLiteral("3"));
        in.guest = guest;
        const ReturnPlan plan = PrepareReturn(s.ctx(), s.list(), in);
        QVERIFY2(plan.ok(), qPrintable(plan.refusal));
        const auto before = test::DumpTables(s.ctx());
        int failures = 0;
        for (int n = 1;; ++n) {
            s.ctx().db.failNthStatement(n);
            const ReturnResult r = CommitReturn(s.ctx(), plan);
            const bool reached = s.ctx().db.failpointReached();
            s.ctx().db.failNthStatement(0);
            if (!reached) {
                QVERIFY2(r.ok, qPrintable(r.message + r.detail));
                break;
            }
            QVERIFY2(!r.ok, qPrintable(QStringLiteral("statement %1 failed unnoticed").arg(n)));
            QVERIFY(!r.message.isEmpty());
            QVERIFY(r.orderNo.isEmpty());
            QCOMPARE(s.ctx().db.transactionDepth(), 0);
            QVERIFY2(test::DumpTables(s.ctx()) == before, qPrintable(QStringLiteral("statement %1").arg(n)));
            ++failures;
        }
        QVERIFY(failures > 0);
        // The run that went through did its work once.
        QCOMPARE(s.shop.count(QStringLiteral("tb_orders")), 1);
        QCOMPARE(s.shop.count(QStringLiteral("tb_order_lines")), 2);
        QCOMPARE(s.stock(QStringLiteral("A")), 12.0);
        QCOMPARE(s.stock(QStringLiteral("B")), 11.0);
        QCOMPARE(s.account(), after);
    }

    // A return cancelled afterwards leaves balance, points, cumulative spending and stock exactly
    // as they were before it, and the recharge records still explain the balance.
    void returnThenCancel_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("guest");
        QTest::newRow("guest in cash") << 1 << true;
        QTest::newRow("member in cash") << 1 << false;
        QTest::newRow("member to the balance") << 2 << false;
        QTest::newRow("member in points") << 3 << false;
    }
    void returnThenCancel() {
        QFETCH(int, mode);
        QFETCH(bool, guest);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const Account before = s.account();
        const auto records = [&] {
            return s.ctx()
                .db
                .scalar(QStringLiteral("SELECT coalesce(sum(Total), 0) FROM tb_TopupRecord WHERE MemID = ?"),
                        {s.member})
                ->toDouble();
        };
        ReturnInput in = memberInput(s, mode, QStringLiteral("19.99"), QStringLiteral("4"));
        in.guest = guest;
        const ReturnPlan plan = PrepareReturn(s.ctx(), s.list(), in);
        QVERIFY2(plan.ok(), qPrintable(plan.refusal));
        const ReturnResult r = CommitReturn(s.ctx(), plan);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QVERIFY(guest || !(s.account() == before));
        QCOMPARE(s.stock(QStringLiteral("A")), 12.0);
        QCOMPARE(records(), mode == 2 ? 19.99 : 0.0);

        const CancelPlan cancel = PrepareCancelOrder(s.ctx(), r.orderNo);
        QVERIFY2(cancel.ok(), qPrintable(cancel.refusal));
        const CancelResult undone = CommitCancelOrder(s.ctx(), cancel, QStringLiteral("撤销订单"));
        QVERIFY2(undone.ok, qPrintable(undone.message + undone.detail));
        const Account after = s.account();
        QCOMPARE(after.balance, before.balance);
        QCOMPARE(after.points, before.points);
        QCOMPARE(after.cumulative, before.cumulative);
        QCOMPARE(s.stock(QStringLiteral("A")), 10.0);
        QCOMPARE(s.stock(QStringLiteral("B")), 10.0);
        QCOMPARE(records(), 0.0);
        QCOMPARE(s.shop.count(QStringLiteral("tb_orders")), 0);
    }
};

QTEST_GUILESS_MAIN(TestReturns)
#include "tst_returns.moc"
