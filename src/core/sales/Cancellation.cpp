#include "core/sales/Cancellation.h"

#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"

#include <QList>

#include <optional>
#include <utility>

namespace selvo {

namespace {

constexpr qint64 kCancelWindowSecs = 24 * 3600;

QString notFoundText() {
    return QStringLiteral("订单不存在或已被删除");
}
QString askText() {
    return QStringLiteral("确认撤销此订单吗？");
}
QString money(double v) {
    return QString::asprintf("%.02f", v);
}

struct MemberAccount {
    double balance = 0;
    int points = 0;
};

// What cancelling this order means for the member whose account is `account` now: a refusal, or
// the question and the account change.
struct Decision {
    QString refusal;
    QString confirmation;
    AccountChange change;
    // A return refunded to the balance: the refund is taken back with a deduction record.
    double balanceTakenBack = 0;
};

QString pointsShortText(int needed, int left) {
    return QStringLiteral("无法撤销\r\n原因：应扣积分%1,会员剩余积分%2,积分不足！").arg(needed).arg(left);
}

Decision decide(const CancelledOrder& o, const std::optional<MemberAccount>& account, int operatorId,
                const QDateTime& now) {
    Decision d;
    if (o.saleManId != operatorId) {
        d.refusal = QStringLiteral("对不起，只能撤销自己创建的订单！");
        return d;
    }
    // An AddDate in the future passes; one that cannot be read cannot be shown to be recent.
    if (!o.addDate.isValid() || o.addDate.secsTo(now) > kCancelWindowSecs) {
        d.refusal = QStringLiteral("对不起，只能撤销24小时之内创建的订单！");
        return d;
    }
    const double r = o.realTotalPrice;
    const int p = o.points;
    if (IsWalkIn(o.memberId)) {
        d.confirmation =
            QStringLiteral("如已收款，需要退还客户%1元现金\r\n此订单为【散客消费】，订单将被删除。\r\n")
                .arg(money(r)) +
            askText();
        return d;
    }
    if (!account) {
        d.refusal = QStringLiteral("无法读取会员信息");
        return d;
    }
    if (o.orderType != OrderReturn) {
        switch (o.payType) {
        case PayBalance:
            if (p > account->points)
                d.refusal = pointsShortText(p, account->points);
            d.confirmation = QStringLiteral("无需退现金 \r\n订单详情【会员消费】【余额支付】\r\n"
                                            "撤销后将返还会员【余额】%1元，扣除【积分】%2。\r\n")
                                 .arg(money(r))
                                 .arg(p) +
                             askText();
            d.change = {r, -p, -r};
            break;
        case PayCash:
            if (p > account->points)
                d.refusal = pointsShortText(p, account->points);
            d.confirmation =
                QStringLiteral("如已收款，需要退还客户%1元现金\r\n订单详情【会员消费】【现金支付】\r\n"
                               "撤销后将扣除会员所得【积分】%2\r\n")
                    .arg(money(r))
                    .arg(p) +
                askText();
            d.change = {0, -p, -r};
            break;
        case PayPoints:
            d.confirmation =
                QStringLiteral("无须退现金\r\n此订单为【会员积分兑换】，将返还积分%1。\r\n").arg(-p) +
                askText();
            d.change = {0, -p, 0};
            break;
        default:
            d.confirmation = askText();
            break;
        }
        return d;
    }
    const double f = -r; // the refund
    switch (o.payType) {
    case PayBalance:
        if (f > account->balance)
            d.refusal = QStringLiteral("无法撤销\r\n原因：应扣余额%1,会员剩余余额%2,余额不足！")
                            .arg(static_cast<qint64>(f))
                            .arg(static_cast<qint64>(account->balance));
        d.confirmation = QStringLiteral("无需退现金 \r\n此订单为【会员退货】【返还余额】\r\n"
                                        "撤销后将扣除【余额】%1元，返还【积分】%2。\r\n")
                             .arg(money(f))
                             .arg(-p) +
                         askText();
        d.change = {-f, -p, f};
        d.balanceTakenBack = f;
        break;
    case PayCash:
        d.confirmation = QStringLiteral("需要向客户收回%1元现金\r\n此订单为【会员退货】【现金退款】\r\n"
                                        "撤销后将返还【积分】%2。\r\n")
                             .arg(money(f))
                             .arg(-p) +
                         askText();
        d.change = {0, -p, f};
        break;
    case PayPoints:
        if (p > account->points)
            d.refusal = pointsShortText(p, account->points);
        d.confirmation =
            QStringLiteral("无须退现金\r\n此订单为【会员退货】【返还积分】，将扣除积分%1积分。\r\n").arg(p) +
            askText();
        d.change = {0, -p, 0};
        break;
    default:
        d.confirmation = askText();
        break;
    }
    return d;
}

enum class Read { Found, Missing, Failed };

Read readOrder(AppContext& ctx, const QString& orderNo, CancelledOrder& out) {
    auto q =
        ctx.db.select(QStringLiteral("SELECT MemID, SaleManID, RealTotalPrice, OrderType, PayType, Integral, "
                                     "AddDate FROM tb_orders WHERE OrderNo = ?"),
                      {orderNo});
    if (!q)
        return Read::Failed;
    if (!q->next())
        return Read::Missing;
    out.orderNo = orderNo;
    out.memberId = q->value(0).isNull() ? kWalkInMember : q->value(0).toInt();
    out.saleManId = q->value(1).toInt();
    out.realTotalPrice = q->value(2).toDouble();
    out.orderType = q->value(3).isNull() ? OrderSale : q->value(3).toInt();
    out.payType = q->value(4).isNull() ? PayCash : q->value(4).toInt();
    out.points = q->value(5).toInt();
    out.addDate = db::toDateTime(q->value(6));
    return Read::Found;
}

// The member's account; std::nullopt when there is no such member (or the read failed, see lastError).
std::optional<MemberAccount> readAccount(AppContext& ctx, int memberId) {
    auto q =
        ctx.db.select(QStringLiteral("SELECT Balance, Integral FROM tb_members WHERE ID = ?"), {memberId});
    if (!q || !q->next())
        return std::nullopt;
    return MemberAccount{q->value(0).toDouble(), q->value(1).toInt()};
}

} // namespace

QString CancelReturnRemark(const QString& orderNo) {
    return QStringLiteral("撤销退货订单%1，扣回退货返还").arg(orderNo);
}

CancelPlan PrepareCancelOrder(AppContext& ctx, const QString& orderNo) {
    CancelPlan plan;
    switch (readOrder(ctx, orderNo, plan.order)) {
    case Read::Failed:
        plan.refusal = QStringLiteral("打开订单失败");
        return plan;
    case Read::Missing:
        plan.refusal = notFoundText();
        return plan;
    case Read::Found:
        break;
    }
    std::optional<MemberAccount> account;
    if (!IsWalkIn(plan.order.memberId))
        account = readAccount(ctx, plan.order.memberId);
    const Decision d = decide(plan.order, account, ctx.op.id, Clock::instance().now());
    plan.refusal = d.refusal;
    plan.confirmation = d.refusal.isEmpty() ? d.confirmation : QString();
    return plan;
}

CancelResult CommitCancelOrder(AppContext& ctx, const CancelPlan& plan, const QString& logText) {
    CancelResult result;
    const auto fail = [&](const QString& message, bool withDetail = true) {
        result.message = message;
        result.detail = withDetail ? ctx.db.lastError() : QString();
        return false;
    };
    const QString failedText = QStringLiteral("撤销订单失败，请重试！");
    const QString& orderNo = plan.order.orderNo;

    const auto work = [&]() -> bool {
        result = {};
        CancelledOrder order;
        switch (readOrder(ctx, orderNo, order)) {
        case Read::Failed:
            return fail(QStringLiteral("打开订单失败"));
        case Read::Missing:
            return fail(notFoundText(), false);
        case Read::Found:
            break;
        }
        // Deleting the row first claims the order: a second till cancelling it at the same moment
        // waits here and then finds nothing to delete.
        int affected = 0;
        if (!ctx.db.exec(QStringLiteral("DELETE FROM tb_orders WHERE OrderNo = ?"), {orderNo}, &affected))
            return fail(failedText);
        if (affected != 1)
            return fail(notFoundText(), false);
        QList<std::pair<QString, double>> stock;
        {
            auto lines = ctx.db.select(
                QStringLiteral("SELECT PrdCode, PrdNum FROM tb_order_lines WHERE OrderNo = ?"), {orderNo});
            if (!lines)
                return fail(failedText);
            while (lines->next())
                stock.append({lines->value(0).toString(), lines->value(1).toDouble()});
        }
        if (!ctx.db.exec(QStringLiteral("DELETE FROM tb_order_lines WHERE OrderNo = ?"), {orderNo}))
            return fail(failedText);

        std::optional<MemberAccount> account;
        if (!IsWalkIn(order.memberId)) {
            ctx.db.clearLastError();
            account = readAccount(ctx, order.memberId);
            if (!account && !ctx.db.lastError().isEmpty())
                return fail(failedText);
        }
        const Decision d = decide(order, account, ctx.op.id, Clock::instance().now());
        if (!d.refusal.isEmpty())
            return fail(d.refusal, false);
        if (!IsWalkIn(order.memberId) && !d.change.isEmpty()) {
            const QString accountFailed = order.payType != PayBalance ? failedText
                                          : order.orderType == OrderReturn
                                              ? QStringLiteral("扣除余额失败，请重试！")
                                              : QStringLiteral("返还会员余额失败，请重试！");
            switch (ChangeMemberAccount(ctx, order.memberId, d.change)) {
            case AccountResult::Done:
                break;
            case AccountResult::PointsShort: {
                // Spent at another till since the row was read: say what is left now.
                ctx.db.clearLastError();
                const auto now = readAccount(ctx, order.memberId);
                return fail(pointsShortText(order.points, now ? now->points : 0), false);
            }
            case AccountResult::BalanceShort: {
                const auto now = readAccount(ctx, order.memberId);
                return fail(QStringLiteral("无法撤销\r\n原因：应扣余额%1,会员剩余余额%2,余额不足！")
                                .arg(static_cast<qint64>(d.balanceTakenBack))
                                .arg(static_cast<qint64>(now ? now->balance : 0)),
                            false);
            }
            case AccountResult::NoMember:
                return fail(QStringLiteral("无法读取会员信息"), false);
            case AccountResult::Invalid:
                return fail(AccountOutOfRangeText(), false);
            case AccountResult::Failed:
                return fail(accountFailed);
            }
            // The refund of a return went onto the balance with a recharge record; taking it back
            // leaves a deduction record, so the records still add up to the balance.
            if (d.balanceTakenBack != 0 &&
                !WriteTopupRecord(ctx, false, order.memberId, CancelReturnRemark(orderNo), d.balanceTakenBack,
                                  0, account->balance))
                return fail(accountFailed);
        }
        if (!WriteOpLog(ctx, logText))
            return fail(failedText);
        if (!MoveStockOfLines(ctx, stock, StockCancel))
            return fail(failedText);
        return true;
    };

    if (db::runTransaction(ctx.db, work)) {
        result = {};
        result.ok = true;
        return result;
    }
    // The connection broke at COMMIT: the order is gone when the cancellation was kept.
    const QString cause = ctx.db.lastError();
    switch (db::CheckLostCommit(ctx.db, QStringLiteral("SELECT count(*) FROM tb_orders WHERE OrderNo = ?"),
                                {orderNo}, false)) {
    case db::LostCommit::No:
        break;
    case db::LostCommit::Saved:
        result = {};
        result.ok = true;
        return result;
    case db::LostCommit::Unknown:
        result.message = OutcomeUnknownText(QStringLiteral("订单 %1 的撤销").arg(orderNo),
                                            QStringLiteral("消费\\退货记录"));
        result.detail = cause;
        return result;
    }
    if (!TakeDatabaseTrouble(ctx.db, result.message, result.detail) && result.message.isEmpty())
        fail(failedText);
    return result;
}

} // namespace selvo
