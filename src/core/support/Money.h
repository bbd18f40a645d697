#pragma once

#include <QString>

namespace selvo {

// "￥%.2f": the one way money is shown.
QString FormatMoney(double yuan);
// "%.2f" without the sign.
QString FormatAmount(double yuan);
// "%g": quantities.
QString FormatQuantity(double quantity);

// What an amount field holds, read the one way every screen reads it: the text without its
// yuan signs ("￥", and the half-width "¥" some keyboards type) and outer blanks, then its
// leading number (ParseLeadingNumber: "12abc" is 12, "abc" is 0), to the fen.
double ParseMoneyText(const QString& text);
// The text of an amount field without its yuan signs and outer blanks, for the checks that
// want the whole text to be a number (IsWholeNumberText).
QString StripMoneySigns(const QString& text);

// Sums of money agree when they agree to the fen: half a fen is the tolerance of every comparison.
inline constexpr double kHalfFen = 0.005;
// `have` is enough for `need` (at most half a fen short).
inline bool MoneyCovers(double have, double need) {
    return have >= need - kHalfFen;
}
// Nothing to the fen: less than half a fen either way.
inline bool IsZeroMoney(double yuan) {
    return yuan > -kHalfFen && yuan < kHalfFen;
}

// The bounds every figure is held to before it is written, whoever computed it: a screen, the
// command line or a caller that never went through a screen's checks.
//
// The largest sum of money one posting, recharge or deduction moves.
inline constexpr double kMaxMoney = 99999999.99;
// Points are stored in 32-bit integers.
inline constexpr double kMaxPoints = 2147483647.0;
// Anything else a row carries (a line's cost or profit, a quantity): finite and below this.
inline constexpr double kMaxFigure = 1e15;

enum class FigureSign { NonNegative, Any, NonPositive };

// A sum of money: finite, at most kMaxMoney either way, of the given sign.
bool IsValidMoney(double yuan, FigureSign sign = FigureSign::NonNegative);
// Points: a whole number within 32 bits, of the given sign.
bool IsValidPoints(double points, FigureSign sign = FigureSign::NonNegative);
// Any other figure: finite and at most kMaxFigure either way.
bool IsValidFigure(double value);

// The refusal when a figure fails these checks: "<what>无效（…），未保存".
QString InvalidFigureText(const QString& what, double value);

} // namespace selvo
