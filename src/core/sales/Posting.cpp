#include "core/sales/Posting.h"

#include "core/sales/PostingSteps.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "core/support/Number.h"

#include <cmath>

namespace selvo {

namespace {
QString saveFailedText() {
    return QStringLiteral("保存订单失败，请重试！");
}
// The member was deleted (at another till) after the sale screen read it.
QString memberGoneText() {
    return QStringLiteral("无法读取会员信息，请重试！");
}
} // namespace

OrderDraft MakeSaleDraft(const Cart& cart, const StoreSettings& settings, int memberId,
                         const Payment& payment, int earnedPoints, const QString& remark,
                         const QDateTime& saleDate) {
    const CartTotals totals = cart.totals(settings);
    const bool byPoints = payment.payType == PayPoints;
    OrderDraft d;
    d.memberId = memberId;
    d.orderType = byPoints ? OrderPointsExchange : OrderSale;
    d.payment = payment;
    d.remark = remark;
    d.saleDate = saleDate;
    d.totalPrice = RoundCents(totals.listTotal);
    // The amount charged is the total the screen shows, to the fen.
    d.realTotalPrice = byPoints ? 0 : totals.amountDue();
    d.purchasePrice = RoundCents(totals.costTotal);
    d.profits = RoundCents(d.realTotalPrice - d.purchasePrice);
    d.prdSum = totals.productCount;
    if (byPoints)
        d.points = -payment.pointsUsed;
    else
        d.points = IsWalkIn(memberId) ? 0 : earnedPoints;
    d.cumulative = byPoints ? 0 : d.realTotalPrice;
    for (const CartRow& row : cart.rows()) {
        OrderLine line;
        line.code = row.code;
        line.name = row.lineName();
        line.price = row.price;
        line.quantity = row.quantity;
        line.discount = row.discountValue();
        line.discountPrice = row.discountPrice;
        line.cost = row.cost;
        const double lineTotal = row.lineTotal();
        if (byPoints) {
            line.totalPrice = 0;
            line.profits = -(row.cost * row.quantity);
            line.points = -PointsNeeded(lineTotal, settings.interalToYuan);
        } else {
            line.totalPrice = lineTotal;
            line.profits = (row.discountPrice - row.cost) * row.quantity;
            line.points = PointsForAmount(lineTotal, settings.yuanToInteral);
        }
        d.lines.append(line);
        d.stockMoves.append({row.code, row.quantity});
    }
    return d;
}

QString FastSalePointsText(const QString& amountText, int yuanToInteral) {
    const double amount = ParseMoneyText(amountText);
    if (!(amount > 0) || yuanToInteral < 1 || amount > kMaxAmount)
        return QStringLiteral("0");
    return QString::number(qint64(std::trunc(amount / yuanToInteral)));
}

double FastSaleAmount(const QString& amountText) {
    return ParseMoneyText(amountText);
}

QString CheckFastSale(const FastSaleInput& input, FastSaleField* at) {
    const auto refuse = [at](FastSaleField field, const QString& text) {
        if (at)
            *at = field;
        return text;
    };
    if (at)
        *at = FastSaleField::None;
    if (!input.guest && input.memberId <= 0)
        return refuse(FastSaleField::Member, QStringLiteral("请选择会员\r\n或设置为散客消费！"));
    const QString amount = StripMoneySigns(input.amountText);
    if (const double value = FastSaleAmount(input.amountText); value < 0 || IsZeroMoney(value))
        return refuse(FastSaleField::Amount, QStringLiteral("实收价格不能小于0"));
    if (!IsWholeNumberText(amount) || FastSaleAmount(input.amountText) > kMaxAmount)
        return refuse(FastSaleField::Amount, QStringLiteral("请输入正确的消费金额"));
    if (!input.guest) {
        const QString points = input.pointsText.trimmed();
        const double value = ParseLeadingNumber(points);
        if (!points.isEmpty() &&
            (!IsWholeNumberText(points) || value != std::trunc(value) || value < 0 || value > 2147483647.0))
            return refuse(FastSaleField::Points, QStringLiteral("请输入正确的获得积分"));
    }
    return {};
}

OrderDraft MakeFastSaleDraft(const FastSaleInput& input, const Payment& payment, const QString& remark,
                             const QDateTime& saleDate) {
    OrderDraft d;
    d.memberId = input.guest ? kWalkInMember : input.memberId;
    d.orderType = OrderFastSale;
    d.payment = payment;
    d.remark = remark;
    d.saleDate = saleDate;
    const double amount = FastSaleAmount(input.amountText);
    const bool byPoints = payment.payType == PayPoints;
    d.totalPrice = byPoints ? 0 : amount;
    d.realTotalPrice = d.totalPrice;
    d.cumulative = d.totalPrice;
    if (byPoints)
        d.points = -payment.pointsUsed;
    else
        d.points = IsWalkIn(d.memberId) ? 0 : ParseLeadingInt(input.pointsText);
    return d;
}

PostResult PostOrder(AppContext& ctx, const OrderDraft& draft) {
    PostResult result;
    const bool member = !IsWalkIn(draft.memberId);
    const int payType = draft.payment.payType;
    if (!member && payType != PayCash) {
        result.failure = PostFailure::MessageBox;
        result.message = QStringLiteral("散客只能使用现金支付");
        return result;
    }
    // Whoever built the draft: nothing that is not a sound figure reaches the tables.
    if (const QString refusal = CheckDraftFigures(draft); !refusal.isEmpty()) {
        result.failure = PostFailure::MessageBox;
        result.message = refusal;
        return result;
    }
    const QDateTime saleDate = draft.saleDate.isValid() ? draft.saleDate : Clock::instance().now();
    const QVariant date = ctx.db.dateTimeValue(saleDate);
    QList<std::pair<QString, double>> stockChanges;
    for (const auto& [code, quantity] : draft.stockMoves)
        stockChanges.append({code, -quantity});

    const auto fail = [&](PostFailure kind, const QString& message, bool withDetail = true) {
        result.failure = kind;
        result.message = message;
        result.detail = withDetail ? ctx.db.lastError() : QString();
        return false;
    };

    // What the payment does to the member's account, in one conditional change.
    AccountChange change;
    change.points = draft.points;
    if (payType == PayBalance)
        change.balance = -draft.realTotalPrice;
    if (payType != PayPoints)
        change.cumulative = draft.cumulative;

    const auto work = [&]() -> bool {
        ++result.attempts;
        result.failure = PostFailure::None;
        result.orderNo = WriteOrderRow(ctx, draft, date, &result.numberClashes);
        if (result.orderNo.isEmpty() || !WriteOrderLines(ctx, result.orderNo, draft, date))
            return fail(PostFailure::MessageBox, saveFailedText());
        if (member) {
            // The conditional change below re-checks the member inside the transaction: deleted or
            // paid out elsewhere meanwhile, it changes nothing and says why.
            if (payType == PayBalance && draft.payment.autoRecharge()) {
                ctx.db.clearLastError();
                auto balance = ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"),
                                             {draft.memberId});
                if (!balance) {
                    const bool gone = ctx.db.lastError().isEmpty();
                    return fail(PostFailure::MessageBox, gone ? memberGoneText() : saveFailedText(), !gone);
                }
                const double recharge = draft.payment.recharge;
                if (ChangeMemberAccount(ctx, draft.memberId, {recharge, 0, 0}) != AccountResult::Done ||
                    !WriteTopupRecord(ctx, true, draft.memberId,
                                      AutoRechargeRemark(recharge, draft.payment.shortfall), recharge, 0,
                                      balance->toDouble()))
                    return fail(PostFailure::Toast, QStringLiteral("自动充值失败，请重试！"));
            }
            switch (ChangeMemberAccount(ctx, draft.memberId, change)) {
            case AccountResult::Done:
                break;
            case AccountResult::BalanceShort:
                return fail(PostFailure::Toast, QStringLiteral("扣除余额失败，请重试！"));
            case AccountResult::PointsShort:
                return fail(PostFailure::Toast, QStringLiteral("扣除积分失败，请重试！"));
            case AccountResult::Invalid:
                return fail(PostFailure::MessageBox, AccountOutOfRangeText(), false);
            case AccountResult::NoMember:
                return fail(PostFailure::MessageBox, memberGoneText(), false);
            case AccountResult::Failed:
                return fail(PostFailure::MessageBox, saveFailedText());
            }
        }
        if (!MoveStockOfLines(ctx, stockChanges, StockSale))
            return fail(PostFailure::MessageBox, saveFailedText());
        return true;
    };

    const auto done = [&] {
        result.ok = true;
        result.failure = PostFailure::None;
        result.message = SaleDoneText();
        result.detail.clear();
        return result;
    };
    if (db::runTransaction(ctx.db, work))
        return done();
    if (!result.orderNo.isEmpty()) {
        // The connection broke while COMMIT was on its way: the order may well be saved, and a
        // second try would charge the customer twice. Look it up on the new connection.
        const QString cause = ctx.db.lastError();
        switch (db::CheckLostCommit(
            ctx.db, QStringLiteral("SELECT count(*) FROM tb_orders WHERE OrderNo = ?"), {result.orderNo})) {
        case db::LostCommit::No:
            break;
        case db::LostCommit::Saved:
            return done();
        case db::LostCommit::Unknown:
            result.failure = PostFailure::MessageBox;
            result.message = SaleOutcomeUnknownText(result.orderNo);
            result.detail = cause;
            return result;
        }
    }
    if (const QString trouble = DatabaseTroubleText(ctx.db); !trouble.isEmpty())
        fail(PostFailure::MessageBox, trouble, false);
    else if (result.failure == PostFailure::None)
        fail(PostFailure::MessageBox, saveFailedText());
    result.orderNo.clear();
    return result;
}

} // namespace selvo
