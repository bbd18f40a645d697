#pragma once

#include <QString>

namespace selvo {

namespace db {
class Database;
}

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

// Another program held the database's write lock longer than a till waits.
QString DatabaseBusyText();
// Why a failed posting failed when the database itself is the cause: its file vanished (and where
// its data was rescued), or another program held the write lock. Empty for any other cause.
QString DatabaseTroubleText(const db::Database& db);
// After a failed posting: the database's trouble, when there is one, replaces what the posting
// said (`message`, and `detail` is cleared). False when there is none.
bool TakeDatabaseTrouble(const db::Database& db, QString& message, QString& detail);

} // namespace selvo
