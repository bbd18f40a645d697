#pragma once

#include <QString>

namespace selvo {

// "￥%.2f": the one way money is shown.
QString FormatMoney(double yuan);
// "%.2f" without the sign.
QString FormatAmount(double yuan);
// "%g": quantities.
QString FormatQuantity(double quantity);

// The walk-in customer in orders, order lines and pickers.
inline constexpr int kWalkInMember = -1;
inline bool IsWalkIn(int memberId) {
    return memberId == kWalkInMember;
}

} // namespace selvo
