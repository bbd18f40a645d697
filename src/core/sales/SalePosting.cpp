#include "core/sales/SalePosting.h"

#include "core/db/Database.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"

#include <algorithm>

namespace selvo {

namespace {

// Enough for any shop: a clash needs another till to draw the same number in the same second.
constexpr int kNumberTries = 20;

// Why the member's accounts were not changed. Failed: a statement failed (the database's error).
enum class Refusal { None, Balance, Points, Member, Failed };

bool insertOrder(AppContext& ctx, const OrderRow& o, const QString& number, const QDateTime& saleDate) {
    return ctx.db.exec(
        QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID, SaleManID, TotalPrice, RealTotalPrice, "
                       "PrdPurchasePrice, Profits, PrdSum, Integral, GetMoney, Change, Remark, SaleDate, "
                       "PayType, OrderType) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {number, o.memberId, ctx.op.id, o.totalPrice, o.realTotalPrice, o.purchasePrice, o.profits,
         o.productCount, o.points, o.getMoney, o.change, o.remark, ctx.db.dateTimeValue(saleDate), o.payType,
         o.orderType});
}

bool insertLine(AppContext& ctx, const OrderRow& o, const OrderLineRow& l, const QString& number,
                const QDateTime& saleDate) {
    return ctx.db.exec(
        QStringLiteral("INSERT INTO tb_order_lines(OrderNo, MemID, SaleManID, PrdCode, PrdName, PrdPrice, "
                       "PrdNum, DisCount, DisCountPrice, PrdPurchasePrice, Profits, TotalPrice, Integral, "
                       "PayType, SaleDate) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {number, o.memberId, ctx.op.id, l.productCode, l.productName, l.price, l.quantity, l.discount,
         l.discountedPrice, l.purchasePrice, l.profits, l.total, l.points, o.payType,
         ctx.db.dateTimeValue(saleDate)});
}

Refusal changeAccounts(AppContext& ctx, const OrderRow& o) {
    if (IsWalkIn(o.memberId))
        return Refusal::None;
    // A conditional update that changes no row raises no error: that is the refusal.
    auto step = [&](const auto& operation, Refusal refusal) {
        ctx.db.clearLastError();
        if (operation())
            return Refusal::None;
        return ctx.db.lastError().isEmpty() ? refusal : Refusal::Failed;
    };
    const auto earn = [&] {
        const Refusal r = step([&] { return AddMemberPoints(ctx, o.memberId, o.points); }, Refusal::Member);
        if (r != Refusal::None)
            return r;
        return step([&] { return AddMemberCumulative(ctx, o.memberId, o.realTotalPrice); }, Refusal::Member);
    };
    switch (o.payType) {
    case PayPoints:
        return step([&] { return DeductMemberPoints(ctx, o.memberId, -o.points); }, Refusal::Points);
    case PayBalance: {
        const Refusal r =
            step([&] { return DeductMemberBalance(ctx, o.memberId, o.realTotalPrice); }, Refusal::Balance);
        return r != Refusal::None ? r : earn();
    }
    default:
        return earn();
    }
}

} // namespace

PostResult PostSimpleSale(AppContext& ctx, const OrderRow& order, const QList<OrderLineRow>& lines) {
    PostResult result;
    const QDateTime saleDate = order.saleDate.isValid() ? order.saleDate : Clock::instance().now();
    // Stock rows are locked in one order (by code) by every till, so two sales of the same goods
    // wait for each other instead of deadlocking.
    QList<const OrderLineRow*> byCode;
    for (const OrderLineRow& l : lines)
        byCode.append(&l);
    std::stable_sort(byCode.begin(), byCode.end(), [](const OrderLineRow* a, const OrderLineRow* b) {
        return a->productCode < b->productCode;
    });

    Refusal refusal = Refusal::None;
    const bool ok = db::runTransaction(ctx.db, [&] {
        ++result.attempts;
        refusal = Refusal::None;
        result.orderNo.clear();
        for (int attempt = 0;; ++attempt) {
            QString number = order.orderNo;
            if (attempt > 0 || number.isEmpty()) {
                // MakeOrderNo treats an unreadable check as a free number; a posting stops on any failure.
                ctx.db.clearLastError();
                number = MakeOrderNo(ctx);
                if (!ctx.db.lastError().isEmpty())
                    return false;
            }
            db::Transaction savepoint(ctx.db);
            if (!savepoint.ok())
                return false;
            if (insertOrder(ctx, order, number, saleDate)) {
                if (!savepoint.commit())
                    return false;
                result.orderNo = number;
                break;
            }
            const bool clash = ctx.db.lastErrorIsUniqueViolation();
            savepoint.rollback();
            if (!clash || attempt + 1 >= kNumberTries)
                return false;
            ++result.numberClashes;
        }
        for (const OrderLineRow& l : lines) {
            if (!insertLine(ctx, order, l, result.orderNo, saleDate))
                return false;
        }
        refusal = changeAccounts(ctx, order);
        if (refusal != Refusal::None)
            return false;
        for (const OrderLineRow* l : byCode) {
            if (!MoveStock(ctx, l->productCode, StockSale, false, QString(), -l->quantity))
                return false;
        }
        return true;
    });
    result.ok = ok;
    if (ok)
        return result;
    result.orderNo.clear();
    switch (refusal) {
    case Refusal::Balance:
        result.error = QStringLiteral("扣除余额失败，请重试！");
        break;
    case Refusal::Points:
        result.error = QStringLiteral("扣除积分失败，请重试！");
        break;
    case Refusal::Member:
        result.error = QStringLiteral("无法读取会员信息");
        break;
    case Refusal::None:
    case Refusal::Failed:
        result.error = ctx.db.lastError();
        break;
    }
    return result;
}

} // namespace selvo
