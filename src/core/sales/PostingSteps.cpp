#include "core/sales/PostingSteps.h"

#include "core/sales/Posting.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"

#include <algorithm>
#include <limits>

namespace selvo {

namespace {
// Enough for any shop: a clash needs another till to draw the same number in the same second.
constexpr int kOrderNoAttempts = 20;
// Money is kept in yuan as doubles; half a fen absorbs their rounding noise in comparisons.
constexpr double kMoneyEpsilon = 0.005;
} // namespace

QString WriteOrderRow(AppContext& ctx, const OrderDraft& draft, const QVariant& saleDate, int* clashes) {
    const int payType = draft.payment.payType;
    const bool cash = payType == PayCash;
    const QVariant added = ctx.db.dateTimeValue(Clock::instance().now());
    for (int attempt = 0;; ++attempt) {
        QString number = draft.orderNo;
        if (attempt > 0 || number.isEmpty()) {
            // MakeOrderNo takes an unreadable check for a free number; a posting stops instead.
            ctx.db.clearLastError();
            number = MakeOrderNo(ctx);
            if (!ctx.db.lastError().isEmpty())
                return {};
        }
        db::Transaction savepoint(ctx.db);
        if (!savepoint.ok())
            return {};
        if (ctx.db.exec(
                QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID, SaleManID, TotalPrice, RealTotalPrice, "
                               "PrdPurchasePrice, Profits, PrdSum, Integral, GetMoney, Change, Remark, "
                               "SaleDate, PayType, OrderType, AddDate) "
                               "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {number, draft.memberId, ctx.op.id, draft.totalPrice, draft.realTotalPrice,
                 draft.purchasePrice, draft.profits, draft.prdSum, draft.points,
                 cash ? draft.payment.cashReceived : 0.0, cash ? draft.payment.change : 0.0, draft.remark,
                 saleDate, payType, draft.orderType, added}))
            return savepoint.commit() ? number : QString();
        const bool clash = ctx.db.lastErrorIsUniqueViolation();
        savepoint.rollback();
        if (!clash || attempt + 1 >= kOrderNoAttempts)
            return {};
        if (clashes)
            ++*clashes;
    }
}

bool WriteOrderLines(AppContext& ctx, const QString& orderNo, const OrderDraft& draft,
                     const QVariant& saleDate) {
    for (const OrderLine& line : draft.lines) {
        if (!ctx.db.exec(
                QStringLiteral("INSERT INTO tb_order_lines(OrderNo, MemID, SaleManID, PrdCode, PrdName, "
                               "PrdPrice, PrdNum, DisCount, DisCountPrice, PrdPurchasePrice, Profits, "
                               "TotalPrice, Integral, PayType, SaleDate) "
                               "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {orderNo, draft.memberId, ctx.op.id, line.code, line.name, line.price, line.quantity,
                 line.discount, line.discountPrice, line.cost, line.profits, line.totalPrice, line.points,
                 draft.payment.payType, saleDate}))
            return false;
    }
    return true;
}

AccountResult ChangeMemberAccount(AppContext& ctx, int memberId, const AccountChange& change) {
    // A decrease is bounded by what is stored; an increase is not checked.
    const double balanceFloor = change.balance < 0 ? -kMoneyEpsilon : -1e300;
    const int pointsFloor = change.points < 0 ? 0 : std::numeric_limits<int>::min();
    int affected = 0;
    if (!ctx.db.exec(QStringLiteral("UPDATE tb_members SET Balance = Balance + ?, Integral = Integral + ?, "
                                    "Cumulative = Cumulative + ? "
                                    "WHERE ID = ? AND Balance + ? >= ? AND Integral + ? >= ?"),
                     {change.balance, change.points, change.cumulative, memberId, change.balance,
                      balanceFloor, change.points, pointsFloor},
                     &affected))
        return AccountResult::Failed;
    if (affected == 1)
        return AccountResult::Done;
    // Nothing changed: tell why.
    ctx.db.clearLastError();
    auto q =
        ctx.db.select(QStringLiteral("SELECT Balance, Integral FROM tb_members WHERE ID = ?"), {memberId});
    if (!q)
        return AccountResult::Failed;
    if (!q->next())
        return AccountResult::NoMember;
    if (q->value(0).toDouble() + change.balance < balanceFloor)
        return AccountResult::BalanceShort;
    return AccountResult::PointsShort;
}

bool MoveStockOfLines(AppContext& ctx, QList<std::pair<QString, double>> changes, int kind) {
    std::stable_sort(changes.begin(), changes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [code, change] : changes) {
        if (!MoveStock(ctx, code, kind, false, QString(), change))
            return false;
    }
    return true;
}

} // namespace selvo
