#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <string>

namespace selvo {

// One worksheet of an Office Open XML workbook (.xlsx), read through QuaZip and
// QXmlStreamReader. Cells come as texts the way the .xls reader gives them: numbers as their
// shortest decimal text, dates as "YYYY-MM-DD" (with " HH:MM:SS" when the format shows a time),
// times as "HH:MM:SS", booleans as "1"/"0", empty cells as empty texts. Every row is padded to
// the sheet's width; missing rows between rows with cells are empty rows.
struct XlsxSheet {
    enum Failure { None, OpenFailed, NoWorksheet, ReadFailed };
    QList<QStringList> rows;
    Failure failure = None; // ReadFailed keeps the rows read before the fault
};

// The worksheet named `sheet` (exact name first, then without regard to case).
XlsxSheet ReadXlsxSheet(const QString& path, const QString& sheet);

// The shortest decimal text that reads back as `value`, never in exponent form, so a bar code
// typed as a number stays its digits. Plain C++ only: the .xls reader's child process uses it.
std::string ShortestDecimalText(double value);

} // namespace selvo
