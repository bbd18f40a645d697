#include "gui/products/CPrdNumDlg.h"

#include "core/sales/QuantityEdit.h"
#include "core/support/Money.h"
#include "core/support/Number.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Toast.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cmath>

namespace selvo::gui {

CPrdNumDlg::CPrdNumDlg(const Row& row, QPoint topLeft, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_row(row), m_topLeft(topLeft),
      m_title(new QLabel(QuantityPopupTitle(row.name, row.unitPrice), this)),
      m_discount(Named(new QComboBox(this), QStringLiteral("折扣："))),
      m_quantity(Named(new QLineEdit(FormatQuantity(row.quantity), this), QStringLiteral("数量："))),
      m_discountPrice(
          Named(new QLineEdit(FormatAmount(row.discountPrice), this), QStringLiteral("折扣价："))),
      m_sameForAll(Named(new QCheckBox(QStringLiteral("统一折扣"), this), QStringLiteral("统一折扣"))) {
    setAccessibleName(QStringLiteral("修改数量"));
    setFrameStyle();
    m_discount->addItems(DiscountChoices());
    m_discount->setCurrentIndex(InitialDiscountChoice(row.discount));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("数量："), m_quantity);
    form->addRow(QStringLiteral("折扣："), m_discount);
    form->addRow(QStringLiteral("折扣价："), m_discountPrice);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addLayout(form);
    layout->addWidget(m_sameForAll);
    layout->addWidget(OkCancelButtons(this));

    connect(m_discount, &QComboBox::activated, this, &CPrdNumDlg::discountChosen);
    connect(m_discountPrice, &QLineEdit::textChanged, this, &CPrdNumDlg::discountPriceTyped);
}

CPrdNumDlg::~CPrdNumDlg() = default;

void CPrdNumDlg::setFrameStyle() {
    // Without a caption the popup still needs an edge against the list below it.
    setStyleSheet(QStringLiteral("QDialog { border: 1px solid #808080; }"));
}

void CPrdNumDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    move(m_topLeft);
    m_quantity->setFocus();
    m_quantity->selectAll();
}

double CPrdNumDlg::chosenDiscount() const {
    return ParseLeadingNumber(m_discount->currentText());
}

void CPrdNumDlg::discountChosen() {
    if (m_discountPrice->hasFocus())
        return;
    const QSignalBlocker block(m_discountPrice);
    m_discountPrice->setText(DiscountPriceText(chosenDiscount(), m_row.unitPrice));
}

void CPrdNumDlg::discountPriceTyped() {
    if (m_discount->hasFocus() || std::fabs(m_row.unitPrice) < 0.000001)
        return;
    const int index = DiscountChoiceFor(ParseLeadingNumber(m_discountPrice->text()) * 10 / m_row.unitPrice);
    if (index >= 0)
        m_discount->setCurrentIndex(index);
}

void CPrdNumDlg::accept() {
    const CartEditCheck check =
        CheckCartEdit(m_row.name, m_row.integerOnly, m_quantity->text(), chosenDiscount(),
                      m_discountPrice->text(), m_sameForAll->isChecked());
    if (!check.ok()) {
        ShowToast(check.refusal, kToastRed, check.seconds, 0, this);
        QLineEdit* field = check.field == EditField::DiscountPrice ? m_discountPrice : m_quantity;
        field->setFocus();
        field->selectAll();
        return;
    }
    m_edit = check.edit;
    QDialog::accept();
}

} // namespace selvo::gui
