#include "gui/products/CUnitDlg.h"

#include "core/products/Units.h"
#include "gui/app/Toast.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

CUnitDlg::CUnitDlg(AppContext& context, QWidget* parent)
    : QDialog(parent), m_context(context), m_edit(new QPlainTextEdit(this)) {
    setWindowTitle(QStringLiteral("计量单位"));
    setAccessibleName(windowTitle());
    m_edit->setAccessibleName(QStringLiteral("计量单位"));
    m_edit->setPlainText(UnitsToEditorText(ReadUnitsText(context)));
    auto* note = new QLabel(QStringLiteral("一行一个，请勿重复"), this);
    note->setAccessibleName(note->text());

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setAccessibleName(ok->text());
    cancel->setAccessibleName(cancel->text());
    connect(buttons, &QDialogButtonBox::accepted, this, &CUnitDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CUnitDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(note);
    layout->addWidget(buttons);
    resize(260, 360);
}

CUnitDlg::~CUnitDlg() = default;

void CUnitDlg::accept() {
    if (!SaveUnitsText(m_context, UnitsFromEditorText(m_edit->toPlainText()))) {
        ToastError(this, QStringLiteral("无法打开数据库！"));
        return;
    }
    QDialog::accept();
}

} // namespace selvo::gui
