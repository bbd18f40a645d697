#include "gui/products/CPrdCheck.h"

#include "core/products/StockTake.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Toast.h"
#include "gui/widgets/FieldParts.h"

#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace selvo::gui {

CPrdCheck::CPrdCheck(AppContext& context, const QString& productCode, QWidget* parent)
    : QDialog(parent), m_context(context), m_code(productCode),
      m_name(ReadOnlyField(this, QStringLiteral("产品名称："), 0)),
      m_stock(ReadOnlyField(this, QStringLiteral("当前库存："), 0)),
      m_newStock(Named(new QLineEdit(this), QStringLiteral("库存调整为："))),
      m_reason(Named(new QPlainTextEdit(this), QStringLiteral("原因："))) {
    setWindowTitle(QStringLiteral("盘点"));
    setAccessibleName(windowTitle());
    m_reason->setTabChangesFocus(true);

    const StockTakeProduct product = LoadStockTakeProduct(context, productCode);
    if (product.found) {
        m_mustIntNum = product.mustIntNum;
        m_name->setText(product.name);
        m_stock->setText(product.stockText);
        m_newStock->setText(product.stockText);
    }

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("产品名称："), m_name);
    form->addRow(QStringLiteral("当前库存："), m_stock);
    form->addRow(QStringLiteral("库存调整为："), m_newStock);
    form->addRow(QStringLiteral("原因："), m_reason);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
    resize(340, 260);
}

CPrdCheck::~CPrdCheck() = default;

void CPrdCheck::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_newStock->setFocus();
    m_newStock->selectAll();
}

void CPrdCheck::accept() {
    m_result = m_newStock->text();
    const StockTakeResult r =
        BookStockTake(m_context, m_code, m_mustIntNum, m_stock->text(), m_result, m_reason->toPlainText());
    if (!r.ok) {
        ToastError(this, r.message);
        m_newStock->setFocus();
        m_newStock->selectAll();
        return;
    }
    ShowToast(QStringLiteral("盘点完成"), kToastBlue, 1.5, 0, nullptr);
    QDialog::accept();
}

} // namespace selvo::gui
