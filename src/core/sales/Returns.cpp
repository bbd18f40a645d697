#include "core/sales/Returns.h"

#include "core/sales/PostingSteps.h"
#include "core/sales/Settlement.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "core/support/Number.h"

#include <cmath>
#include <limits>

namespace selvo {

namespace {

constexpr int kOrderPickerLimit = 500;

QString notFoundText() {
    return QStringLiteral("无法找到产品信息");
}

int clampPoints(double points) {
    if (!(points > 0))
        return 0;
    return points >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(points);
}

int normalMode(int mode) {
    return mode == RefundBalance || mode == RefundPoints ? mode : RefundCash;
}

QString prefixOf(const QString& name) {
    for (const QString& prefix : {QStringLiteral("[特] "), QStringLiteral("[赠] ")}) {
        if (name.startsWith(prefix))
            return prefix;
    }
    return {};
}

} // namespace

QString ReturnListHeader(int column) {
    return column == ColName ? QStringLiteral("商品名称") : CartHeader(column);
}

QString ReturnRowText(const CartRow& row, int column) {
    return column == ColName ? row.lineName() : row.text(column);
}

ReturnTotals ComputeReturnTotals(const Cart& list, const StoreSettings& settings, int mode) {
    ReturnTotals t;
    t.cart = list.totals(settings);
    t.refundText = FormatMoney(t.cart.discountedTotal);
    t.goodsTotalText = FormatMoney(t.cart.listTotal);
    if (mode == RefundPoints) {
        t.points = PointsNeeded(t.cart.discountedTotal, settings.interalToYuan);
    } else if (settings.yuanToInteral >= 1) {
        const double whole = std::ceil(RoundCents(t.cart.discountedTotal - t.cart.specialOfferAmount));
        t.points = clampPoints(std::floor(whole / settings.yuanToInteral));
    }
    return t;
}

QString RefundPointsText(const QString& refundText, int mode, double specialOfferAmount,
                         const StoreSettings& settings) {
    const double refund = ParseMoneyText(refundText);
    if (!(std::fabs(refund) <= kMaxAmount))
        return QStringLiteral("0");
    double points = 0;
    if (mode == RefundPoints)
        points = std::trunc(refund * settings.interalToYuan);
    else if (settings.yuanToInteral >= 1)
        points = std::trunc((refund - specialOfferAmount) / settings.yuanToInteral);
    return QString::number(clampPoints(points));
}

QString ReturnPointsLabel(int mode) {
    return mode == RefundPoints ? QStringLiteral("退还积分：") : QStringLiteral("扣除积分：");
}

ReturnOrderLoad LoadReturnOrder(AppContext& ctx, const QString& orderNo) {
    ReturnOrderLoad load;
    load.failure = notFoundText();
    // Lines of products deleted since the sale are not loaded; their goods have no stock to return to.
    auto q = ctx.db.select(
        QStringLiteral("SELECT tb_product.ID, tb_order_lines.PrdName, tb_order_lines.PrdPrice, "
                       "tb_order_lines.DisCountPrice, tb_order_lines.DisCount, tb_order_lines.PrdNum, "
                       "tb_product.MeasuringUnit, tb_product.MustIntNum, tb_order_lines.PrdCode, "
                       "tb_product.PurchasePrice FROM tb_order_lines INNER JOIN tb_product "
                       "ON tb_order_lines.PrdCode = tb_product.PrdCode WHERE tb_order_lines.OrderNo = ?"),
        {orderNo});
    if (!q)
        return load;
    while (q->next()) {
        CartRow row;
        row.productId = q->value(0).toInt();
        bool seen = false;
        for (const CartRow& r : std::as_const(load.rows))
            seen = seen || r.productId == row.productId;
        if (seen)
            continue;
        // The name as sold: a special offer then is one now, whatever the product has become.
        const QString name = q->value(1).toString();
        row.prefix = prefixOf(name);
        row.name = name.mid(row.prefix.size());
        row.property = row.prefix == QStringLiteral("[特] ")   ? PropertySpecialOffer
                       : row.prefix == QStringLiteral("[赠] ") ? PropertyGift
                                                               : PropertyRegular;
        row.price = RoundCents(q->value(2).toDouble());
        row.discountPrice = RoundCents(q->value(3).toDouble());
        row.discount = QString::asprintf("%.1f", q->value(4).toDouble());
        row.quantity = ShownQuantity(q->value(5).toDouble());
        row.unit = q->value(6).toString();
        row.mustIntNum = q->value(7).toInt();
        row.code = q->value(8).toString();
        row.cost = RoundCents(q->value(9).toDouble());
        load.rows.append(row);
    }
    if (load.rows.isEmpty())
        return load;
    auto order = ctx.db.select(
        QStringLiteral("SELECT RealTotalPrice, PayType FROM tb_orders WHERE OrderNo = ?"), {orderNo});
    if (!order)
        return load;
    if (order->next()) {
        load.realTotalPrice = order->value(0).toDouble();
        load.mode = normalMode(order->value(1).toInt());
    }
    load.ok = true;
    load.failure.clear();
    return load;
}

void AddReturnRows(Cart& list, const QList<CartRow>& rows) {
    for (const CartRow& row : rows)
        list.append(row);
}

bool AddPickedProducts(AppContext& ctx, Cart& list, const QString& idsText) {
    // Each ID is followed by a comma; a trailing piece without one is not an ID.
    QStringList pieces = idsText.split(QLatin1Char(','));
    pieces.removeLast();
    QVariantList ids;
    QStringList marks;
    for (const QString& piece : std::as_const(pieces)) {
        if (!IsWholeNumberText(piece))
            continue;
        ids << ParseLeadingInt(piece);
        marks << QStringLiteral("?");
    }
    if (ids.isEmpty())
        return false;
    auto q = ctx.db.select(QStringLiteral("SELECT ID FROM tb_product WHERE ID IN (") +
                               marks.join(QLatin1Char(',')) + QStringLiteral(") ORDER BY ID"),
                           ids);
    if (!q)
        return false;
    QList<int> found;
    while (q->next())
        found << q->value(0).toInt();
    bool any = false;
    for (const int id : std::as_const(found)) {
        if (const auto product = LoadSaleProduct(ctx, id)) {
            list.add(*product, false);
            any = true;
        }
    }
    return any;
}

std::optional<QList<ReturnableOrder>> ReturnableOrders(AppContext& ctx, int memberId) {
    auto q = ctx.db.select(
        QStringLiteral("SELECT tb_orders.OrderNo, tb_orders.SaleDate, tb_orders.RealTotalPrice, "
                       "tb_orders.PayType, tb_manager.TrueName, tb_manager.ID FROM tb_orders "
                       "LEFT JOIN tb_manager ON tb_orders.SaleManID = tb_manager.ID "
                       "WHERE tb_orders.MemID = ? AND tb_orders.OrderType IN (?, ?) "
                       "ORDER BY tb_orders.SaleDate DESC, tb_orders.ID DESC LIMIT ?"),
        {memberId, int(OrderSale), int(OrderPointsExchange), kOrderPickerLimit});
    if (!q)
        return std::nullopt;
    QList<ReturnableOrder> out;
    while (q->next()) {
        ReturnableOrder o;
        o.orderNo = q->value(0).toString();
        o.saleTime = db::toDateTime(q->value(1)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        o.price = FormatMoney(q->value(2).toDouble());
        o.payType = PayTypeText(q->value(3).toInt());
        o.operatorName = q->value(5).isNull() ? DeletedMark() : q->value(4).toString();
        out << o;
    }
    return out;
}

QString ReturnSelOrderCaption(AppContext& ctx, int memberId) {
    const QString who = IsWalkIn(memberId) ? QStringLiteral("散客") : GetMemberLabel(ctx, memberId);
    return who + QStringLiteral("的消费/充值记录  最多显示500条");
}

ReturnPlan PrepareReturn(AppContext& ctx, const Cart& list, const ReturnInput& input) {
    ReturnPlan plan;
    const auto refuse = [&](const QString& text, ReturnField field = ReturnField::None) {
        plan.refusal = text;
        plan.field = field;
        return plan;
    };
    const ReturnTotals totals = ComputeReturnTotals(list, ctx.settings, input.mode);
    if (totals.cart.productCount < 1)
        return refuse(QStringLiteral("请选择商品"));
    if (!input.guest && input.memberId <= 0)
        return refuse(QStringLiteral("请选择会员\r\n或设置为散客消费"));

    // The refund is taken to the fen, as the question shows it, before any check.
    const QString refundText = StripMoneySigns(input.refundText);
    if (!IsWholeNumberText(refundText) || std::fabs(ParseLeadingNumber(refundText)) > kMaxAmount)
        return refuse(QStringLiteral("请输入正确的退款金额"), ReturnField::Refund);
    const double r = ParseMoneyText(refundText);
    if (r < 0)
        return refuse(QStringLiteral("退款金额不能小于0"), ReturnField::Refund);
    if (IsZeroMoney(r))
        return refuse(QStringLiteral("退款金额不能为0"), ReturnField::Refund);
    const double goods = RoundCents(totals.cart.listTotal);
    if (!MoneyCovers(goods, r))
        return refuse(QStringLiteral("退款金额不能超过商品总价"), ReturnField::Refund);

    const int mode = input.guest ? RefundCash : normalMode(input.mode);
    const int memberId = input.guest ? kWalkInMember : input.memberId;
    int p = 0;
    if (!input.guest) {
        const QString points = input.pointsText.trimmed();
        const double value = ParseLeadingNumber(points);
        if (!IsWholeNumberText(points) || value != std::trunc(value) || value < 0 ||
            value > double(std::numeric_limits<int>::max()))
            return refuse(QStringLiteral("请输入正确的") + ReturnPointsLabel(mode).chopped(1),
                          ReturnField::Points);
        p = int(value);
        ctx.db.clearLastError();
        auto stored =
            ctx.db.scalar(QStringLiteral("SELECT Integral FROM tb_members WHERE ID = ?"), {memberId});
        if (!stored)
            return refuse(QStringLiteral("无法读取会员信息"));
        if (mode != RefundPoints && p > stored->toInt())
            return refuse(QStringLiteral("会员剩余积分不足"), ReturnField::Points);
    }

    switch (mode) {
    case RefundBalance:
        plan.confirmation = QStringLiteral("确认退货?\r\n返还余额￥%1元").arg(FormatAmount(r));
        break;
    case RefundPoints:
        plan.confirmation = QStringLiteral("确认退货?\r\n返还积分%1分").arg(p);
        break;
    default:
        plan.confirmation = QStringLiteral("确认退货?\r\n退还现金￥%1元").arg(FormatAmount(r));
        break;
    }
    plan.mode = mode;
    plan.refund = r;
    plan.points = p;

    const StoreSettings& settings = ctx.settings;
    const double cost = RoundCents(totals.cart.costTotal);
    OrderDraft& d = plan.draft;
    d.memberId = memberId;
    d.orderType = OrderReturn;
    d.payment.payType = mode;
    d.payment.cashReceived = mode == RefundCash ? -r : 0; // GetMoney
    d.payment.change = 0;
    d.totalPrice = -goods;
    d.purchasePrice = cost;
    d.prdSum = totals.cart.productCount;
    d.profits = mode == RefundPoints ? cost : RoundCents(-(r - cost));
    d.realTotalPrice = mode == RefundPoints ? 0 : -r;
    d.points = mode == RefundPoints ? p : -p;
    d.cumulative = mode == RefundPoints ? 0 : -r;
    d.remark = input.remark;
    d.saleDate = Clock::instance().now();
    for (const CartRow& row : list.rows()) {
        OrderLine line;
        line.code = row.code;
        line.name = row.lineName();
        line.price = row.price;
        line.quantity = -row.quantity;
        line.discount = row.discountValue();
        line.discountPrice = row.discountPrice;
        line.cost = row.cost;
        const double amount = row.lineTotal();
        if (mode == RefundPoints) {
            line.profits = row.cost * row.quantity;
            line.totalPrice = 0;
            line.points = PointsNeeded(amount, settings.interalToYuan);
        } else {
            line.profits = -((row.discountPrice - row.cost) * row.quantity);
            line.totalPrice = -amount;
            line.points = -PointsForAmount(amount, settings.yuanToInteral);
        }
        d.lines.append(line);
        d.stockMoves.append({row.code, row.quantity});
    }
    return plan;
}

ReturnResult CommitReturn(AppContext& ctx, const ReturnPlan& plan) {
    ReturnResult result;
    const OrderDraft& d = plan.draft;
    const bool member = !IsWalkIn(d.memberId);
    const QVariant date = ctx.db.dateTimeValue(d.saleDate.isValid() ? d.saleDate : Clock::instance().now());
    const QString saveFailed = QStringLiteral("保存订单失败，请重试！");
    const auto fail = [&](PostFailure kind, const QString& message, bool withDetail = true) {
        result.failure = kind;
        result.message = message;
        result.detail = withDetail ? ctx.db.lastError() : QString();
        return false;
    };

    // The plan may come from anywhere: its refund and points must be sound figures, and the
    // order it writes must say what the account change does.
    const auto refuse = [&](const QString& message) {
        result.failure = PostFailure::MessageBox;
        result.message = message;
        return result;
    };
    if (plan.mode != RefundCash && plan.mode != RefundBalance && plan.mode != RefundPoints)
        return refuse(InvalidFigureText(QStringLiteral("退款方式"), plan.mode));
    if (!IsValidMoney(plan.refund) || !(plan.refund > 0))
        return refuse(InvalidFigureText(QStringLiteral("退款金额"), plan.refund));
    if (!IsValidPoints(plan.points))
        return refuse(InvalidFigureText(QStringLiteral("积分"), plan.points));
    if (d.orderType != OrderReturn || d.payment.payType != plan.mode ||
        std::fabs(d.realTotalPrice - (plan.mode == RefundPoints ? 0 : -plan.refund)) > 0.005 ||
        d.points != (plan.mode == RefundPoints ? plan.points : -plan.points))
        return refuse(QStringLiteral("退货数据不一致，未保存"));
    if (const QString refusal = CheckDraftFigures(d); !refusal.isEmpty())
        return refuse(refusal);

    AccountChange change;
    const double r = plan.refund;
    switch (plan.mode) {
    case RefundBalance:
        change = {r, -plan.points, -r};
        break;
    case RefundPoints:
        change = {0, plan.points, 0};
        break;
    default:
        change = {0, -plan.points, -r};
        break;
    }

    const auto work = [&]() -> bool {
        result = {};
        result.orderNo = WriteOrderRow(ctx, d, date);
        if (result.orderNo.isEmpty() || !WriteOrderLines(ctx, result.orderNo, d, date))
            return fail(PostFailure::MessageBox, saveFailed);
        if (member) {
            // Read inside the transaction: the member may have been deleted, or have spent the
            // points at another till, since the question was asked.
            ctx.db.clearLastError();
            auto balance =
                ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {d.memberId});
            if (!balance) {
                const bool gone = ctx.db.lastError().isEmpty();
                return fail(gone ? PostFailure::Toast : PostFailure::MessageBox,
                            gone ? QStringLiteral("无法读取会员信息") : saveFailed, !gone);
            }
            if (!change.isEmpty()) {
                const QString accountFailed =
                    plan.mode == RefundBalance  ? QStringLiteral("返还会员余额失败，请重试！")
                    : plan.mode == RefundPoints ? QStringLiteral("返还会员积分失败，请重试！")
                                                : saveFailed;
                switch (ChangeMemberAccount(ctx, d.memberId, change)) {
                case AccountResult::Done:
                    break;
                case AccountResult::PointsShort:
                    return fail(PostFailure::Toast, QStringLiteral("会员剩余积分不足"), false);
                case AccountResult::NoMember:
                    return fail(PostFailure::Toast, QStringLiteral("无法读取会员信息"), false);
                case AccountResult::Invalid:
                    return fail(PostFailure::MessageBox, AccountOutOfRangeText(), false);
                case AccountResult::BalanceShort:
                case AccountResult::Failed:
                    return fail(plan.mode == RefundCash ? PostFailure::MessageBox : PostFailure::Toast,
                                accountFailed);
                }
            }
            // The refund on the balance is a recharge: the records keep explaining the balance.
            if (plan.mode == RefundBalance &&
                !WriteTopupRecord(ctx, true, d.memberId, ReturnRefundRemark(), r, 0, balance->toDouble()))
                return fail(PostFailure::Toast, QStringLiteral("返还会员余额失败，请重试！"));
        }
        if (!MoveStockOfLines(ctx, d.stockMoves, StockReturn))
            return fail(PostFailure::MessageBox, saveFailed);
        return true;
    };

    const auto done = [&] {
        const QString orderNo = result.orderNo;
        result = {};
        result.ok = true;
        result.orderNo = orderNo;
        result.message = ReturnDoneText();
        return result;
    };
    if (db::runTransaction(ctx.db, work))
        return done();
    if (!result.orderNo.isEmpty()) {
        // The connection broke at COMMIT: a second try would refund twice. Look the return up.
        const QString cause = ctx.db.lastError();
        const db::LostCommit lost = db::CheckLostCommit(
            ctx.db, QStringLiteral("SELECT count(*) FROM tb_orders WHERE OrderNo = ?"), {result.orderNo});
        if (lost == db::LostCommit::Saved)
            return done();
        if (lost == db::LostCommit::Unknown) {
            result.failure = PostFailure::MessageBox;
            result.message = OutcomeUnknownText(QStringLiteral("退货订单 %1 ").arg(result.orderNo),
                                                QStringLiteral("消费\\退货记录"));
            result.detail = cause;
            return result;
        }
    }
    if (const QString trouble = DatabaseTroubleText(ctx.db); !trouble.isEmpty())
        fail(PostFailure::MessageBox, trouble, false);
    else if (result.failure == PostFailure::None)
        fail(PostFailure::MessageBox, saveFailed);
    result.orderNo.clear();
    return result;
}

} // namespace selvo
