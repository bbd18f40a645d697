#pragma once

#include <QByteArray>

namespace selvo::gui {

class CListCtrlPlus;

// What a report list holds as CSV text: every column in display order (hidden ones too) under
// its caption, then every row (a paged list is read to its end first).
QByteArray ListCsv(CListCtrlPlus* list);

} // namespace selvo::gui
