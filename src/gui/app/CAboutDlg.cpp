#include "gui/app/CAboutDlg.h"

#include "gui/app/AppIcon.h"
#include "gui/app/Messages.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("关于 Selvo"));
    setAccessibleName(windowTitle());
    auto* icon = new QLabel(this);
    icon->setPixmap(AppIcon().pixmap(64, 64));
    auto* text =
        new QLabel(Messages::title() + QStringLiteral("\n版本 ") + QStringLiteral(SELVO_VERSION), this);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    ok->setAccessibleName(ok->text());
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &CAboutDlg::accept);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

CAboutDlg::~CAboutDlg() = default;

} // namespace selvo::gui
