#include "gui/app/CLockDlg.h"

#include "core/store/AppContext.h"
#include "core/store/Auth.h"
#include "gui/app/AppIcon.h"
#include "gui/app/Toast.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace selvo::gui {

CLockDlg::CLockDlg(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_operator(new QLabel(this)), m_password(new QLineEdit(this)),
      m_hint(new QLabel(this)) {
    setWindowTitle(QStringLiteral("岚拓销售系统锁定中"));
    setAccessibleName(windowTitle());
    setWindowIcon(AppIcon());

    auto* prompt = new QLabel(QStringLiteral("请输入密码解锁"), this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setAccessibleName(prompt->text());
    m_password->setMinimumWidth(240);
    prompt->setBuddy(m_password);
    m_hint->setAccessibleName(QStringLiteral("密码提示"));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("解锁"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    ok->setAccessibleName(ok->text());
    cancel->setAccessibleName(cancel->text());
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CLockDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLockDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_operator);
    layout->addWidget(prompt);
    layout->addWidget(m_password);
    layout->addWidget(m_hint);
    layout->addWidget(buttons);
}

CLockDlg::~CLockDlg() = default;

void CLockDlg::present() {
    m_operator->setText(QStringLiteral("当前售货员>>") + m_ctx.op.name);
    m_password->clear();
    m_hint->setText(OperatorHintLine(m_ctx));
    adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = rect();
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    show();
    raise();
    activateWindow();
    m_password->setFocus();
}

void CLockDlg::accept() {
    const AuthResult r = Unlock(m_ctx, m_password->text());
    if (!r.ok) {
        ToastError(this, r.message);
        m_password->setFocus();
        m_password->selectAll();
        return;
    }
    hide();
    setResult(QDialog::Accepted);
    emit unlocked();
}

} // namespace selvo::gui
