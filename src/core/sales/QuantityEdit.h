#pragma once

#include "core/sales/Cart.h"

#include <QString>
#include <QStringList>

namespace selvo {

// Rules of the quantity/discount popup of the cart.

// The discount list: "%g" of 0.1, 0.2, … 12 (120 entries).
QStringList DiscountChoices();
// The entry selected on opening: the first one that begins with "%g" of the row's discount,
// else "10".
int InitialDiscountChoice(double discount);
// The entry for a discount computed from a typed discounted price, rounded to one decimal;
// -1 when the list has none (the selection then stays).
int DiscountChoiceFor(double discount);
// The discounted price a discount gives: "%.2f" of discount × unit price ÷ 10.
QString DiscountPriceText(double discount, double unitPrice);
// The popup's title: the name followed by " (%.2f)" of the unit price.
QString QuantityPopupTitle(const QString& name, double unitPrice);

// Largest quantity and price a till takes; beyond them "%g" and "%.2f" stop showing the value.
inline constexpr double kMaxQuantity = 999999;
inline constexpr double kMaxPrice = 99999999;

enum class EditField { None, Quantity, DiscountPrice };

// The popup's OK: either a refusal (text, seconds, field to refocus) or the edit to apply.
struct CartEditCheck {
    QString refusal;
    double seconds = 1.5;
    EditField field = EditField::None;
    CartEdit edit;
    bool ok() const { return refusal.isEmpty(); }
};
CartEditCheck CheckCartEdit(const QString& name, bool integerOnly, const QString& quantityText,
                            double discount, const QString& discountPriceText, bool sameForAll);

} // namespace selvo
