#include "gui/app/CLoginDlg.h"
#include "gui/app/DialogParts.h"

#include "core/store/AppContext.h"
#include "core/store/Auth.h"
#include "gui/app/AppIcon.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace selvo::gui {

CLoginDlg::CLoginDlg(AppContext& ctx, const QString& dataFolder, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_dataFolder(dataFolder), m_account(new QComboBox(this)),
      m_password(new QLineEdit(this)), m_hint(new QLabel(this)) {
    setWindowTitle(QStringLiteral("登陆 - 岚拓销售记帐系统"));
    setAccessibleName(windowTitle());
    setWindowIcon(AppIcon());

    m_account->setEditable(true);
    m_account->setInsertPolicy(QComboBox::NoInsert);
    m_account->setAccessibleName(QStringLiteral("用户名："));
    m_account->setMinimumWidth(200);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(QStringLiteral("密码："));
    m_hint->setAccessibleName(QStringLiteral("密码提示"));

    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(64, 64));
    icon->setAlignment(Qt::AlignTop);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("用户名："), m_account);
    form->addRow(QStringLiteral("密码："), m_password);
    form->addRow(QString(), m_hint);

    QDialogButtonBox* buttons = OkCancelButtons(this);

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(form, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);

    m_account->addItems(LoginAccounts(m_ctx));
    // The last account that logged in, or the first one beginning with it.
    const QString last = ReadLastAccount(m_dataFolder);
    int index = -1;
    for (int i = 0; i < m_account->count() && index < 0 && !last.isEmpty(); ++i) {
        if (m_account->itemText(i).startsWith(last, Qt::CaseInsensitive))
            index = i;
    }
    m_account->setCurrentIndex(index);
    connect(m_account, &QComboBox::currentTextChanged, this, &CLoginDlg::updateHint);
    updateHint(m_account->currentText());
}

CLoginDlg::~CLoginDlg() = default;

void CLoginDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_account->currentText().trimmed().isEmpty()) {
        m_password->setFocus();
        m_password->selectAll();
    } else {
        m_account->setFocus();
        m_account->lineEdit()->selectAll();
    }
    Messages::trace(QStringLiteral("login-shown"));
}

void CLoginDlg::updateHint(const QString& account) {
    m_hint->setText(AccountHintLine(m_ctx, account));
}

void CLoginDlg::accept() {
    const AuthResult r = Login(m_ctx, m_dataFolder, m_account->currentText(), m_password->text());
    if (!r.ok) {
        ToastError(this, r.message);
        if (r.focus == AuthResult::Field::Account) {
            m_account->setFocus();
        } else if (r.focus == AuthResult::Field::Password) {
            m_password->setFocus();
        }
        return;
    }
    QDialog::accept();
}

} // namespace selvo::gui
