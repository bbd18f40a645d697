#pragma once

#include "core/sales/Cart.h"
#include "core/sales/Settlement.h"
#include "core/store/Vocabulary.h"
#include "core/support/Money.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace selvo {

struct AppContext;

// One tb_order_lines row.
struct OrderLine {
    QString code;
    QString name;
    double price = 0;
    double quantity = 0;
    double discount = 10;
    double discountPrice = 0;
    double cost = 0;
    double totalPrice = 0;
    double profits = 0;
    int points = 0;
};

// Everything a posting writes: the order row, its lines, the member's accounts and the stock.
struct OrderDraft {
    // Empty: a fresh number from MakeOrderNo. A number given here is tried first and replaced
    // when another till has used it meanwhile.
    QString orderNo;
    int memberId = kWalkInMember;
    int orderType = OrderSale;
    double totalPrice = 0;
    double realTotalPrice = 0;
    double purchasePrice = 0;
    double profits = 0;
    double prdSum = 0;
    int points = 0; // signed: earned, or minus the points paid with
    QString remark;
    QDateTime saleDate;
    Payment payment;
    // Written to the member: cumulative spending (0 for a points exchange).
    double cumulative = 0;
    QList<OrderLine> lines;
    // Taken from the stock: product code and quantity, one per line.
    QList<std::pair<QString, double>> stockMoves;
};

// A sale from the cart. `earnedPoints` is the "实得积分" of the screen; a guest earns none.
OrderDraft MakeSaleDraft(const Cart& cart, const StoreSettings& settings, int memberId,
                         const Payment& payment, int earnedPoints, const QString& remark,
                         const QDateTime& saleDate);

// "快速销售": an amount without goods.
struct FastSaleInput {
    bool guest = false;
    int memberId = kWalkInMember;
    QString amountText;
    QString pointsText;
};
// Points a fast-sale amount earns, as the "获得积分" field shows them.
QString FastSalePointsText(const QString& amountText, int yuanToInteral);
// The input a fast-sale refusal is about.
enum class FastSaleField { None, Member, Amount, Points };
// The checks of OK before the settlement dialog: a refusal text, or empty; `at` (when given)
// receives the input at fault.
QString CheckFastSale(const FastSaleInput& input, FastSaleField* at = nullptr);
double FastSaleAmount(const QString& amountText);
OrderDraft MakeFastSaleDraft(const FastSaleInput& input, const Payment& payment, const QString& remark,
                             const QDateTime& saleDate);

// How a failed posting is shown.
enum class PostFailure { None, Toast, MessageBox };

struct PostResult {
    bool ok = false;
    QString orderNo;
    PostFailure failure = PostFailure::None;
    QString message;
    QString detail;        // the database's own words, for a message box
    int attempts = 0;      // transaction runs: more than 1 after a deadlock or serialization failure
    int numberClashes = 0; // order numbers found taken by another till at insert time
};

// Writes the draft in ONE transaction, in this order: the order row (its number unique across
// tills), its lines, the automatic recharge and its record, the member's balance, points and
// cumulative spending, the stock (products in code order, so tills never deadlock on them).
// Balance and points are deducted only when they still cover the payment at that moment, so
// two tills cannot spend the same money. Any failure leaves the database as it was; a deadlock
// or serialization failure reruns the whole posting a bounded number of times.
PostResult PostOrder(AppContext& ctx, const OrderDraft& draft);

inline QString SaleDoneText() {
    return QStringLiteral("消费成功");
}

// The connection to the server broke while the order was being committed and it could not be
// found afterwards: it may still have been saved.
inline QString SaleOutcomeUnknownText(const QString& orderNo) {
    return QStringLiteral("与数据库服务器的连接在保存时中断，无法确定订单 %1 是否已保存。\r\n"
                          "请先在“消费\\退货记录”中查找这个单号：找到了就是已经收款，"
                          "找不到再重新结算，切勿直接重试。")
        .arg(orderNo);
}

} // namespace selvo
