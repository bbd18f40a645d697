#pragma once

#include "core/support/Money.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace selvo {

struct AppContext;

// tb_orders.PayType / tb_order_lines.PayType.
enum PayType { PayCash = 1, PayBalance = 2, PayPoints = 3 };
// tb_orders.OrderType.
enum OrderType { OrderSale = 1, OrderReturn = 2, OrderPointsExchange = 3, OrderFastSale = 4 };

// A tb_orders row as a posting writes it. The caller has worked out every figure.
struct OrderRow {
    // Empty: a fresh number from MakeOrderNo. A number given here is tried first and replaced
    // when another till has used it meanwhile.
    QString orderNo;
    int memberId = kWalkInMember;
    double totalPrice = 0;     // TotalPrice: value of the goods at list price
    double realTotalPrice = 0; // RealTotalPrice: charged
    double purchasePrice = 0;  // PrdPurchasePrice
    double profits = 0;
    double productCount = 0; // PrdSum
    int points = 0;          // Integral: earned, or minus the points paid with (PayPoints)
    double getMoney = 0;
    double change = 0;
    QString remark;
    QDateTime saleDate;
    int payType = PayCash;
    int orderType = OrderSale;
};

// A tb_order_lines row; MemID, SaleManID, OrderNo, PayType and SaleDate come from the order.
struct OrderLineRow {
    QString productCode;
    QString productName;
    double price = 0;           // PrdPrice
    double quantity = 0;        // PrdNum
    double discount = 0;        // DisCount
    double discountedPrice = 0; // DisCountPrice
    double purchasePrice = 0;   // PrdPurchasePrice (per unit)
    double profits = 0;
    double total = 0; // TotalPrice
    int points = 0;   // Integral
};

struct PostResult {
    bool ok = false;
    QString orderNo;       // the number written
    QString error;         // why nothing was written, in the shop's words where there are any
    int attempts = 0;      // transaction runs: more than 1 after a deadlock or serialization failure
    int numberClashes = 0; // order numbers found taken by another till at insert time
};

// Posts a sale in ONE transaction, in this order: the order row (its number unique across tills),
// the lines, the member's accounts, the stock. Member accounts, for a member only:
//   PayCash:    points += order.points, cumulative += realTotalPrice;
//   PayBalance: balance -= realTotalPrice, refused when it would go below zero
//               ("扣除余额失败，请重试！"), then points and cumulative as for cash;
//   PayPoints:  points -= -order.points, refused when short ("扣除积分失败，请重试！").
// Stock: each line lowers its product by its quantity (kind StockSale, no history row).
// Any failure writes nothing. A deadlock or serialization failure reruns the whole posting a
// bounded number of times.
// A building block of the settlement flow; the screens add their checks and texts around it.
PostResult PostSimpleSale(AppContext& ctx, const OrderRow& order, const QList<OrderLineRow>& lines);

} // namespace selvo
