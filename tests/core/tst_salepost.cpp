// The sale posting from given figures: what one posting writes, and that a refused or failed one
// writes nothing.
#include "TestShop.h"

#include "core/db/Database.h"
#include "core/sales/Posting.h"
#include "core/support/Clock.h"

#include <QSqlRecord>
#include <QTest>

using namespace selvo;
using namespace selvo::test;

namespace {

// Everything a posting may touch, as one comparable text.
QString snapshot(TestShop& shop) {
    QStringList parts;
    for (const QString& sql :
         {QStringLiteral("SELECT ID, Balance, Integral, Cumulative FROM tb_members ORDER BY ID"),
          QStringLiteral("SELECT PrdCode, PrdInventory FROM tb_product ORDER BY PrdCode"),
          QStringLiteral("SELECT OrderNo FROM tb_orders ORDER BY OrderNo"),
          QStringLiteral("SELECT OrderNo, PrdCode FROM tb_order_lines ORDER BY OrderNo, PrdCode"),
          QStringLiteral("SELECT count(*) FROM tb_prdnum_record")}) {
        auto q = shop.ctx.db.select(sql);
        if (!q)
            return QStringLiteral("unreadable: ") + sql;
        while (q->next()) {
            QStringList row;
            for (int i = 0; i < q->record().count(); ++i)
                row << q->value(i).toString();
            parts << row.join(QLatin1Char(','));
        }
        parts << QStringLiteral("|");
    }
    return parts.join(QLatin1Char(';'));
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

// Two lines: 2 x A1 at 10 (cost 6) and 1.5 x B2 at 4 (cost 3): 26 yuan.
OrderDraft makeSale(int memberId, int payType) {
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

class TestSalePost final : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_shop = std::make_unique<TestShop>();
        QVERIFY2(m_shop->ok(), qPrintable(m_shop->error()));
        m_member = m_shop->addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 50, 3000);
        QVERIFY(m_member > 0);
        QVERIFY(m_shop->addProduct(QStringLiteral("A1"), QStringLiteral("苹果"), 10, 6, 100) > 0);
        QVERIFY(m_shop->addProduct(QStringLiteral("B2"), QStringLiteral("面包"), 4, 3, 20) > 0);
    }
    void cleanup() {
        Clock::setInstance(nullptr);
        m_shop.reset();
    }

    void writesOrderLinesAccountsAndStock_data() {
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
    void writesOrderLinesAccountsAndStock() {
        QFETCH(bool, guest);
        QFETCH(int, payType);
        QFETCH(double, balance);
        QFETCH(int, points);
        QFETCH(double, cumulative);
        ManualClock clock(QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58)));
        Clock::setInstance(&clock);
        const OrderDraft sale = makeSale(guest ? kWalkInMember : m_member, payType);
        const PostResult r = PostOrder(m_shop->ctx, sale);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QCOMPARE(r.attempts, 1);
        QVERIFY(r.orderNo.startsWith(QLatin1String("20240229235958")));
        QCOMPARE(r.orderNo.size(), 19);

        db::Database& db = m_shop->ctx.db;
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
        QCOMPARE(db::toDateTime(o->value(9)), clock.now());
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
            QCOMPARE(db::toDateTime(l->value(6)), clock.now());
        }
        QCOMPARE(seen, (QStringList{QStringLiteral("A1 苹果"), QStringLiteral("B2 [特] 面包")}));

        auto m = db.select(
            QStringLiteral("SELECT Balance, Integral, Cumulative FROM tb_members WHERE ID = ?"), {m_member});
        QVERIFY(m && m->next());
        QCOMPARE(m->value(0).toDouble(), balance);
        QCOMPARE(m->value(1).toInt(), points);
        QCOMPARE(m->value(2).toDouble(), cumulative);
        QCOMPARE(
            db.scalar(QStringLiteral("SELECT PrdInventory FROM tb_product WHERE PrdCode = 'A1'"))->toDouble(),
            98.0);
        QCOMPARE(
            db.scalar(QStringLiteral("SELECT PrdInventory FROM tb_product WHERE PrdCode = 'B2'"))->toDouble(),
            18.5);
        QCOMPARE(m_shop->count(QStringLiteral("tb_prdnum_record")), qint64(0));
    }

    void refusalWritesNothing_data() {
        QTest::addColumn<int>("payType");
        QTest::addColumn<double>("balance");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("deleteMember");
        QTest::addColumn<QString>("error");
        QTest::newRow("balance one fen short")
            << int(PayBalance) << 25.99 << 0 << false << QStringLiteral("扣除余额失败，请重试！");
        QTest::newRow("points one short")
            << int(PayPoints) << 0.0 << 2599 << false << QStringLiteral("扣除积分失败，请重试！");
        QTest::newRow("member deleted by another till, cash")
            << int(PayCash) << 100.0 << 0 << true << QStringLiteral("无法读取会员信息，请重试！");
        QTest::newRow("member deleted by another till, balance")
            << int(PayBalance) << 100.0 << 0 << true << QStringLiteral("无法读取会员信息，请重试！");
    }
    void refusalWritesNothing() {
        QFETCH(int, payType);
        QFETCH(double, balance);
        QFETCH(int, points);
        QFETCH(bool, deleteMember);
        QFETCH(QString, error);
        db::Database& db = m_shop->ctx.db;
        QVERIFY(db.exec(QStringLiteral("UPDATE tb_members SET Balance = ?, Integral = ? WHERE ID = ?"),
                        {balance, points, m_member}));
        if (deleteMember)
            QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_members WHERE ID = ?"), {m_member}));
        const QString before = snapshot(*m_shop);
        const OrderDraft sale = makeSale(m_member, payType);
        const PostResult r = PostOrder(m_shop->ctx, sale);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, error);
        QVERIFY(r.orderNo.isEmpty());
        QCOMPARE(r.attempts, 1);
        QCOMPARE(snapshot(*m_shop), before);
        QCOMPARE(db.transactionDepth(), 0);
    }

    // A fault at every statement of the posting in turn: each leaves the shop exactly as it was.
    void failureAtAnyStatementWritesNothing_data() {
        QTest::addColumn<int>("payType");
        QTest::newRow("cash") << int(PayCash);
        QTest::newRow("balance") << int(PayBalance);
        QTest::newRow("points") << int(PayPoints);
    }
    void failureAtAnyStatementWritesNothing() {
        QFETCH(int, payType);
        const QString before = snapshot(*m_shop);
        const OrderDraft sale = makeSale(m_member, payType);
        db::Database& db = m_shop->ctx.db;
        int statements = 0;
        for (int n = 1; n < 100; ++n) {
            db.failNthStatement(n);
            const PostResult r = PostOrder(m_shop->ctx, sale);
            const int reached = db.statementsSinceArmed();
            db.failNthStatement(0);
            if (r.ok) {
                statements = reached;
                break;
            }
            QVERIFY(r.detail.contains(QLatin1String("injected failure")));
            QCOMPARE(db.transactionDepth(), 0);
            QVERIFY2(snapshot(*m_shop) == before, qPrintable(QStringLiteral("statement %1").arg(n)));
        }
        // The order row, its lines, the account change and the stock moves.
        QVERIFY2(statements >= 3, qPrintable(QString::number(statements)));
    }

    // Another till took the number between our check and our insert: the sale gets a fresh one.
    void takenOrderNumberIsReplaced() {
        db::Database& db = m_shop->ctx.db;
        const QString taken = QStringLiteral("2024010112000012345");
        QVERIFY(db.exec(QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID, SaleManID) VALUES(?, -1, 1)"),
                        {taken}));
        OrderDraft sale = makeSale(kWalkInMember, PayCash);
        sale.orderNo = taken;
        const PostResult r = PostOrder(m_shop->ctx, sale);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QCOMPARE(r.numberClashes, 1);
        QVERIFY(r.orderNo != taken);
        QCOMPARE(m_shop->count(QStringLiteral("tb_orders"), QStringLiteral("OrderNo = ?"), {taken}),
                 qint64(1));
        QCOMPARE(m_shop->count(QStringLiteral("tb_order_lines"), QStringLiteral("OrderNo = ?"), {taken}),
                 qint64(0));
        QCOMPARE(m_shop->count(QStringLiteral("tb_order_lines"), QStringLiteral("OrderNo = ?"), {r.orderNo}),
                 qint64(2));
    }

private:
    std::unique_ptr<TestShop> m_shop;
    int m_member = -1;
};

QTEST_GUILESS_MAIN(TestSalePost)
#include "tst_salepost.moc"
