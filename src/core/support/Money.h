#pragma once

#include <QString>

namespace selvo {

// "￥%.2f": the one way money is shown.
QString FormatMoney(double yuan);
// "%.2f" without the sign.
QString FormatAmount(double yuan);
// "%g": quantities.
QString FormatQuantity(double quantity);

} // namespace selvo
