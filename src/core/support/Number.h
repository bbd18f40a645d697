#pragma once

#include <QString>

namespace selvo {

// The leading-number parse every typed or displayed figure goes through: skip leading blanks,
// read the longest prefix that forms a decimal number (optional sign, digits, decimal point,
// exponent) and ignore the rest. Text without a number gives 0. Only decimal: "nan", "inf"
// and "0x10" (which reads 0) are not numbers. A result that does not fit a double gives 0.
double ParseLeadingNumber(const QString& text);

// The same parse stopped at the decimal point (and at an exponent): "12.9" gives 12. Values
// beyond the 32-bit range give 0.
int ParseLeadingInt(const QString& text);

// True when the text, trimmed, holds a number and nothing else.
bool IsWholeNumberText(const QString& text);

// Rounds as "%.2f" prints: the value the screen shows is the value that is used.
double RoundCents(double value);

} // namespace selvo
