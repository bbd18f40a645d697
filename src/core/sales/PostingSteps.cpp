#include "core/sales/PostingSteps.h"

#include "core/sales/Posting.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"

#include <algorithm>
#include <limits>

namespace selvo {

namespace {
// Enough for any shop: a clash needs another till to draw the same number in the same second.
constexpr int kOrderNoAttempts = 20;
// Money is kept in yuan as doubles; half a fen absorbs their rounding noise in comparisons.
} // namespace

QString WriteOrderRow(AppContext& ctx, const OrderDraft& draft, const QVariant& saleDate, int* clashes) {
    const int payType = draft.payment.payType;
    const bool cash = payType == PayCash;
    const QVariant added = ctx.db.dateTimeValue(Clock::instance().now());
    for (int attempt = 0;; ++attempt) {
        const QString number = attempt == 0 && !draft.orderNo.isEmpty() ? draft.orderNo : DrawOrderNo();
        // A number already taken (by another till, maybe this very moment) adds no row; the
        // statement itself says so, and the next number is tried within the same transaction.
        int added_rows = 0;
        if (!ctx.db.exec(QStringLiteral(
                             "INSERT INTO tb_orders(OrderNo, MemID, SaleManID, TotalPrice, RealTotalPrice, "
                             "PrdPurchasePrice, Profits, PrdSum, Integral, GetMoney, Change, Remark, "
                             "SaleDate, PayType, OrderType, AddDate) "
                             "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT DO NOTHING"),
                         {number, draft.memberId, ctx.op.id, draft.totalPrice, draft.realTotalPrice,
                          draft.purchasePrice, draft.profits, draft.prdSum, draft.points,
                          cash ? draft.payment.cashReceived : 0.0, cash ? draft.payment.change : 0.0,
                          draft.remark, saleDate, payType, draft.orderType, added},
                         &added_rows))
            return {};
        if (added_rows == 1)
            return number;
        if (attempt + 1 >= kOrderNoAttempts)
            return {};
        if (clashes)
            ++*clashes;
    }
}

bool WriteOrderLines(AppContext& ctx, const QString& orderNo, const OrderDraft& draft,
                     const QVariant& saleDate) {
    // Many lines to a statement: a posting costs a round trip per table, not per line.
    constexpr qsizetype kLinesPerStatement = 50;
    const QString head = QStringLiteral(
        "INSERT INTO tb_order_lines(OrderNo, MemID, SaleManID, PrdCode, PrdName, PrdPrice, PrdNum, "
        "DisCount, DisCountPrice, PrdPurchasePrice, Profits, TotalPrice, Integral, PayType, "
        "SaleDate) VALUES");
    const QString row = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (qsizetype from = 0; from < draft.lines.size(); from += kLinesPerStatement) {
        const qsizetype n = std::min(kLinesPerStatement, draft.lines.size() - from);
        QStringList rows;
        QVariantList binds;
        for (qsizetype i = from; i < from + n; ++i) {
            const OrderLine& line = draft.lines[i];
            rows << row;
            binds << orderNo << draft.memberId << ctx.op.id << line.code << line.name << line.price
                  << line.quantity << line.discount << line.discountPrice << line.cost << line.profits
                  << line.totalPrice << line.points << draft.payment.payType << saleDate;
        }
        if (!ctx.db.exec(head + rows.join(QStringLiteral(", ")), binds))
            return false;
    }
    return true;
}

AccountResult ChangeMemberAccount(AppContext& ctx, int memberId, const AccountChange& change) {
    if (!IsValidMoney(change.balance, FigureSign::Any) || !IsValidFigure(change.cumulative))
        return AccountResult::Invalid;
    // A decrease is bounded by what is stored; an increase of the balance is not checked, one of
    // the points must leave them within 32 bits. The bounds are worked out here and compared with
    // the stored value alone, so no sum in the statement can overflow the column's type.
    const double balanceFloor = change.balance < 0 ? -kHalfFen : -1e300;
    const qint64 points = change.points;
    const qint64 pointsFloor = change.points < 0 ? 0 : std::numeric_limits<qint64>::min() / 2;
    const qint64 pointsCeiling = qint64(kMaxPoints);
    int affected = 0;
    if (!ctx.db.exec(QStringLiteral("UPDATE tb_members SET Balance = Balance + ?, Integral = Integral + ?, "
                                    "Cumulative = Cumulative + ? "
                                    "WHERE ID = ? AND Balance >= ? AND Integral >= CAST(? AS bigint) AND "
                                    "Integral <= CAST(? AS bigint)"),
                     {change.balance, change.points, change.cumulative, memberId,
                      balanceFloor - change.balance, pointsFloor - points, pointsCeiling - points},
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
    if (q->value(1).toLongLong() + points > pointsCeiling)
        return AccountResult::Invalid;
    return AccountResult::PointsShort;
}

QString CheckDraftFigures(const OrderDraft& d) {
    const Payment& pay = d.payment;
    if (pay.payType != PayCash && pay.payType != PayBalance && pay.payType != PayPoints)
        return InvalidFigureText(QStringLiteral("支付方式"), pay.payType);
    const bool isReturn = d.orderType == OrderReturn;
    // A sale takes money and points in; a return hands them back; a points exchange (and a sale
    // paid with points) spends points and takes no money.
    const FigureSign in = isReturn ? FigureSign::NonPositive : FigureSign::NonNegative;
    const FigureSign back = isReturn ? FigureSign::NonNegative : FigureSign::NonPositive;
    const bool byPoints = pay.payType == PayPoints;
    const struct {
        const char* what;
        double value;
        bool ok;
    } figures[] = {
        {"订单金额", d.totalPrice,
         IsValidFigure(d.totalPrice) && (isReturn ? d.totalPrice <= 0 : d.totalPrice >= 0)},
        {"实收金额", d.realTotalPrice,
         IsValidMoney(d.realTotalPrice, in) && (!byPoints || d.realTotalPrice == 0)},
        {"累计消费", d.cumulative, IsValidMoney(d.cumulative, in)},
        {"成本", d.purchasePrice, IsValidFigure(d.purchasePrice)},
        {"利润", d.profits, IsValidFigure(d.profits)},
        {"商品数量", d.prdSum, IsValidFigure(d.prdSum)},
        {"积分", double(d.points), IsValidPoints(d.points, byPoints ? back : in)},
        {"收款", pay.cashReceived, IsValidMoney(pay.cashReceived, in)},
        {"找零", pay.change, IsValidMoney(pay.change)},
        {"使用积分", double(pay.pointsUsed), IsValidPoints(pay.pointsUsed)},
        {"自动充值金额", pay.recharge, IsValidMoney(pay.recharge)},
        {"补收金额", pay.shortfall, IsValidMoney(pay.shortfall)},
    };
    for (const auto& f : figures) {
        if (!f.ok)
            return InvalidFigureText(QString::fromUtf8(f.what), f.value);
    }
    for (const OrderLine& line : d.lines) {
        for (const double v : {line.price, line.quantity, line.discount, line.discountPrice, line.cost,
                               line.totalPrice, line.profits}) {
            if (!IsValidFigure(v))
                return InvalidFigureText(QStringLiteral("商品“%1”的数据").arg(line.code), v);
        }
    }
    for (const auto& [code, quantity] : d.stockMoves) {
        if (!IsValidFigure(quantity))
            return InvalidFigureText(QStringLiteral("商品“%1”的数量").arg(code), quantity);
    }
    return {};
}

bool MoveStockOfLines(AppContext& ctx, QList<std::pair<QString, double>> changes, int kind) {
    Q_UNUSED(kind) // the sale kinds keep no stock history
    // One change per product, in code order: two tills lock the products they share in the
    // same order, so neither waits for the other in a circle.
    std::stable_sort(changes.begin(), changes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<std::pair<QString, double>> merged;
    for (const auto& [code, change] : changes) {
        if (!merged.isEmpty() && merged.last().first == code)
            merged.last().second += change;
        else
            merged.append({code, change});
    }
    constexpr qsizetype kProductsPerStatement = 200;
    for (qsizetype from = 0; from < merged.size(); from += kProductsPerStatement) {
        const qsizetype n = std::min(kProductsPerStatement, merged.size() - from);
        QString cases;
        QStringList marks;
        QVariantList binds;
        for (qsizetype i = from; i < from + n; ++i) {
            cases += QStringLiteral(" WHEN ? THEN CAST(? AS double precision)");
            binds << merged[i].first << merged[i].second;
        }
        for (qsizetype i = from; i < from + n; ++i) {
            marks << QStringLiteral("?");
            binds << merged[i].first;
        }
        // A product deleted meanwhile has no stock to move; that is not an error.
        if (!ctx.db.exec(QStringLiteral("UPDATE tb_product SET PrdInventory = PrdInventory + CASE PrdCode") +
                             cases + QStringLiteral(" END WHERE PrdCode IN (") +
                             marks.join(QStringLiteral(", ")) + QLatin1Char(')'),
                         binds))
            return false;
    }
    return true;
}

} // namespace selvo
