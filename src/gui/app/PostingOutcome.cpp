#include "gui/app/PostingOutcome.h"

#include "gui/app/Messages.h"
#include "gui/app/Toast.h"

#include <QWidget>

namespace selvo::gui {

void ShowPostingFailure(QWidget* owner, PostFailure how, const QString& message, const QString& detail) {
    if (how == PostFailure::Toast)
        ToastError(owner, message);
    else
        Messages::warn(owner, message, detail);
}

void ShowPostingDone(QWidget* owner, const QString& text) {
    ToastSuccess(owner, text);
}

QWidget* StayingOwner(QWidget* dialog) {
    return dialog->parentWidget() ? dialog->parentWidget() : dialog;
}

} // namespace selvo::gui
