#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

namespace selvo {

// The CSV file of a report list, in GB18030 (byte for byte GBK wherever GBK holds the text,
// so spreadsheet programs on Chinese systems open it as before, and nothing else is lost).
// Line 1: the column titles with the trailing commas removed (an empty last title drops out);
// then one line per row with every column, zero-width ones included. Lines end in CR LF.
// A field holding a comma, a double quote or a line break is quoted, inner quotes doubled,
// so it stays one field. A row shorter than the titles is padded with empty fields.
QByteArray EncodeCsv(const QStringList& titles, const QList<QStringList>& rows);

} // namespace selvo
