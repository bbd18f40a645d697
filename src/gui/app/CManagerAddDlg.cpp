#include "gui/app/CManagerAddDlg.h"

#include "core/store/AppContext.h"
#include "core/store/Operators.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Toast.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace selvo::gui {

CManagerAddDlg::CManagerAddDlg(AppContext& ctx, int operatorId, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_id(operatorId),
      m_employeeNo(Named(new QLineEdit(this), QStringLiteral("员工工号："))),
      m_random(Named(new QCheckBox(QStringLiteral("随机生成工号"), this), QStringLiteral("随机生成工号"))),
      m_name(Named(new QLineEdit(this), QStringLiteral("真实姓名："))),
      m_phone(Named(new QLineEdit(this), QStringLiteral("联系方式："))),
      m_account(Named(new QLineEdit(this), QStringLiteral("登陆帐号："))),
      m_password(Named(new QLineEdit(this), QStringLiteral("登陆密码："))),
      m_passwordAgain(Named(new QLineEdit(this), QStringLiteral("再次输入密码："))),
      m_hint(Named(new QLineEdit(this), QStringLiteral("密码提示："))),
      m_role(Named(new QComboBox(this), QStringLiteral("角色："))),
      m_state(Named(new QComboBox(this), QStringLiteral("帐号状态："))),
      m_roleDescription(Named(new QLabel(this), QStringLiteral("角色说明"))) {
    m_password->setEchoMode(QLineEdit::Password);
    m_passwordAgain->setEchoMode(QLineEdit::Password);
    m_role->addItems(EditorRoleChoices());
    m_state->addItems(OperatorStateChoices());
    m_employeeNo->setMinimumWidth(200);

    auto* codeLine = new QHBoxLayout;
    codeLine->addWidget(m_employeeNo, 1);
    codeLine->addWidget(m_random);
    auto* stateLine = new QHBoxLayout;
    stateLine->addWidget(m_state, 1);
    stateLine->addWidget(new QLabel(QStringLiteral("注：锁定后无法登陆"), this));
    auto* form = new QFormLayout;
    form->addRow(m_employeeNo->accessibleName(), codeLine);
    form->addRow(m_name->accessibleName(), m_name);
    form->addRow(m_phone->accessibleName(), m_phone);
    form->addRow(m_account->accessibleName(), m_account);
    form->addRow(m_password->accessibleName(), m_password);
    form->addRow(m_passwordAgain->accessibleName(), m_passwordAgain);
    form->addRow(m_hint->accessibleName(), m_hint);
    form->addRow(m_role->accessibleName(), m_role);
    form->addRow(QString(), m_roleDescription);
    form->addRow(m_state->accessibleName(), stateLine);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));

    m_role->setCurrentIndex(1);
    m_state->setCurrentIndex(0);
    if (m_id == -1) {
        setWindowTitle(QStringLiteral("添加操作员"));
    } else {
        setWindowTitle(QStringLiteral("修改操作员"));
        if (const auto op = LoadOperator(m_ctx, m_id)) {
            m_employeeNo->setText(op->employeeNo);
            m_account->setText(op->account);
            m_name->setText(op->name);
            m_phone->setText(op->phone);
            m_hint->setText(op->hint);
            if (op->role >= 0 && op->role < m_role->count())
                m_role->setCurrentIndex(op->role);
            if (op->state >= 0 && op->state < m_state->count())
                m_state->setCurrentIndex(op->state);
        }
        // Passwords are stored as hashes and cannot be shown: empty fields keep the password.
        const QString keep = QStringLiteral("不修改请留空");
        m_password->setPlaceholderText(keep);
        m_passwordAgain->setPlaceholderText(keep);
        m_employeeNo->setEnabled(false);
        m_random->hide();
    }
    setAccessibleName(windowTitle());
    showRoleDescription(m_role->currentIndex());
    connect(m_role, &QComboBox::currentIndexChanged, this, &CManagerAddDlg::showRoleDescription);
    connect(m_random, &QCheckBox::toggled, this, &CManagerAddDlg::randomToggled);
}

CManagerAddDlg::~CManagerAddDlg() = default;

void CManagerAddDlg::showRoleDescription(int role) {
    m_roleDescription->setText(RoleDescription(role));
}

void CManagerAddDlg::randomToggled(bool on) {
    if (on) {
        m_employeeNo->setEnabled(false);
        m_employeeNo->setText(RandomEmployeeNo(m_ctx));
        return;
    }
    m_employeeNo->setEnabled(true);
    m_employeeNo->setFocus();
    m_employeeNo->selectAll();
}

void CManagerAddDlg::accept() {
    OperatorInput in;
    in.employeeNo = m_employeeNo->text();
    in.name = m_name->text();
    in.phone = m_phone->text();
    in.account = m_account->text();
    in.password = m_password->text();
    in.passwordAgain = m_passwordAgain->text();
    in.hint = m_hint->text();
    in.role = m_role->currentIndex();
    in.state = m_state->currentIndex();
    const OperatorSaveResult r = SaveOperator(m_ctx, m_id, in);
    if (!r.ok) {
        ToastError(this, r.message);
        QWidget* field = nullptr;
        switch (r.focus) {
        case OperatorSaveResult::Field::EmployeeNo:
            field = m_employeeNo->isEnabled() ? m_employeeNo : nullptr;
            break;
        case OperatorSaveResult::Field::Account:
            field = m_account;
            break;
        case OperatorSaveResult::Field::Password:
            field = m_password;
            break;
        case OperatorSaveResult::Field::PasswordAgain:
            field = m_passwordAgain;
            break;
        case OperatorSaveResult::Field::None:
            break;
        }
        if (field)
            field->setFocus();
        return;
    }
    m_id = r.id;
    QDialog::accept();
}

} // namespace selvo::gui
