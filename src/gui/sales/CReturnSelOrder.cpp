#include "gui/sales/CReturnSelOrder.h"

#include "core/sales/Returns.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Toast.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QVBoxLayout>

namespace selvo::gui {

CReturnSelOrder::CReturnSelOrder(AppContext& ctx, int memberId, QWidget* parent)
    : QDialog(parent), m_list(new CListCtrlPlus(this)) {
    setWindowTitle(ReturnSelOrderCaption(ctx, memberId));
    setAccessibleName(windowTitle());
    m_list->setAccessibleName(QStringLiteral("订单列表"));
    m_list->addColumn(QStringLiteral("订单号"), 120, Qt::AlignCenter);
    m_list->addColumn(QStringLiteral("消费时间"), 120, Qt::AlignCenter);
    m_list->addColumn(QStringLiteral("价格"), 120, Qt::AlignRight);
    m_list->addColumn(QStringLiteral("支付方式"), 80, Qt::AlignCenter);
    m_list->addColumn(QStringLiteral("操作员"), 80, Qt::AlignCenter);
    if (const auto orders = ReturnableOrders(ctx, memberId)) {
        for (const ReturnableOrder& o : *orders)
            m_list->addRow({o.orderNo, o.saleTime, o.price, o.payType, o.operatorName});
    } else {
        ToastError(this, QStringLiteral("打开订单失败"));
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(OkCancelButtons(this));
    resize(560, 420);
    connect(m_list, &CListCtrlPlus::itemDoubleClicked, this, [this](int row, int) { take(row); });
}

CReturnSelOrder::~CReturnSelOrder() = default;

void CReturnSelOrder::take(int row) {
    if (row < 0 || row >= m_list->rowCount())
        return;
    m_orderNo = m_list->itemText(row, 0);
    QDialog::accept();
}

void CReturnSelOrder::accept() {
    // Without a chosen row there is nothing to take; the picker stays open.
    take(m_list->selectedRow());
}

} // namespace selvo::gui
