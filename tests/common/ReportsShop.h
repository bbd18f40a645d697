#pragma once

#include "TestShop.h"

#include "core/sales/ProductStats.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"

#include <QTest>

#include <optional>

namespace selvo::test {

// Shared by the report tests.
namespace reports {
inline const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));
inline const QDateTime kYesterday = kNow.addDays(-1);
inline const QDateTime kLastWeek = kNow.addDays(-7);

// The product statistics and the money histories over one small shop, built once per test.
//   A  茶  price 50, cost 30: alice cash 2×100 profit 40 today, a guest balance 1×100 profit 10
//         today, a points line of 1000 yesterday (never counted), a cash line of 50 last week
//   Z  零  takings summing to 0: a sale of 40 and its return of -40 today
//   R  退  negative takings: a sale of 10 (profit 4) and a return of -30 (profit -12) today
//   X  a product deleted since, sold today (drops out)
// Recharge records: alice recharged 100 + 10 today, had 5 deducted yesterday by an operator
// deleted since; bob, deleted since, recharged 20 last week.
struct Shop {
    TestShop shop;
    int alice = -1;
    int bob = -1;
    int clerk = -1;
    int orders = 0;

    bool line(const QString& code, int member, int pay, double quantity, double total, double profit,
              double cost, const QDateTime& when, QVariant orderType = OrderSale) {
        const QString no = QStringLiteral("2024030500000%1").arg(10000 + ++orders);
        auto& db = shop.ctx.db;
        return db.exec(
                   QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID, SaleManID, TotalPrice, "
                                  "RealTotalPrice, Profits, PrdSum, Integral, PayType, OrderType, SaleDate) "
                                  "VALUES(?, ?, 1, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {no, member, total, total + 1, profit, quantity, pay == PayPoints ? -int(total) : 0, pay,
                    orderType, db.dateTimeValue(when)}) &&
               db.exec(
                   QStringLiteral("INSERT INTO tb_order_lines(OrderNo, MemID, SaleManID, PrdCode, PrdName, "
                                  "PrdPrice, PrdNum, DisCount, DisCountPrice, PrdPurchasePrice, Profits, "
                                  "TotalPrice, Integral, PayType, SaleDate) "
                                  "VALUES(?, ?, 1, ?, ?, 0, ?, 10, 0, ?, ?, ?, 0, ?, ?)"),
                   {no, member, code, QString(QStringLiteral("名") + code), quantity, cost, profit, total,
                    pay, db.dateTimeValue(when)});
    }
    bool topup(int member, int op, int opType, double amount, double bonus, double before,
               const QDateTime& when, const QString& remark = {}) {
        const double total = opType == 1 ? amount + bonus : -amount;
        return shop.ctx.db.exec(
            QStringLiteral("INSERT INTO tb_TopupRecord(MemID, SaleManID, Amount, Giving, Total, BefBalance, "
                           "AftBalance, OpType, Remark, AddDate) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {member, op, opType == 1 ? amount : 0.0, opType == 1 ? bonus : 0.0, total, before, before + total,
             opType, remark, shop.ctx.db.dateTimeValue(when)});
    }

    bool build() {
        if (!shop.ok())
            return false;
        shop.addProduct(QStringLiteral("A"), QStringLiteral("茶"), 50, 30);
        shop.addProduct(QStringLiteral("R"), QStringLiteral("退"), 10, 6);
        shop.addProduct(QStringLiteral("Z"), QStringLiteral("零"), 40, 20);
        alice = shop.addMember(QStringLiteral("爱丽丝"), QStringLiteral("13800000001"), 105);
        bob = shop.addMember(QStringLiteral("鲍勃"), QStringLiteral("13800000002"));
        clerk = shop.addOperator(QStringLiteral("clerk"), QStringLiteral("x"), 2, 0, QStringLiteral("小王"));
        const QDateTime today = kNow.addSecs(-3600);
        return line(QStringLiteral("A"), alice, PayCash, 2, 100, 40, 30, today.addSecs(1)) &&
               line(QStringLiteral("A"), kWalkInMember, PayBalance, 1, 100, 10, 30, today.addSecs(2),
                    QVariant()) &&
               line(QStringLiteral("A"), alice, PayPoints, 20, 1000, 400, 30, kYesterday,
                    OrderPointsExchange) &&
               line(QStringLiteral("A"), bob, PayCash, 1, 50, 20, 30, kLastWeek) &&
               line(QStringLiteral("Z"), alice, PayCash, 1, 40, 20, 20, today) &&
               line(QStringLiteral("Z"), alice, PayCash, -1, -40, -20, 20, today.addSecs(5), OrderReturn) &&
               line(QStringLiteral("R"), kWalkInMember, PayCash, 1, 10, 4, 6, today) &&
               line(QStringLiteral("R"), kWalkInMember, PayCash, -3, -30, -12, 6, today.addSecs(6),
                    OrderReturn) &&
               line(QStringLiteral("X"), alice, PayCash, 1, 9, 1, 8, today) &&
               topup(alice, 1, 1, 100, 10, 0, today, QStringLiteral("首充")) &&
               topup(alice, clerk, 0, 5, 0, 110, kYesterday) && topup(bob, 1, 1, 20, 0, 0, kLastWeek) &&
               // Gone without its records, as an older program or another till may leave it.
               shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_members WHERE ID = ?"), {bob}) &&
               shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_manager WHERE ID = ?"), {clerk});
    }
};

inline QStringList strings(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* item : items)
        out << QString::fromUtf8(item);
    return out;
}

inline ProductStatsFilter days(int pay, std::optional<QDateTime> from, std::optional<QDateTime> to) {
    ProductStatsFilter f;
    f.payType = pay;
    if (from)
        f.from = from->date();
    if (to)
        f.to = to->date();
    return f;
}
} // namespace reports

} // namespace selvo::test
