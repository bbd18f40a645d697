#pragma once

#include <QString>

namespace selvo {

// The coded values every part of the shop shares.

// Payment codes (tb_orders.PayType, tb_order_lines.PayType).
enum PayType { PayCash = 1, PayBalance = 2, PayPoints = 3 };
// Order kinds (tb_orders.OrderType).
enum OrderType { OrderSale = 1, OrderReturn = 2, OrderPointsExchange = 3, OrderFastSale = 4 };
// Product states and properties (tb_product.State, tb_product.PrdProperty).
enum ProductState { ProductOnSale = 1, ProductOffShelf = 2 };
enum ProductProperty { PropertyRegular = 1, PropertySpecialOffer = 2, PropertyGift = 3 };

// The walk-in customer in orders, order lines and pickers.
inline constexpr int kWalkInMember = -1;
inline bool IsWalkIn(int memberId) {
    return memberId == kWalkInMember;
}

// "现金支付", "余额支付", "积分支付"; "未知" for any other code.
QString PayTypeText(int payType);
// "正常销售", "退货", "积分兑换", "快速销售"; "未知" for any other code.
QString OrderTypeText(int orderType);

// The connection to the server broke while `what` was being committed and it could not be found
// afterwards: it may still have been saved. `where` is the screen where it shows once saved.
QString OutcomeUnknownText(const QString& what, const QString& where);

} // namespace selvo
