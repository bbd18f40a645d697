#include "gui/app/CSelvoDlg.h"

#include "core/store/AppContext.h"
#include "gui/app/Messages.h"

namespace selvo::gui {

CSelvoDlg::CSelvoDlg(AppContext& context, QWidget* parent) : QMainWindow(parent), m_context(context) {
    setWindowTitle(Messages::title());
    setAccessibleName(Messages::title());
    resize(1024, 700);
}

CSelvoDlg::~CSelvoDlg() = default;

void CSelvoDlg::begin(bool hidden) {
    if (!hidden)
        showMaximized();
}

void CSelvoDlg::showRequested() {
    Messages::trace(QStringLiteral("show-request"));
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void CSelvoDlg::showEvent(QShowEvent* event) {
    Messages::trace(QStringLiteral("main-window-shown"));
    QMainWindow::showEvent(event);
}

} // namespace selvo::gui
