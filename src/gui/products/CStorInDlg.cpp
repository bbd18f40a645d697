#include "gui/products/CStorInDlg.h"

#include "core/support/Money.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/PostingOutcome.h"
#include "gui/app/Toast.h"
#include "gui/products/CPrdNumDlg.h"
#include "gui/products/CSelPrdDlg.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/FieldParts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

CStorInDlg::CStorInDlg(AppContext& context, int mode, QWidget* parent)
    : QDialog(parent), m_context(context), m_mode(mode), m_list(new CListCtrlPlus(this)),
      m_add(new QPushButton(QStringLiteral("添加商品"), this)),
      m_paid(Named(new QCheckBox(QStringLiteral("货款已结清"), this), QStringLiteral("货款已结清"))),
      m_total(ReadOnlyField(this, QStringLiteral("商品总价："), kFieldRed)),
      m_count(ReadOnlyField(this, QStringLiteral("产品数量："), kFieldRed)),
      m_save(new QPushButton(QStringLiteral("确认并保存"), this)),
      m_cancel(new QPushButton(QStringLiteral("取消"), this)) {
    setWindowTitle(PurchaseCaption(mode));
    setAccessibleName(windowTitle());
    for (QPushButton* b : {m_add, m_save, m_cancel})
        b->setAccessibleName(b->text());
    m_list->setAccessibleName(QStringLiteral("商品列表"));

    const struct {
        int width;
        Qt::Alignment alignment;
    } columns[PurchaseColumnCount] = {{0, Qt::AlignLeft},   {100, Qt::AlignLeft}, {60, Qt::AlignRight},
                                      {80, Qt::AlignLeft},  {40, Qt::AlignRight}, {80, Qt::AlignRight},
                                      {60, Qt::AlignRight}, {0, Qt::AlignLeft},   {0, Qt::AlignLeft},
                                      {0, Qt::AlignRight}};
    for (int c = 0; c < PurchaseColumnCount; ++c)
        m_list->addColumn(PurchaseHeader(c, mode), columns[c].width, columns[c].alignment);
    m_list->setHighlightColumns({PurColQuantity, PurColDiscount, PurColDiscountPrice});
    m_paid->setChecked(true);
    m_total->setText(FormatMoney(0));
    m_count->setText(QStringLiteral("0"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_add);
    top->addStretch(1);
    top->addWidget(m_paid);
    auto* sums = new QHBoxLayout;
    sums->addWidget(new QLabel(QStringLiteral("商品总价："), this));
    sums->addWidget(m_total);
    sums->addWidget(new QLabel(QStringLiteral("产品数量："), this));
    sums->addWidget(m_count);
    sums->addStretch(1);
    sums->addWidget(m_save);
    sums->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(sums);
    resize(620, 420);

    connect(m_add, &QPushButton::clicked, this, &CStorInDlg::pickProducts);
    connect(m_save, &QPushButton::clicked, this, &CStorInDlg::save);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &CListCtrlPlus::itemClicked, this, [this](int row, int column) {
        if (column == PurColQuantity || column == PurColDiscount || column == PurColDiscountPrice)
            editRow(row);
    });
}

CStorInDlg::~CStorInDlg() = default;

void CStorInDlg::pickProducts() {
    CSelPrdDlg dlg(m_context, this);
    if (dlg.exec() != QDialog::Accepted || dlg.idsText().isEmpty())
        return;
    addProducts(dlg.idsText());
}

void CStorInDlg::addProducts(const QString& pickedIds) {
    const QList<SaleProduct> products = LoadPurchaseProducts(m_context, pickedIds);
    if (products.isEmpty()) {
        ToastError(this, QStringLiteral("无法找到产品信息"));
        return;
    }
    m_entries.add(products);
    refresh();
}

void CStorInDlg::refresh() {
    m_list->clear();
    for (int row = 0; row < m_entries.size(); ++row) {
        QStringList texts;
        for (int c = 0; c < PurchaseColumnCount; ++c)
            texts << m_entries.text(row, c);
        m_list->addRow(texts, m_entries.cart().rows()[row].productId);
    }
    m_total->setText(m_entries.totalValueText());
    m_count->setText(m_entries.itemCountText());
}

void CStorInDlg::editRow(int row) {
    if (row < 0 || row >= m_entries.size())
        return;
    const CartRow& r = m_entries.cart().rows()[row];
    const CPrdNumDlg::Row popup{m_entries.text(row, PurColName),
                                r.integerOnly(),
                                r.quantity,
                                r.price,
                                r.discountPrice,
                                r.discountValue()};
    const QRect cell = m_list->visualRect(m_list->model()->index(row, PurColQuantity));
    const QPoint corner = m_list->viewport()->mapToGlobal(cell.bottomLeft()) - QPoint(50, 0);
    CPrdNumDlg dlg(popup, corner, this);
    if (dlg.exec() != QDialog::Accepted)
        return;
    m_entries.applyEdit(row, dlg.edit());
    refresh();
}

void CStorInDlg::save() {
    const PurchaseSaveResult r = SavePurchase(m_context, m_entries, m_mode, m_paid->isChecked());
    if (!r.ok) {
        ShowPostingFailure(this, PostFailure::Toast, r.message);
        return;
    }
    m_saved = r.order;
    ShowPostingDone(nullptr, PurchaseDoneText(m_mode));
    accept();
}

} // namespace selvo::gui
