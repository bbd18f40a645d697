#pragma once

#include <QString>
#include <QStringList>

namespace selvo {

struct AppContext;

// The measuring units live in one text, each name followed by "|" ("个|件|公斤|"), in the
// first tb_Units row by ID.

// The stored text; empty when there is no row or it cannot be read.
QString ReadUnitsText(AppContext& ctx);
// Writes the stored text into that row. False when there is no row or the write fails.
bool SaveUnitsText(AppContext& ctx, const QString& units);

// One entry per piece before a "|", in stored order (an empty piece is an empty entry);
// text after the last "|" is not a unit.
QStringList SplitUnits(const QString& units);
// The units editor shows one unit per line.
QString UnitsToEditorText(const QString& units);
// Back from the editor: trimmed at both ends, each line break becomes "|", and a final "|"
// is added when missing. Empty lines stay as empty units.
QString UnitsFromEditorText(const QString& text);

} // namespace selvo
