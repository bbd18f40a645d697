#include "gui/products/CPrdCheckRecord.h"

#include "core/products/StockTake.h"
#include "core/support/Money.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QVBoxLayout>

namespace selvo::gui {

CPrdCheckRecord::CPrdCheckRecord(AppContext& context, const QString& productCode, const QString& productName,
                                 QWidget* parent)
    : QDialog(parent), m_list(new CListCtrlPlus(this)) {
    setWindowTitle(StockTakeRecordCaption(productName));
    setAccessibleName(windowTitle());
    m_list->setAccessibleName(QStringLiteral("盘点记录"));
    m_list->addColumn(QStringLiteral("操作人员"), 100, Qt::AlignHCenter);
    m_list->addColumn(QStringLiteral("盘点时间"), 120, Qt::AlignHCenter);
    m_list->addColumn(QStringLiteral("增减数量"), 80, Qt::AlignRight);
    m_list->addColumn(QStringLiteral("备注"), 130, Qt::AlignLeft);
    for (const StockTakeRecord& r : ListStockTakes(context, productCode))
        m_list->addRow({r.operatorName, r.when.toString(QStringLiteral("yy-MM-dd HH:mm:ss")),
                        FormatQuantity(r.change), r.remark});
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    resize(470, 360);
}

CPrdCheckRecord::~CPrdCheckRecord() = default;

} // namespace selvo::gui
