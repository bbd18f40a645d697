#pragma once

#include "core/sales/Cart.h"
#include "core/sales/Posting.h"

#include <QList>
#include <QString>

namespace selvo {

struct AppContext;

// "退货": goods taken back from a member or a guest, stored as an order of kind 2 with negative
// amounts and lines with negative quantities. The returned-goods list is a Cart; its totals are
// the sale screen's.
//
// Two phases, as every posting that asks first: PrepareReturn runs the checks of "结算(F10)" and
// gives a refusal or the question "确认退货?…" with the draft; after a Yes, CommitReturn writes
// the order, its lines, the member's account (with the recharge record of a refund to the
// balance) and the stock in ONE transaction, checking the member's points again inside it.

// The refund modes; each is the return order's PayType.
enum RefundMode { RefundCash = PayCash, RefundBalance = PayBalance, RefundPoints = PayPoints };

// Header texts of the returned-goods list: the cart's, with "商品名称" for column 1.
QString ReturnListHeader(int column);
// The texts of a returned-goods row: the cart's, with the name shown without the stock.
QString ReturnRowText(const CartRow& row, int column);

// What the totals show under the list for a refund mode.
struct ReturnTotals {
    CartTotals cart;
    QString refundText;     // "总计退款": "￥%.2f" of the refund total
    QString goodsTotalText; // "商品总价": "￥%.2f" of the goods total
    int points = 0;         // the points field and "积分"
};
ReturnTotals ComputeReturnTotals(const Cart& list, const StoreSettings& settings, int mode);

// The points field after the operator typed a refund: in mode 3 the refund × InteralToYuan,
// otherwise (refund − special-offer amount) ÷ YuanToInteral, truncated; never negative.
QString RefundPointsText(const QString& refundText, int mode, double specialOfferAmount,
                         const StoreSettings& settings);

// The label of the points field: "扣除积分：" in modes 1 and 2, "退还积分：" in mode 3.
QString ReturnPointsLabel(int mode);

// "按订单退货": the order's lines whose products still exist, as list rows (one per product), and
// the mode its pay type selects.
struct ReturnOrderLoad {
    bool ok = false;
    QString failure; // "无法找到产品信息"
    QList<CartRow> rows;
    int mode = RefundCash;
    double realTotalPrice = 0;
};
ReturnOrderLoad LoadReturnOrder(AppContext& ctx, const QString& orderNo);
// Adds the loaded rows to the list, skipping products already in it.
void AddReturnRows(Cart& list, const QList<CartRow>& rows);

// "选择商品退货": the picked products (the picker's "12,15,20," text) added to the list at quantity 1,
// skipping those already in it. False when none could be read ("无法找到产品信息").
bool AddPickedProducts(AppContext& ctx, Cart& list, const QString& idsText);

// One sale the order picker lists.
struct ReturnableOrder {
    QString orderNo;
    QString saleTime; // "%Y-%m-%d %H:%M:%S"
    QString price;    // "￥%.02f" of RealTotalPrice
    QString payType;  // "现金支付" …
    QString operatorName;
};
// The member's sales, newest first, at most 500 (guests: member -1): ordinary sales and those paid
// with points, which a sale stores as points exchanges. std::nullopt when the database cannot be read.
std::optional<QList<ReturnableOrder>> ReturnableOrders(AppContext& ctx, int memberId);
// The picker's caption: the member's label (or "散客") and "的消费/充值记录  最多显示500条".
QString ReturnSelOrderCaption(AppContext& ctx, int memberId);

// What the dialog holds at "结算(F10)".
struct ReturnInput {
    bool guest = false;
    int memberId = kWalkInMember;
    int mode = RefundCash;
    QString refundText;
    QString pointsText;
    QString remark;
};

enum class ReturnField { None, Refund, Points };

struct ReturnPlan {
    QString refusal; // a red toast; nothing is asked
    ReturnField field = ReturnField::None;
    QString confirmation;
    OrderDraft draft;
    int mode = RefundCash;
    double refund = 0; // R, to the fen: what the question shows is what is stored
    int points = 0;    // P
    bool ok() const { return refusal.isEmpty(); }
};

ReturnPlan PrepareReturn(AppContext& ctx, const Cart& list, const ReturnInput& input);
// The caption of the question.
inline QString ReturnConfirmCaption() {
    return QStringLiteral("退货确认");
}

struct ReturnResult {
    bool ok = false;
    QString orderNo;
    PostFailure failure = PostFailure::None;
    QString message;
    QString detail;
};
ReturnResult CommitReturn(AppContext& ctx, const ReturnPlan& plan);

inline QString ReturnPrintQuestion() {
    return QStringLiteral("退货成功，是否打印小票？");
}
inline QString ReturnDoneText() {
    return QStringLiteral("退货成功");
}
// The remark of the recharge record of a refund to the balance.
inline QString ReturnRefundRemark() {
    return QStringLiteral("退货返还");
}

} // namespace selvo
