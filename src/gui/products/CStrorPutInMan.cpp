#include "gui/products/CStrorPutInMan.h"

#include "core/products/Purchasing.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/PostingOutcome.h"
#include "gui/app/Toast.h"
#include "gui/products/CStorInDlg.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/FieldParts.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
enum OrderColumn { OrdDate = 0, OrdTotal, OrdBuyer, OrdCode, OrdPaid, OrdKind };
} // namespace

CStrorPutInMan::CStrorPutInMan(AppContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_orders(new CListCtrlPlus(this)),
      m_details(new CListCtrlPlus(this)), m_time(ReadOnlyField(this, QStringLiteral("采购时间："), 0)),
      m_total(ReadOnlyField(this, QStringLiteral("商品总价："), 0)),
      m_buyer(ReadOnlyField(this, QStringLiteral("采购人员："), 0)),
      m_paid(Named(new QCheckBox(QStringLiteral("已结清货款"), this), QStringLiteral("已结清货款"))),
      m_cancelOrder(new QPushButton(QStringLiteral("撤销此订单"), this)) {
    setWindowTitle(QStringLiteral("采购入库管理"));
    setAccessibleName(windowTitle());
    m_cancelOrder->setAccessibleName(m_cancelOrder->text());
    m_orders->setAccessibleName(QStringLiteral("进出库历史"));
    m_details->setAccessibleName(QStringLiteral("订单详情"));

    m_orders->addColumn(QStringLiteral("进货日期"), 100, Qt::AlignHCenter);
    m_orders->addColumn(QStringLiteral("总价"), 55, Qt::AlignRight);
    m_orders->addColumn(QStringLiteral("采购员"), 90, Qt::AlignHCenter);
    m_orders->addColumn(QStringLiteral("进货单号"), 0, Qt::AlignHCenter);
    m_orders->addColumn(QStringLiteral("已结"), 40, Qt::AlignHCenter);
    m_orders->addColumn(QStringLiteral("类型"), 60, Qt::AlignHCenter);
    m_details->addColumn(QStringLiteral("产品编号"), 80, Qt::AlignLeft);
    m_details->addColumn(QStringLiteral("产品名称"), 100, Qt::AlignLeft);
    m_details->addColumn(QStringLiteral("数量"), 60, Qt::AlignRight);
    m_details->addColumn(QStringLiteral("采购价"), 60, Qt::AlignRight);
    m_details->addColumn(QStringLiteral("折扣"), 40, Qt::AlignRight);
    m_details->addColumn(QStringLiteral("折扣价(￥)"), 60, Qt::AlignRight);
    m_details->addColumn(QStringLiteral("总价"), 60, Qt::AlignRight);

    auto* purchase = new QPushButton(QStringLiteral("采购入库"), this);
    auto* giveBack = new QPushButton(QStringLiteral("采购退货"), this);
    for (QPushButton* b : {purchase, giveBack})
        b->setAccessibleName(b->text());

    auto* history = new QGroupBox(QStringLiteral("进出库历史"), this);
    auto* historyLayout = new QVBoxLayout(history);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(purchase);
    buttons->addWidget(giveBack);
    buttons->addStretch(1);
    historyLayout->addLayout(buttons);
    historyLayout->addWidget(m_orders);

    auto* detail = new QGroupBox(QStringLiteral("订单详情"), this);
    auto* detailLayout = new QVBoxLayout(detail);
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("采购时间："), detail), 0, 0);
    fields->addWidget(m_time, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("商品总价："), detail), 0, 2);
    fields->addWidget(m_total, 0, 3);
    fields->addWidget(new QLabel(QStringLiteral("采购人员："), detail), 1, 0);
    fields->addWidget(m_buyer, 1, 1);
    fields->addWidget(m_paid, 1, 2);
    fields->addWidget(m_cancelOrder, 1, 3);
    detailLayout->addLayout(fields);
    detailLayout->addWidget(m_details);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(history, 1);
    layout->addWidget(detail, 1);
    resize(900, 480);

    for (const PurchaseOrder& order : ListPurchaseOrders(context))
        m_orders->addRow(PurchaseOrderColumns(order));
    m_paid->hide();
    m_cancelOrder->hide();

    connect(purchase, &QPushButton::clicked, this, [this] { runEntry(PurchaseIn); });
    connect(giveBack, &QPushButton::clicked, this, [this] { runEntry(PurchaseReturn); });
    connect(m_orders, &CListCtrlPlus::selectedRowChanged, this, &CStrorPutInMan::orderSelected);
    connect(m_paid, &QCheckBox::toggled, this, &CStrorPutInMan::paidToggled);
    connect(m_cancelOrder, &QPushButton::clicked, this, &CStrorPutInMan::cancelSelected);
}

CStrorPutInMan::~CStrorPutInMan() = default;

void CStrorPutInMan::runEntry(int mode) {
    CStorInDlg dlg(m_context, mode, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_orders->insertRow(0, PurchaseOrderColumns(dlg.savedOrder()));
    m_orders->setSelectedRow(0);
    m_orders->setFocus();
}

void CStrorPutInMan::showPaidMark(bool paid) {
    const QSignalBlocker block(m_paid);
    m_paid->setChecked(paid);
}

void CStrorPutInMan::orderSelected(int row) {
    m_selected = row;
    m_details->clear();
    m_time->clear();
    m_total->clear();
    m_buyer->clear();
    m_paid->hide();
    m_cancelOrder->hide();
    if (row < 0)
        return;
    m_time->setText(m_orders->itemText(row, OrdDate));
    m_total->setText(m_orders->itemText(row, OrdTotal));
    m_buyer->setText(m_orders->itemText(row, OrdBuyer));
    showPaidMark(m_orders->itemText(row, OrdPaid) == PaidMark(true));
    for (const PurchaseLine& line : ListPurchaseLines(m_context, m_orders->itemText(row, OrdCode)))
        m_details->addRow(PurchaseLineColumns(line));
    m_paid->show();
    m_cancelOrder->show();
}

void CStrorPutInMan::paidToggled(bool) {
    const int row = m_selected;
    if (row < 0 || row >= m_orders->rowCount())
        return;
    const bool paid = m_orders->itemText(row, OrdPaid) != PaidMark(true);
    if (!SetPurchasePaid(m_context, m_orders->itemText(row, OrdCode), paid)) {
        ToastError(this, QStringLiteral("状态修改失败"));
        showPaidMark(!paid);
        return;
    }
    ToastSuccess(this, QStringLiteral("状态已修改"));
    m_orders->setItemText(row, OrdPaid, PaidMark(paid));
}

void CStrorPutInMan::cancelSelected() {
    const int row = m_selected;
    if (row < 0 || row >= m_orders->rowCount())
        return;
    if (!Messages::ask(this, QStringLiteral("确认要撤销进货订单吗？"), QString()))
        return;
    const PurchaseCancelResult r =
        CancelPurchase(m_context, m_orders->itemText(row, OrdCode), m_orders->itemText(row, OrdTotal),
                       m_orders->itemText(row, OrdBuyer), m_orders->itemText(row, OrdDate));
    if (r.nothing)
        return;
    if (!r.ok) {
        ShowPostingFailure(this, PostFailure::Toast, r.message);
        return;
    }
    ShowPostingDone(this, QStringLiteral("订单已撤销"));
    m_orders->removeRow(row);
    m_orders->setSelectedRow(m_orders->rowCount() > 0 ? 0 : -1);
    m_orders->setFocus();
}

} // namespace selvo::gui
