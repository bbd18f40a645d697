#include "core/sales/Ledger.h"

#include "core/db/Database.h"
#include "core/store/Vocabulary.h"
#include "core/support/Money.h"

#include <cmath>

namespace selvo {

namespace {
// Sums of doubles: half a fen absorbs their rounding noise.

QString member(const QVariant& id, const QVariant& name) {
    return QStringLiteral("member %1 (%2)").arg(id.toString(), name.toString());
}
} // namespace

QStringList CheckLedger(db::Database& db) {
    QStringList problems;
    const auto unreadable = [&](const QString& what) {
        problems << QStringLiteral("%1: unreadable (%2)").arg(what, db.lastError());
    };

    // Each member's balance against its records and its balance-paid orders.
    auto q = db.select(
        QStringLiteral("SELECT m.ID, m.TrueName, m.Balance, m.Integral, COALESCE(t.Total, 0), "
                       "COALESCE(o.Paid, 0) FROM tb_members m "
                       "LEFT JOIN (SELECT MemID, SUM(Total) AS Total FROM tb_TopupRecord GROUP BY MemID) t "
                       "ON t.MemID = m.ID "
                       "LEFT JOIN (SELECT MemID, SUM(RealTotalPrice) AS Paid FROM tb_orders "
                       "WHERE PayType = ? AND (OrderType IS NULL OR OrderType <> ?) GROUP BY MemID) o "
                       "ON o.MemID = m.ID ORDER BY m.ID"),
        {int(PayBalance), int(OrderReturn)});
    if (!q)
        unreadable(QStringLiteral("member balances"));
    while (q && q->next()) {
        const QString who = member(q->value(0), q->value(1));
        const double balance = q->value(2).toDouble();
        const qint64 points = q->value(3).toLongLong();
        const double records = q->value(4).toDouble();
        const double paid = q->value(5).toDouble();
        const double implied = records - paid;
        if (!(std::fabs(balance - implied) <= kHalfFen))
            problems << QStringLiteral("%1: balance %2, but the recharge records (%3) and the balance-paid "
                                       "orders (%4) make %5")
                            .arg(who, FormatAmount(balance), FormatAmount(records), FormatAmount(paid),
                                 FormatAmount(implied));
        if (balance < -kHalfFen)
            problems << QStringLiteral("%1: balance below zero (%2)").arg(who, FormatAmount(balance));
        if (points < 0)
            problems << QStringLiteral("%1: points below zero (%2)").arg(who).arg(points);
        else if (points > qint64(kMaxPoints))
            problems << QStringLiteral("%1: points past 32 bits (%2)").arg(who).arg(points);
    }
    q.reset();

    auto dup = db.select(QStringLiteral("SELECT OrderNo, count(*) FROM tb_orders GROUP BY OrderNo "
                                        "HAVING count(*) > 1 ORDER BY OrderNo"));
    if (!dup)
        unreadable(QStringLiteral("order numbers"));
    while (dup && dup->next())
        problems << QStringLiteral("order %1: number used by %2 orders")
                        .arg(dup->value(0).toString(), dup->value(1).toString());
    dup.reset();

    auto bare = db.select(QStringLiteral("SELECT o.OrderNo FROM tb_orders o WHERE (o.OrderType IS NULL OR "
                                         "o.OrderType <> ?) AND NOT EXISTS (SELECT 1 FROM tb_order_lines l "
                                         "WHERE l.OrderNo = o.OrderNo) ORDER BY o.OrderNo"),
                          {int(OrderFastSale)});
    if (!bare)
        unreadable(QStringLiteral("orders without lines"));
    while (bare && bare->next())
        problems << QStringLiteral("order %1: has no lines").arg(bare->value(0).toString());
    bare.reset();

    auto orphan =
        db.select(QStringLiteral("SELECT l.OrderNo, count(*) FROM tb_order_lines l WHERE NOT EXISTS "
                                 "(SELECT 1 FROM tb_orders o WHERE o.OrderNo = l.OrderNo) "
                                 "GROUP BY l.OrderNo ORDER BY l.OrderNo"));
    if (!orphan)
        unreadable(QStringLiteral("order lines"));
    while (orphan && orphan->next())
        problems << QStringLiteral("order %1: %2 lines without their order")
                        .arg(orphan->value(0).toString(), orphan->value(1).toString());
    return problems;
}

} // namespace selvo
