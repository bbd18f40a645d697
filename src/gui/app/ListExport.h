#pragma once

#include <QString>

class QWidget;

namespace selvo::gui {

class CListCtrlPlus;

// Saves what a report list holds to a CSV file the operator chooses ("导出到Excel"): every
// column in display order (hidden ones too), every row (a paged list is read to its end),
// then shows the file in the file manager.
// Returns false when the list is empty (toast "没有可导出的数据") or the file could not be
// written (message box); true otherwise, also when the operator cancels the file choice.
bool ExportListToCsv(const QString& proposedName, CListCtrlPlus* list, QWidget* owner = nullptr);

} // namespace selvo::gui
