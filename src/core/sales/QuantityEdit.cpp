#include "core/sales/QuantityEdit.h"

#include "core/support/Number.h"

#include <cmath>

namespace selvo {

namespace {
constexpr int kDiscountSteps = 120;
} // namespace

QStringList DiscountChoices() {
    QStringList list;
    list.reserve(kDiscountSteps);
    for (int i = 1; i <= kDiscountSteps; ++i)
        list << QString::asprintf("%g", i / 10.0);
    return list;
}

int InitialDiscountChoice(double discount) {
    const QStringList list = DiscountChoices();
    const QString wanted = QString::asprintf("%g", discount);
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].startsWith(wanted))
            return i;
    }
    return int(list.indexOf(QStringLiteral("10")));
}

int DiscountChoiceFor(double discount) {
    if (!std::isfinite(discount))
        return -1;
    const long tenths = std::lround(discount * 10);
    return tenths >= 1 && tenths <= kDiscountSteps ? int(tenths - 1) : -1;
}

QString DiscountPriceText(double discount, double unitPrice) {
    return QString::asprintf("%.2f", discount * unitPrice / 10);
}

QString QuantityPopupTitle(const QString& name, double unitPrice) {
    return name + QString::asprintf(" (%.2f)", unitPrice);
}

CartEditCheck CheckCartEdit(const QString& name, bool integerOnly, const QString& quantityText,
                            double discount, const QString& discountPriceText, bool sameForAll) {
    CartEditCheck check;
    const double quantity = ParseLeadingNumber(quantityText);
    // "1e-1" has no decimal point but is no whole number either.
    if (integerOnly && (quantityText.contains(QLatin1Char('.')) ||
                        (IsWholeNumberText(quantityText) && quantity != std::trunc(quantity)))) {
        check.refusal = name + QStringLiteral(" 数量必须为整数");
        check.seconds = 0.8;
        check.field = EditField::Quantity;
        return check;
    }
    if (quantity < 0.000001) {
        check.refusal = QStringLiteral("数量不能小于0");
        check.field = EditField::Quantity;
        return check;
    }
    if (!IsWholeNumberText(quantityText) || quantity > kMaxQuantity) {
        check.refusal = QStringLiteral("请输入正确的数量");
        check.field = EditField::Quantity;
        return check;
    }
    const double discountPrice = ParseLeadingNumber(discountPriceText);
    if (!sameForAll &&
        (!IsWholeNumberText(discountPriceText) || discountPrice < 0 || discountPrice > kMaxPrice)) {
        check.refusal = QStringLiteral("请输入正确的折扣价");
        check.field = EditField::DiscountPrice;
        return check;
    }
    check.edit.quantity = quantity;
    check.edit.discount = discount;
    check.edit.discountPrice = discountPrice;
    check.edit.sameForAll = sameForAll;
    return check;
}

} // namespace selvo
