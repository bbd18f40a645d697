#include "gui/widgets/ListCsv.h"

#include "core/support/Csv.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QHeaderView>

namespace selvo::gui {

QByteArray ListCsv(CListCtrlPlus* list) {
    list->fetchAll();
    QList<int> order; // logical columns in display order
    for (int visual = 0; visual < list->columnCount(); ++visual)
        order << list->horizontalHeader()->logicalIndex(visual);
    QStringList titles;
    for (int column : std::as_const(order))
        titles << list->columnCaption(column);
    QList<QStringList> rows;
    rows.reserve(list->rowCount());
    for (int row = 0; row < list->rowCount(); ++row) {
        QStringList texts;
        for (int column : std::as_const(order))
            texts << list->itemText(row, column);
        rows << texts;
    }
    return EncodeCsv(titles, rows);
}

} // namespace selvo::gui
