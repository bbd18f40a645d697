// The sales records' summary read from the day sums must give what adding up the order and recharge
// rows gives, for every filter, after rows are posted, cancelled, edited or deleted with their member.
#include "TestShop.h"

#include "core/db/DaySums.h"
#include "core/db/Schema.h"
#include "core/sales/SalesRecords.h"
#include "core/store/Vocabulary.h"

#include <QTest>

#include <cmath>

using namespace selvo;

namespace {

const QVariant kNull;

struct Order {
    QVariant memId;   // a member's place in `members`: 0 alice, 1 bob; -1 a guest; kNull
    QVariant saleMan; // 1 the administrator, 2 the clerk; kNull
    QVariant payType;
    QVariant orderType;
    QVariant real;
    QVariant points;
    QVariant profits;
    const char* saleDate; // "yyyy-MM-dd HH:mm:ss" or nullptr
};

QVariant text(const char* s) {
    return s ? QVariant(QString::fromLatin1(s)) : QVariant();
}

// Around the day boundaries of 4, 5 and 6 March, with every NULL the sums must survive.
const Order kOrders[] = {
    {-1, 1, PayCash, OrderSale, 18.3, 0, 6.1, "2024-03-04 23:59:59"},
    {-1, 2, PayCash, OrderSale, 7.1, 0, 2.05, "2024-03-05 00:00:00"},
    {-1, 1, PayCash, OrderFastSale, 50.0, 0, 50.0, "2024-03-05 12:00:00"},
    {-1, 2, PayCash, OrderReturn, -12.5, 0, -4.0, "2024-03-05 23:59:59"},
    {0, 2, PayBalance, OrderSale, 35.5, 3, 10.25, "2024-03-05 10:00:00"},
    {0, 1, PayPoints, OrderPointsExchange, 0.0, -1300, -6.0, "2024-03-06 00:00:00"},
    {0, 1, PayCash, OrderSale, 99.99, 9, 30.0, "2024-03-01 09:30:00"},
    {1, 2, PayBalance, OrderSale, 21.7, 2, 7.7, "2024-03-04 08:00:00"},
    {1, 1, PayBalance, OrderReturn, -8.8, -1, -2.2, "2024-03-05 16:00:00"},
    {1, 2, PayPoints, OrderPointsExchange, 0.0, -500, -3.3, "2024-03-05 18:00:00"},
    {kNull, 1, PayCash, OrderSale, 3.3, 0, 1.1, "2024-03-05 11:00:00"},
    {0, 2, kNull, OrderSale, 4.4, 1, 1.4, "2024-03-05 11:30:00"},
    {-1, 1, PayCash, kNull, 5.5, 0, 1.5, "2024-03-05 13:00:00"},
    {1, kNull, PayCash, OrderSale, 6.6, 1, 2.6, "2024-03-05 14:00:00"},
    {-1, 2, PayCash, OrderSale, 7.7, 0, 2.7, nullptr},
    {0, 1, PayCash, OrderSale, kNull, kNull, kNull, "2024-03-05 15:00:00"},
    {1, 1, 0, 0, 1.25, 1, 0.25, "2024-03-05 15:30:00"},
    {-1, 1, PayCash, OrderSale, 2.2, 0, 0.7, "2024-03-07 10:00:00"},
};

struct Topup {
    QVariant memId; // as in Order
    QVariant saleMan;
    QVariant opType;
    QVariant amount;
    QVariant giving;
    QVariant total;
    const char* addDate;
};

const Topup kTopups[] = {
    {0, 1, 1, 100.0, 10.0, 110.0, "2024-03-05 00:00:00"},
    {1, 2, 1, 50.0, 0.0, 50.0, "2024-03-04 23:59:59"},
    {0, 1, 0, 0.0, 0.0, -7.5, "2024-03-05 23:59:59"},
    {1, 2, 0, 0.0, 0.0, -3.3, "2024-03-06 00:00:00"},
    {kNull, 1, 1, 20.2, 2.02, 22.22, "2024-03-05 10:00:00"},
    {0, kNull, 1, 30.3, 0.0, 30.3, "2024-03-05 11:00:00"},
    {1, 1, kNull, 40.4, 4.0, 44.4, "2024-03-05 12:00:00"},
    {0, 2, 1, 60.6, 6.06, 66.66, nullptr},
    {-1, 1, 1, 5.0, 0.0, 5.0, "2024-03-05 13:00:00"},
    {0, 1, 2, 9.0, 9.0, 18.0, "2024-03-05 14:00:00"},
    {1, 2, 1, kNull, kNull, kNull, "2024-03-05 15:00:00"},
};

struct Shop {
    test::TestShop t;
    QList<int> members;
    int clerk = 0;
    QStringList orderNos;

    bool fill() {
        members = {t.addMember(QStringLiteral("爱丽丝"), QStringLiteral("13800000001")),
                   t.addMember(QStringLiteral("鲍勃"), QStringLiteral("13800000002"))};
        clerk = t.addOperator(QStringLiteral("clerk"), QStringLiteral("x"));
        for (const Order& o : kOrders) {
            if (!add(o))
                return false;
        }
        for (const Topup& r : kTopups) {
            if (!add(r))
                return false;
        }
        return true;
    }

    QVariant member(const QVariant& m) const {
        return !m.isNull() && m.toInt() >= 0 ? members[m.toInt()] : m;
    }
    QVariant op(const QVariant& o) const { return o == QVariant(2) ? QVariant(clerk) : o; }

    bool add(const Order& o, const QVariant& rawSaleDate = {}) {
        const QVariant mem = member(o.memId);
        const QVariant saleMan = op(o.saleMan);
        const QString no = QStringLiteral("2024030500000%1").arg(10000 + orderNos.size());
        orderNos << no;
        return t.ctx.db.exec(
            QStringLiteral(
                "INSERT INTO tb_orders(OrderNo, MemID, SaleManID, PayType, OrderType, RealTotalPrice, "
                "TotalPrice, Integral, Profits, SaleDate) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {no, mem, saleMan, o.payType, o.orderType, o.real, o.real, o.points, o.profits,
             rawSaleDate.isValid() ? rawSaleDate : text(o.saleDate)});
    }

    // Recharge records have no key of their own; the remark "t<n>" names the n-th.
    bool add(const Topup& r, const QVariant& rawAddDate = {}) {
        const QString tag = QStringLiteral("t%1").arg(topups++);
        return t.ctx.db.exec(
            QStringLiteral("INSERT INTO tb_TopupRecord(SaleManID, MemID, Amount, Giving, Total, BefBalance, "
                           "AftBalance, OpType, Remark, AddDate) VALUES(?, ?, ?, ?, ?, 0, 0, ?, ?, ?)"),
            {op(r.saleMan), member(r.memId), r.amount, r.giving, r.total, r.opType, tag,
             rawAddDate.isValid() ? rawAddDate : text(r.addDate)});
    }
    int topups = 0;
};

enum Change { AsPosted, Cancelled, Edited, MemberDeleted, Upgraded, UnplacedDates };

// Every combination of the window's filters, named for the failure message.
QList<std::pair<QString, SalesRecordFilter>> everyFilter(const Shop& s) {
    struct Customer {
        const char* name;
        int customer;
        int member;
    };
    const Customer customers[] = {{"any", 0, -1},
                                  {"members", SalesRecordFilter::Members, -1},
                                  {"guests", SalesRecordFilter::Guests, -1},
                                  {"alice", SalesRecordFilter::Members, s.members[0]}};
    struct Days {
        const char* name;
        std::optional<QDate> from, to;
    };
    const QDate d4(2024, 3, 4), d5(2024, 3, 5), d6(2024, 3, 6);
    const Days days[] = {{"all days", {}, {}},
                         {"5 March", d5, d5},
                         {"from 5 March", d5, {}},
                         {"to 4 March", {}, d4},
                         {"4 to 6 March", d4, d6}};
    QList<std::pair<QString, SalesRecordFilter>> out;
    for (const Customer& c : customers)
        for (int pay = 0; pay <= 3; ++pay)
            for (int kind = 0; kind <= 4; ++kind)
                for (int op : {0, s.clerk})
                    for (const Days& d : days) {
                        SalesRecordFilter f;
                        f.customer = c.customer;
                        f.memberId = c.member;
                        f.payType = pay;
                        f.orderType = kind;
                        f.operatorId = op;
                        f.from = d.from;
                        f.to = d.to;
                        out.append({QStringLiteral("%1, pay %2, kind %3, operator %4, %5")
                                        .arg(QLatin1String(c.name))
                                        .arg(pay)
                                        .arg(kind)
                                        .arg(op)
                                        .arg(QLatin1String(d.name)),
                                    f});
                    }
    return out;
}

// Sums of decimal amounts in another order differ in the last bits only.
bool near(double a, double b) {
    return std::fabs(a - b) < 1e-9;
}

} // namespace

class TestSalesSummary final : public QObject {
    Q_OBJECT

private slots:
    void daySumsGiveTheRowSums_data() {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("saleDate"); // with UnplacedDates
        QTest::newRow("as posted") << int(AsPosted) << QString();
        QTest::newRow("orders cancelled, one the last of its group") << int(Cancelled) << QString();
        QTest::newRow("orders edited across days, customers and payments") << int(Edited) << QString();
        QTest::newRow("a member deleted with her orders") << int(MemberDeleted) << QString();
        QTest::newRow("orders there before the upgrade") << int(Upgraded) << QString();
        // SQLite keeps whatever text it is given; the server refuses these.
        if (test::TestShop::engineName() == QLatin1String("sqlite")) {
            QTest::newRow("sale date without a time") << int(UnplacedDates) << "2024-03-05";
            QTest::newRow("sale date with a T") << int(UnplacedDates) << "2024-03-05T10:00:00";
            QTest::newRow("sale date at 24:00:00") << int(UnplacedDates) << "2024-03-05 24:00:00";
        }
    }
    void daySumsGiveTheRowSums() {
        QFETCH(int, change);
        QFETCH(QString, saleDate);
        Shop s;
        QVERIFY2(s.t.ok(), qPrintable(s.t.error()));
        db::Database& db = s.t.ctx.db;
        if (change == Upgraded) {
            // A database from before the day sums, already holding the rows.
            const std::pair<const char*, const char*> kinds[] = {{"order", "orders"}, {"topup", "topup"}};
            for (const auto& [table, trigger] : kinds) {
                QVERIFY(db.exec(QStringLiteral("DROP TABLE tb_%1DaySums").arg(QLatin1String(table))));
                if (s.t.isPostgres()) {
                    QVERIFY(db.exec(QStringLiteral("DROP FUNCTION selvo_%1_day_sums() CASCADE")
                                        .arg(QLatin1String(table))));
                    continue;
                }
                for (const char* t : {"insert", "delete", "update"})
                    QVERIFY(db.exec(QStringLiteral("DROP TRIGGER tr_%1_daysums_%2")
                                        .arg(QLatin1String(trigger), QLatin1String(t))));
            }
        }
        QVERIFY(s.fill());
        switch (change) {
        case Cancelled:
            // The points exchange of 6 March is alone in its group.
            for (int i : {5, 1, 14, 16})
                QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_orders WHERE OrderNo = ?"), {s.orderNos[i]}));
            QCOMPARE(s.t.count(QStringLiteral("tb_OrderDaySums"), QStringLiteral("SaleDay >= ?"),
                               {s.t.isPostgres() ? QVariant(QDate(2024, 3, 6)) : text("2024-03-06")}),
                     1);
            // So is the deduction of 6 March.
            for (int i : {3, 0, 10})
                QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_TopupRecord WHERE Remark = ?"),
                                {QStringLiteral("t%1").arg(i)}));
            QCOMPARE(s.t.count(QStringLiteral("tb_TopupDaySums"), QStringLiteral("AddDay >= ?"),
                               {s.t.isPostgres() ? QVariant(QDate(2024, 3, 6)) : text("2024-03-06")}),
                     0);
            break;
        case Edited: {
            const auto edit = [&](const char* set, int i, const QVariantList& values) {
                QVERIFY(db.exec(
                    QStringLiteral("UPDATE tb_orders SET %1 WHERE OrderNo = ?").arg(QLatin1String(set)),
                    QVariantList(values) << s.orderNos[i]));
            };
            edit("SaleDate = ?", 0, {text("2024-03-05 00:00:00")});
            edit("SaleDate = ?", 3, {text("2024-03-06 00:00:00")});
            edit("PayType = ?", 4, {kNull});
            edit("PayType = ?, RealTotalPrice = ?", 11, {PayCash, 4.45});
            edit("MemID = -1", 7, {});
            edit("MemID = NULL, Profits = ?", 8, {-2.25});
            edit("SaleManID = ?, Integral = ?", 13, {1, 7});
            edit("OrderType = ?, SaleDate = NULL", 2, {OrderSale});
            edit("SaleDate = ?", 14, {text("2024-03-04 12:00:00")});
            edit("Remark = 'no sums change'", 6, {});
            const auto editTopup = [&](const char* set, int i, const QVariantList& values) {
                QVERIFY(db.exec(
                    QStringLiteral("UPDATE tb_TopupRecord SET %1 WHERE Remark = ?").arg(QLatin1String(set)),
                    QVariantList(values) << QStringLiteral("t%1").arg(i)));
            };
            editTopup("AddDate = ?", 1, {text("2024-03-05 00:00:00")});
            editTopup("MemID = -1, Amount = ?", 0, {99.5});
            editTopup("OpType = ?", 6, {1});
            editTopup("OpType = NULL, SaleManID = NULL", 2, {});
            editTopup("AddDate = NULL", 4, {});
            break;
        }
        case MemberDeleted:
            QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_orders WHERE MemID = ?"), {s.members[0]}));
            QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_TopupRecord WHERE MemID = ?"), {s.members[0]}));
            QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_members WHERE ID = ?"), {s.members[0]}));
            break;
        case Upgraded:
            QCOMPARE(s.t.count(QStringLiteral("tb_OrderDaySums")), -1);
            QCOMPARE(s.t.count(QStringLiteral("tb_TopupDaySums")), -1);
            // The upgrade step that brings the day sums.
            QVERIFY(db::runTransaction(db, [&] { return db::CreateDaySums(db); }));
            break;
        case UnplacedDates:
            QVERIFY(s.add(kOrders[2], saleDate));
            QVERIFY(s.add(kTopups[0], saleDate));
            break;
        default:
            break;
        }
        QCOMPARE(db::CheckDaySums(db), QStringList());

        for (const auto& [name, f] : everyFilter(s)) {
            const auto fast = QuerySalesSummary(s.t.ctx, f);
            const auto rows = QuerySalesSummaryFromRows(s.t.ctx, f);
            QVERIFY2(fast && rows, qPrintable(name + QLatin1String(": ") + db.lastError()));
            const QString what = QStringLiteral("%1: %2 | %3 against %4 | %5")
                                     .arg(name, fast->ordersLine(), fast->rechargesLine(), rows->ordersLine(),
                                          rows->rechargesLine());
            QVERIFY2(near(fast->cash, rows->cash) && near(fast->balance, rows->balance) &&
                         fast->points == rows->points && near(fast->profit, rows->profit) &&
                         near(fast->recharged, rows->recharged) && near(fast->bonus, rows->bonus) &&
                         near(fast->deducted, rows->deducted),
                     qPrintable(what));
            QVERIFY2(fast->ordersLine() == rows->ordersLine() &&
                         fast->rechargesLine() == rows->rechargesLine(),
                     qPrintable(what));
        }
    }

    // The summary really reads the day sums where it may, and the orders where it must.
    void summaryReadsTheDaySumsOnlyWhereTheyAnswer() {
        Shop s;
        QVERIFY2(s.t.ok(), qPrintable(s.t.error()));
        QVERIFY(s.fill());
        db::Database& db = s.t.ctx.db;
        // Tamper with the sums of guests' cash sales and of members' recharges: only summaries read
        // from the tables see it.
        QVERIFY(db.exec(QStringLiteral("UPDATE tb_OrderDaySums SET RealTotal = RealTotal + 1000 "
                                       "WHERE CustKind = 2 AND PayType = 1 AND OrderType = 1")));
        QVERIFY(db.exec(QStringLiteral(
            "UPDATE tb_TopupDaySums SET Amount = Amount + 1000 WHERE CustKind = 1 AND OpType = 1")));
        const QStringList problems = db::CheckDaySums(db);
        QCOMPARE(problems.size(), 2);
        QVERIFY2(problems[0].startsWith(QLatin1String("tb_OrderDaySums")) &&
                     problems[0].contains(QLatin1String("2024-03-04")) &&
                     problems[1].startsWith(QLatin1String("tb_TopupDaySums")),
                 qPrintable(problems.join(QLatin1Char(';'))));
        SalesRecordFilter all;
        const SalesSummary rows = *QuerySalesSummaryFromRows(s.t.ctx, all);
        QVERIFY(QuerySalesSummary(s.t.ctx, all)->cash > rows.cash + 1000);
        QVERIFY(QuerySalesSummary(s.t.ctx, all)->recharged > rows.recharged + 1000);
        SalesRecordFilter alice;
        alice.customer = SalesRecordFilter::Members;
        alice.memberId = s.members[0];
        QCOMPARE(QuerySalesSummary(s.t.ctx, alice)->cash, QuerySalesSummaryFromRows(s.t.ctx, alice)->cash);
        QCOMPARE(QuerySalesSummary(s.t.ctx, alice)->recharged,
                 QuerySalesSummaryFromRows(s.t.ctx, alice)->recharged);
        // The stand-in for NULL is no code a filter may ask for: such a filter finds no rows.
        SalesRecordFilter nullCode;
        nullCode.payType = db::kDaySumNoValue;
        QCOMPARE(QuerySalesSummary(s.t.ctx, nullCode)->profit, 0.0);
        nullCode = {};
        nullCode.operatorId = db::kDaySumNoValue;
        QCOMPARE(QuerySalesSummary(s.t.ctx, nullCode)->profit, 0.0);
        QCOMPARE(QuerySalesSummary(s.t.ctx, nullCode)->recharged, 0.0);

        QVERIFY(db::RefillDaySums(db));
        QCOMPARE(db::CheckDaySums(db), QStringList());
        QVERIFY(near(QuerySalesSummary(s.t.ctx, all)->cash, rows.cash));
        QVERIFY(near(QuerySalesSummary(s.t.ctx, all)->recharged, rows.recharged));
        if (s.t.isPostgres()) {
            // TRUNCATE fires no row trigger; it empties the sums alike.
            QVERIFY(db.exec(QStringLiteral("TRUNCATE tb_orders, tb_TopupRecord")));
            QCOMPARE(s.t.count(QStringLiteral("tb_OrderDaySums")), 0);
            QCOMPARE(s.t.count(QStringLiteral("tb_TopupDaySums")), 0);
        }
    }

    // A shop whose day sums no longer follow the orders shows it in the check.
    void checkFindsAMissingTrigger() {
        Shop s;
        QVERIFY2(s.t.ok(), qPrintable(s.t.error()));
        db::Database& db = s.t.ctx.db;
        QVERIFY(db.exec(s.t.isPostgres()
                            ? QStringLiteral("ALTER TABLE tb_orders DISABLE TRIGGER tr_orders_daysums")
                            : QStringLiteral("DROP TRIGGER tr_orders_daysums_insert")));
        QVERIFY(s.fill());
        const QStringList problems = db::CheckDaySums(db);
        QCOMPARE(problems.size(), 2);
        QVERIFY2(problems[0].contains(QLatin1String("tr_orders_daysums")), qPrintable(problems[0]));
        QVERIFY2(problems[1].contains(QLatin1String("disagree")), qPrintable(problems[1]));
    }
};

QTEST_GUILESS_MAIN(TestSalesSummary)
#include "tst_sales_summary.moc"
