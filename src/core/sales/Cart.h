#pragma once

#include "core/store/StoreSettings.h"
#include "core/store/Vocabulary.h"

#include <QList>
#include <QString>

#include <optional>

namespace selvo {

struct AppContext;

// What the sale screen needs of one product.
struct SaleProduct {
    int id = 0;
    QString code;
    QString name;
    QString unit;
    double price = 0;
    double cost = 0;
    double stock = 0;
    int property = 0; // 0 when the column is NULL
    int mustIntNum = 0;
};

// Reads one product by ID; std::nullopt when there is no such product or it cannot be read.
std::optional<SaleProduct> LoadSaleProduct(AppContext& ctx, int productId);
// The on-sale product whose code is exactly `code` (what a bar-code scanner types); 0 for none.
int FindOnSaleProductByCode(AppContext& ctx, const QString& code);

// The cart columns, in order.
enum CartColumn {
    ColRowNo = 0,
    ColName,
    ColQuantity,
    ColPrice,
    ColDiscount,
    ColDiscountPrice,
    ColLineTotal,
    ColMustInt,
    ColCode,
    ColUnit,
    ColCost,
    CartColumnCount
};

// Header texts of the cart columns.
QString CartHeader(int column);

// One cart row. The figures are held as the values their display texts show: prices and cost
// in whole fen, the quantity as "%g" prints it, the discount as its text.
struct CartRow {
    int productId = 0;
    int rowNo = 0;
    QString prefix; // "[特] ", "[赠] " or empty
    QString name;
    double stock = 0;
    double quantity = 1;
    QString unit;
    double price = 0;
    QString discount = QStringLiteral("10");
    double discountPrice = 0;
    int mustIntNum = 0;
    int property = 0;
    QString code;
    double cost = 0;

    // Unrounded discounted price × quantity; column 6 shows it to the fen.
    double lineAmount() const { return discountPrice * quantity; }
    // What column 6 holds: the line rounded to the fen.
    double lineTotal() const;
    double discountValue() const;
    bool integerOnly() const { return mustIntNum == 1; }
    // Column 1 up to its last blank: the prefix stays, the stock goes.
    QString lineName() const { return prefix + name; }
    QString text(int column) const;
};

// The running totals of the cart.
struct CartTotals {
    double costTotal = 0;
    double listTotal = 0;
    double discountedTotal = 0; // unrounded sum of the lines
    double specialOfferAmount = 0;
    int productCount = 0;
    int points = 0;

    // "优惠后总价": the amount due, as shown.
    double amountDue() const;
    QString amountDueText() const;
    QString listTotalText() const;
    QString pointsText() const { return QString::number(points); }
    QString productCountText() const { return QString::number(productCount); }
};

// "结算" on the sale screen is refused with nothing in the cart ("请选择商品") and, once the
// member is settled, with nothing to pay ("实收价格不能为0": the discounts took the amount due
// to nothing or below). Each returns the refusal, or an empty text when the sale may go on.
QString CheckCartHasProducts(const CartTotals& totals);
QString CheckAmountDue(const CartTotals& totals);

// Points earned by an eligible amount: its whole yuan divided by the points rate, remainder
// dropped; never negative.
int PointsForAmount(double amount, int yuanToInteral);

// What the quantity popup gives back on OK.
struct CartEdit {
    double quantity = 0;
    double discount = 10;     // the chosen entry of the discount list
    double discountPrice = 0; // as typed
    bool sameForAll = false;  // "统一折扣"
};

// The cart of the sale screen and all its arithmetic.
class Cart final {
public:
    const QList<CartRow>& rows() const { return m_rows; }
    int size() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    int findProduct(int productId) const;

    // Adds a product, or with `increment` raises its quantity by one and refills the row from the
    // record (which resets its discount). Without `increment` a product already in the cart is
    // left as it is. Returns the row index.
    int add(const SaleProduct& product, bool increment);
    // Appends a row filled elsewhere (a returned line of an earlier sale), numbered as add()
    // numbers; a product already in the cart is left as it is. Returns the row index.
    int append(const CartRow& row);
    void remove(int row);
    // "数量 +1" / "数量 -1"; -1 does nothing at a quantity of 1 or below. True when changed.
    bool increment(int row);
    bool decrement(int row);
    // The popup's OK. With "统一折扣" every row gets the chosen discount; otherwise only this
    // row changes, and only when something differs from what the popup was given.
    void applyEdit(int row, const CartEdit& edit);
    void clear() { m_rows.clear(); }

    CartTotals totals(const StoreSettings& settings) const;

private:
    QList<CartRow> m_rows;
};

// Normalises a quantity to the value "%g" shows.
double ShownQuantity(double quantity);

} // namespace selvo
