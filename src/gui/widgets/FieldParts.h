#pragma once

#include <QLineEdit>
#include <QString>

namespace selvo::gui {

// Small pieces the screens' value fields share.

// Text colour from a 0x00BBGGRR value.
void SetTextColour(QWidget* widget, quint32 colorRef);
// A read-only one-line field named by its caption.
QLineEdit* ReadOnlyField(QWidget* parent, const QString& caption, quint32 colorRef);
// Makes `field` at least wide enough to show `sample` whole in its own font (never narrower
// than it is allowed to be already).
void FitWidthTo(QLineEdit* field, const QString& sample);
// Confirmation texts are written with "\r\n" line breaks; a box wants "\n".
QString BoxText(const QString& text);

// Colours of the member and total fields.
inline constexpr quint32 kFieldBlue = 0xFF0000;
inline constexpr quint32 kFieldGrey = 0x606060;
inline constexpr quint32 kFieldRed = 255;

} // namespace selvo::gui
