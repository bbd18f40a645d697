#pragma once

#include "core/sales/Cart.h"

#include <QDateTime>
#include <QList>
#include <QString>

namespace selvo {

struct AppContext;

// Purchase orders: goods received from a supplier ("采购入库") and goods sent back to one
// ("退货出库"), their list, the paid flag and their cancellation.

enum PurchaseMode { PurchaseIn = 0, PurchaseReturn = 1 };

// The entry list's columns, in order (as the cart's, with the purchase price as unit price).
enum PurchaseColumn {
    PurColRowNo = 0,
    PurColName,
    PurColQuantity,
    PurColPrice,
    PurColDiscount,
    PurColDiscountPrice,
    PurColLineTotal,
    PurColMustInt,
    PurColCode,
    PurColUnit,
    PurchaseColumnCount
};
QString PurchaseHeader(int column, int mode);
QString PurchaseCaption(int mode); // "采购入库" / "退货出库"

// The products of the picker's answer ("12,15,20,"), by ID; the purchase price is their unit price.
QList<SaleProduct> LoadPurchaseProducts(AppContext& ctx, const QString& pickedIds);

// The entry list with its arithmetic. The quantity popup's edits are applied as on the sale screen.
class PurchaseList final {
public:
    const Cart& cart() const { return m_cart; }
    int size() const { return m_cart.size(); }
    bool isEmpty() const { return m_cart.isEmpty(); }
    // Adds the products not yet listed; listed ones keep their row as it is.
    void add(const QList<SaleProduct>& products);
    void applyEdit(int row, const CartEdit& edit) { m_cart.applyEdit(row, edit); }
    QString text(int row, int column) const;
    double totalValue() const;
    int itemCount() const;
    QString totalValueText() const;                                        // "￥%.2f"
    QString itemCountText() const { return QString::number(itemCount()); } // "%d"

private:
    Cart m_cart;
};

// The header of a saved order, as the management list shows it.
struct PurchaseOrder {
    QString code;
    int saleManId = 0;
    QString buyer;
    double total = 0;
    bool paid = false;
    QDateTime addDate;
    bool isReturn = false;
};
// Texts of the order list's columns: date, total, buyer, number, paid mark, kind.
QStringList PurchaseOrderColumns(const PurchaseOrder& order);
QString PaidMark(bool paid); // "√" / "×"

struct PurchaseSaveResult {
    bool ok = false;
    QString message; // why nothing was saved
    QString detail;  // the database's own words, when it refused
    PurchaseOrder order;
};
// "确认并保存": header, lines and stock moves in ONE transaction. A product deleted by another
// till meanwhile refuses the whole order.
PurchaseSaveResult SavePurchase(AppContext& ctx, const PurchaseList& list, int mode, bool paid);
QString PurchaseDoneText(int mode); // "采购成功" / "退货成功"

// Orders newest first; orders of operators that no longer exist are left out.
QList<PurchaseOrder> ListPurchaseOrders(AppContext& ctx);

struct PurchaseLine {
    QString code;
    QString name;
    double quantity = 0; // InNum
    double price = 0;
    double discount = 0;
    double discountPrice = 0;
};
// Lines of one order whose product still exists.
QList<PurchaseLine> ListPurchaseLines(AppContext& ctx, const QString& code);
QStringList PurchaseLineColumns(const PurchaseLine& line);

// "已结清货款": one statement; false when it fails or the order is gone.
bool SetPurchasePaid(AppContext& ctx, const QString& code, bool paid);

struct PurchaseCancelResult {
    bool ok = false;
    bool nothing = false; // the order has no lines: nothing done, nothing to say
    QString message;
    QString detail;
};
// "撤销此订单": stock back, lines and header deleted, log line written, in ONE transaction. The
// stock moves back by what the purchase moved. The log line shows the texts of the list row.
PurchaseCancelResult CancelPurchase(AppContext& ctx, const QString& code, const QString& totalText,
                                    const QString& buyer, const QString& dateText);
QString PurchaseCancelLogText(bool isReturn, const QString& totalText, const QString& buyer,
                              const QString& dateText);

} // namespace selvo
