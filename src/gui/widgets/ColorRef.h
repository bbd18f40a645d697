#pragma once

#include <QColor>

namespace selvo::gui {

// Colour values are written the way the shop's screens always wrote them: 0x00BBGGRR,
// red in the low byte. 255 is red, 0xFDBD13 is the light blue of success messages.
constexpr QRgb RgbFromColorRef(quint32 colorRef) {
    return qRgb(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

inline QColor ColorFromRef(quint32 colorRef) {
    return QColor::fromRgb(RgbFromColorRef(colorRef));
}

// The two toast colours every screen uses.
inline constexpr quint32 kToastRed = 255;
inline constexpr quint32 kToastBlue = 0xFDBD13;

} // namespace selvo::gui
