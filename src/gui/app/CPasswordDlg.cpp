#include "gui/app/CPasswordDlg.h"
#include "gui/app/DialogParts.h"

#include "core/store/AppContext.h"
#include "core/store/Auth.h"
#include "core/store/StoreOps.h"
#include "gui/app/Toast.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
QLineEdit* field(QWidget* parent, const QString& caption, bool secret) {
    auto* edit = new QLineEdit(parent);
    edit->setAccessibleName(caption);
    if (secret)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}
} // namespace

CPasswordDlg::CPasswordDlg(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_old(field(this, QStringLiteral("原始密码："), true)),
      m_new(field(this, QStringLiteral("新密码："), true)),
      m_confirm(field(this, QStringLiteral("确认新密码："), true)),
      m_hint(field(this, QStringLiteral("密码提示："), false)) {
    setWindowTitle(QStringLiteral("修改密码 -- 请牢记您的密码"));
    setAccessibleName(windowTitle());

    auto* notice = new QLabel(QStringLiteral("密码不支持找回，请妥善保存您的密码"), this);
    notice->setStyleSheet(QStringLiteral("color: red"));
    auto* form = new QFormLayout;
    for (QLineEdit* edit : {m_old, m_new, m_confirm, m_hint})
        form->addRow(edit->accessibleName(), edit);
    m_old->setMinimumWidth(220);

    QDialogButtonBox* buttons = OkCancelButtons(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(notice);
    layout->addLayout(form);
    layout->addWidget(buttons);

    m_hint->setText(GetPasswordHint(m_ctx, m_ctx.op.id, QString()));
}

CPasswordDlg::~CPasswordDlg() = default;

void CPasswordDlg::accept() {
    const AuthResult r =
        ChangePassword(m_ctx, m_old->text(), m_new->text(), m_confirm->text(), m_hint->text());
    if (!r.ok) {
        ToastError(this, r.message);
        QLineEdit* edit = nullptr;
        switch (r.focus) {
        case AuthResult::Field::OldPassword:
            edit = m_old;
            break;
        case AuthResult::Field::NewPassword:
            edit = m_new;
            break;
        case AuthResult::Field::Confirm:
            edit = m_confirm;
            break;
        default:
            break;
        }
        if (edit) {
            if (r.clearField)
                edit->clear();
            edit->setFocus();
        }
        return;
    }
    // Shown without an owner: it outlives this dialog.
    ShowToast(r.message, kToastBlue, 1.5, 0, nullptr);
    QDialog::accept();
}

} // namespace selvo::gui
