#pragma once

#include "core/products/ProductList.h"

#include <QList>
#include <QString>

#include <functional>

class QWidget;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// "获取模板": proposes "产品导入模板(<local time>).xls" in a save dialog and copies the delivered
// template there, then shows the copy in the file manager. A failed copy is said so.
void SaveTemplateCopy(QWidget* parent, const QString& templateFolder);

// "导入产品": picks a workbook (.xls or .xlsx), imports it batch by batch under a progress
// dialog with a cancel button, hands each batch's new products to `added` and closes with the
// counters. Cancelling keeps what was imported and reports the counters so far.
void ImportProductsFromFile(AppContext& ctx, QWidget* parent,
                            const std::function<void(const QList<ProductRow>&)>& added);

// The open dialog's filter.
QString ImportFileFilter(); // "(*.xls *.xlsx)"

} // namespace selvo::gui
