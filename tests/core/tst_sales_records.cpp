#include "TestShop.h"

#include "core/sales/SalesRecords.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"

#include <QTest>

using namespace selvo;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));

QStringList strings(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}

QString no(int n) {
    return QStringLiteral("20240305000000%1").arg(10000 + n);
}

void recharge(test::TestShop& shop, int member, double amount, double bonus, int op = 1,
              const QDateTime& when = kNow) {
    shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_TopupRecord(SaleManID, MemID, Amount, Giving, Total, "
                                    "BefBalance, AftBalance, OpType, Remark, AddDate) "
                                    "VALUES(?, ?, ?, ?, ?, 0, 0, 1, '', ?)"),
                     {op, member, amount, bonus, amount + bonus, shop.ctx.db.dateTimeValue(when)});
}
void deduct(test::TestShop& shop, int member, double amount, const QDateTime& when = kNow) {
    shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_TopupRecord(SaleManID, MemID, Amount, Giving, Total, "
                                    "BefBalance, AftBalance, OpType, Remark, AddDate) "
                                    "VALUES(1, ?, 0, 0, ?, 0, 0, 0, '', ?)"),
                     {member, -amount, shop.ctx.db.dateTimeValue(when)});
}
} // namespace

class TestSalesRecords final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

    // A small shop: two members (one deleted later), two operators, orders of each kind.
    struct Shop {
        test::TestShop shop;
        int alice = 0;
        int bob = 0;
        int clerk = 0;
    };

    static void fill(Shop& s) {
        s.alice = s.shop.addMember(QStringLiteral("爱丽丝"), QStringLiteral("13800000001"), 100, 50);
        s.bob = s.shop.addMember(QStringLiteral("鲍勃"), QStringLiteral("13800000002"));
        s.clerk =
            s.shop.addOperator(QStringLiteral("clerk"), QStringLiteral("x"), 2, 0, QStringLiteral("小王"));
        const QDateTime today = kNow.addSecs(-3600);
        const QDateTime yesterday = kNow.addDays(-1);
        auto& shop = s.shop;
        // guest cash sale today
        test::OrderSpec o;
        o.orderNo = no(1);
        o.totalPrice = 20;
        o.realTotalPrice = 18;
        o.getMoney = 20;
        o.change = 2;
        o.profits = 8;
        o.prdSum = 2;
        o.saleDate = today;
        QVERIFY(shop.addOrder(o));
        // Alice: balance sale today by the clerk
        o = {};
        o.orderNo = no(2);
        o.memberId = s.alice;
        o.saleManId = s.clerk;
        o.payType = PayBalance;
        o.totalPrice = 35.5;
        o.realTotalPrice = 35.5;
        o.profits = 10.25;
        o.points = 3;
        o.prdSum = 1;
        o.saleDate = today.addSecs(60);
        QVERIFY(shop.addOrder(o));
        // Alice: points exchange yesterday
        o = {};
        o.orderNo = no(3);
        o.memberId = s.alice;
        o.orderType = OrderPointsExchange;
        o.payType = PayPoints;
        o.totalPrice = 13;
        o.points = -1300;
        o.profits = -6;
        o.prdSum = 1;
        o.saleDate = yesterday;
        QVERIFY(shop.addOrder(o));
        // Bob: return refunded in cash today
        o = {};
        o.orderNo = no(4);
        o.memberId = s.bob;
        o.orderType = OrderReturn;
        o.payType = PayCash;
        o.totalPrice = -12.5;
        o.realTotalPrice = -12.5;
        o.points = -2;
        o.profits = -4;
        o.prdSum = -1;
        o.saleDate = today.addSecs(120);
        QVERIFY(shop.addOrder(o));
        // Bob: cash fast sale yesterday
        o = {};
        o.orderNo = no(5);
        o.memberId = s.bob;
        o.orderType = OrderFastSale;
        o.totalPrice = 50;
        o.realTotalPrice = 50;
        o.getMoney = 50;
        o.points = 5;
        o.profits = 50;
        o.saleDate = yesterday.addSecs(60);
        QVERIFY(shop.addOrder(o));
        recharge(shop, s.alice, 100, 10, 1, today);
        recharge(shop, s.bob, 50, 0, s.clerk, yesterday);
        deduct(shop, s.alice, 7.5, today);
    }

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }

    // Every sum keeps its own payment condition on top of the filter; recharge sums follow the
    // customer, operator and date parts of the filter only.
    void summary_data() {
        QTest::addColumn<int>("customer");
        QTest::addColumn<bool>("aliceOnly");
        QTest::addColumn<int>("payType");
        QTest::addColumn<int>("orderType");
        QTest::addColumn<bool>("clerkOnly");
        QTest::addColumn<bool>("todayOnly");
        QTest::addColumn<QString>("ordersLine");
        QTest::addColumn<QString>("rechargesLine");
        QTest::addColumn<int>("rows");
        QTest::newRow("no filter")
            << 0 << false << 0 << 0 << false << false
            << "现金支付:￥ 55.50元 / 余额支付:￥ 35.50元 / 积分支付:-1300 / 利润:￥ 58.25元"
            << "充值收银:￥ 150.00元 / 充值赠送:￥ 10.00元 / 扣除余额:￥ -7.50元" << 5;
        QTest::newRow("cash payments zero the other sums")
            << 0 << false << int(PayCash) << 0 << false << false
            << "现金支付:￥ 55.50元 / 余额支付:￥ 0.00元 / 积分支付:0 / 利润:￥ 54.00元"
            << "充值收银:￥ 150.00元 / 充值赠送:￥ 10.00元 / 扣除余额:￥ -7.50元" << 3;
        QTest::newRow("guests have no recharges")
            << int(SalesRecordFilter::Guests) << false << 0 << 0 << false << false
            << "现金支付:￥ 18.00元 / 余额支付:￥ 0.00元 / 积分支付:0 / 利润:￥ 8.00元"
            << "充值收银:￥ 0.00元 / 充值赠送:￥ 0.00元 / 扣除余额:￥ 0.00元" << 1;
        QTest::newRow("members")
            << int(SalesRecordFilter::Members) << false << 0 << 0 << false << false
            << "现金支付:￥ 37.50元 / 余额支付:￥ 35.50元 / 积分支付:-1300 / 利润:￥ 50.25元"
            << "充值收银:￥ 150.00元 / 充值赠送:￥ 10.00元 / 扣除余额:￥ -7.50元" << 4;
        QTest::newRow("one member")
            << int(SalesRecordFilter::Members) << true << 0 << 0 << false << false
            << "现金支付:￥ 0.00元 / 余额支付:￥ 35.50元 / 积分支付:-1300 / 利润:￥ 4.25元"
            << "充值收银:￥ 100.00元 / 充值赠送:￥ 10.00元 / 扣除余额:￥ -7.50元" << 2;
        QTest::newRow("returns") << 0 << false << 0 << int(OrderReturn) << false << false
                                 << "现金支付:￥ -12.50元 / 余额支付:￥ 0.00元 / 积分支付:0 / 利润:￥ -4.00元"
                                 << "充值收银:￥ 150.00元 / 充值赠送:￥ 10.00元 / 扣除余额:￥ -7.50元" << 1;
        QTest::newRow("one operator")
            << 0 << false << 0 << 0 << true << false
            << "现金支付:￥ 0.00元 / 余额支付:￥ 35.50元 / 积分支付:0 / 利润:￥ 10.25元"
            << "充值收银:￥ 50.00元 / 充值赠送:￥ 0.00元 / 扣除余额:￥ 0.00元" << 1;
        QTest::newRow("today") << 0 << false << 0 << 0 << false << true
                               << "现金支付:￥ 5.50元 / 余额支付:￥ 35.50元 / 积分支付:0 / 利润:￥ 14.25元"
                               << "充值收银:￥ 100.00元 / 充值赠送:￥ 10.00元 / 扣除余额:￥ -7.50元" << 3;
    }
    void summary() {
        QFETCH(int, customer);
        QFETCH(bool, aliceOnly);
        QFETCH(int, payType);
        QFETCH(int, orderType);
        QFETCH(bool, clerkOnly);
        QFETCH(bool, todayOnly);
        QFETCH(QString, ordersLine);
        QFETCH(QString, rechargesLine);
        QFETCH(int, rows);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        fill(s);
        if (QTest::currentTestFailed())
            return;
        SalesRecordFilter f;
        f.customer = customer;
        f.memberId = aliceOnly ? s.alice : -1;
        f.payType = payType;
        f.orderType = orderType;
        f.operatorId = clerkOnly ? s.clerk : 0;
        if (todayOnly)
            f.from = f.to = kNow.date();
        const SalesRecords r = QuerySalesRecords(s.shop.ctx, f);
        QVERIFY(r.listOk);
        QVERIFY(r.summary);
        QCOMPARE(r.summary->ordersLine(), ordersLine);
        QCOMPARE(r.summary->rechargesLine(), rechargesLine);
        QCOMPARE(r.rows.size(), rows);
    }

    // What each column shows, for each kind of order, and for deleted members and operators.
    void rowTexts() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        fill(s);
        if (QTest::currentTestFailed())
            return;
        auto& db = s.shop.ctx.db;
        QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_members WHERE ID = ?"), {s.bob}));
        QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_manager WHERE ID = ?"), {s.clerk}));
        test::OrderSpec odd;
        odd.orderNo = no(6);
        odd.orderType = QVariant();
        odd.payType = QVariant();
        odd.saleDate = kNow.addDays(-2);
        odd.addDate = kNow.addDays(-2).addSecs(5);
        odd.remark = QStringLiteral("'; DROP TABLE tb_orders; --");
        QVERIFY(s.shop.addOrder(odd));

        const SalesRecords r = QuerySalesRecords(s.shop.ctx, {});
        QVERIFY(r.listOk);
        QStringList order;
        for (const SalesRecordRow& row : r.rows)
            order << row.orderNo;
        // Newest sale first.
        QCOMPARE(order, (QStringList{no(4), no(2), no(1), no(5), no(3), no(6)}));
        const auto texts = [&](int n) {
            return r.rows[order.indexOf(no(n))].texts;
        };
        QCOMPARE(texts(1),
                 (QStringList{no(1)} +
                  strings({"散客消费", "", "正常销售", "￥20.00", "￥18.00", "现金支付", "￥20.00", "￥2.00",
                           "2", "0", "管理员", "2024-03-05 13:30:00", "", "2024-03-05 14:30:00", "8.00"})));
        // The clerk is gone: "#已删除"; a balance payment shows no takings or change.
        QCOMPARE(texts(2),
                 (QStringList{no(2)} +
                  strings({"爱丽丝", "13800000001", "正常销售", "￥35.50", "￥35.50", "余额支付", "-", "-",
                           "1", "3", "#已删除", "2024-03-05 13:31:00", "", "2024-03-05 14:30:00", "10.25"})));
        // Points exchange: "-" for the deal price, the takings and the change.
        QCOMPARE(texts(3).mid(RecDealPrice, 4), strings({"-", "积分支付", "-", "-"}));
        QCOMPARE(texts(3)[RecPoints], QStringLiteral("-1300"));
        // A return of a deleted member: its total without the sign, its deal price with it.
        QCOMPARE(texts(4).mid(RecCustomer, 6),
                 strings({"#已删除", "", "退货", "￥12.50", "￥-12.50", "现金支付"}));
        QCOMPARE(texts(4)[RecProductCount], QStringLiteral("-1"));
        QCOMPARE(texts(4)[RecProfit], QStringLiteral("-4.00"));
        // NULL order type counts as a sale; NULL payment is unknown; typed text stays text.
        QCOMPARE(texts(6)[RecOrderType], QStringLiteral("正常销售"));
        QCOMPARE(texts(6)[RecPayType], QStringLiteral("未知"));
        QCOMPARE(texts(6)[RecRemark], odd.remark);
        QCOMPARE(texts(6)[RecAddDate], QStringLiteral("2024-03-03 14:30:05"));
        QCOMPARE(s.shop.count(QStringLiteral("tb_orders")), 6);

        QCOMPARE(CancelLogText(texts(4)),
                 QStringLiteral("撤销订单，订单详情（会员：#已删除;  电话：; 订单类型：退货; 价格:￥12.50; "
                                "支付方式:现金支付 )"));
        QCOMPARE(CancelLogText(texts(2)),
                 QStringLiteral("撤销订单，订单详情（会员：爱丽丝;  电话：13800000001; "
                                "订单类型：正常销售; 价格:￥35.50; 支付方式:余额支付 )"));
    }

    // At most 500 rows, the newest sales; the summary still sums every matching order.
    void limit() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.ctx.db.begin());
        for (int i = 0; i < 510; ++i) {
            test::OrderSpec o;
            o.orderNo = no(i);
            o.totalPrice = o.realTotalPrice = o.getMoney = 1;
            o.saleDate = kNow.addSecs(-60 * i);
            QVERIFY(shop.addOrder(o));
        }
        QVERIFY(shop.ctx.db.commit());
        const SalesRecords r = QuerySalesRecords(shop.ctx, {});
        QCOMPARE(r.rows.size(), 500);
        QCOMPARE(r.rows.first().orderNo, no(0));
        QCOMPARE(r.rows.last().orderNo, no(499));
        QCOMPARE(r.summary->cash, 510.0);
    }

    // Whole days: from 00:00:00 of the first to 23:59:59 of the last.
    void dayBounds() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const QDate day(2024, 3, 4);
        const QList<QDateTime> times{QDateTime(day.addDays(-1), QTime(23, 59, 59)),
                                     QDateTime(day, QTime(0, 0, 0)), QDateTime(day, QTime(23, 59, 59)),
                                     QDateTime(day.addDays(1), QTime(0, 0, 0))};
        for (int i = 0; i < times.size(); ++i) {
            test::OrderSpec o;
            o.orderNo = no(i);
            o.realTotalPrice = 1 << i;
            o.saleDate = times[i];
            QVERIFY(shop.addOrder(o));
        }
        SalesRecordFilter f;
        f.from = f.to = day;
        const SalesRecords r = QuerySalesRecords(shop.ctx, f);
        QCOMPARE(r.rows.size(), 2);
        QCOMPARE(r.summary->cash, 6.0);
        f.to.reset();
        QCOMPARE(QuerySalesSummary(shop.ctx, f)->cash, 14.0);
        f.from.reset();
        f.to = day;
        QCOMPARE(QuerySalesSummary(shop.ctx, f)->cash, 7.0);
    }

    // The line list: numbered from 1, deleted products as "#已删除", no discount left empty.
    void lineTexts() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addProduct(QStringLiteral("P1"), QStringLiteral("可乐"), 3, 2, 10);
        test::OrderSpec o;
        o.orderNo = no(1);
        o.lines = {{QStringLiteral("P1"), 2, 6, 9.5}, {QStringLiteral("GONE"), 1.5, 4.5, QVariant()}};
        QVERIFY(shop.addOrder(o));
        const auto lines = QueryOrderLineTexts(shop.ctx, no(1));
        QVERIFY(lines);
        QCOMPARE(lines->size(), 2);
        QCOMPARE(lines->at(0),
                 strings({"1", "P1", "商品P1", "2 个", "￥3.00", "9.5", "￥3.00", "￥6.00", "0", "￥0.00"}));
        QCOMPARE(lines->at(1).mid(0, 6), strings({"2", "#已删除", "商品GONE", "1.5 ", "￥3.00", ""}));
        QVERIFY(QueryOrderLineTexts(shop.ctx, QStringLiteral("nothing"))->isEmpty());
    }

    void headersAndExportName() {
        QCOMPARE(SalesRecordHeader(RecProfit), QStringLiteral("利润"));
        QCOMPARE(SalesRecordWidth(RecOrderNo), 130);
        QCOMPARE(SalesLineHeader(LineQuantity), QStringLiteral("计量"));
        QCOMPARE(SalesLineWidth(LineName), 300);
        QCOMPARE(SalesRecordExportName(), QStringLiteral("销售记录2024-03-05 14.30.00.csv"));
    }
};

QTEST_GUILESS_MAIN(TestSalesRecords)
#include "tst_sales_records.moc"
