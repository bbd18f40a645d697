#pragma once

#include "core/sales/Posting.h"

#include <QString>

class QWidget;

namespace selvo::gui {

// How the dialogs show what a posting (a sale, a return, a cancellation, a purchase, a recharge)
// came to: every one says it the same way.

// A failed posting. A refusal (PostFailure::Toast) is a red toast over `owner`; anything else (the
// database's trouble, an outcome that could not be learned) is a message box with the
// database's own words under the text.
void ShowPostingFailure(QWidget* owner, PostFailure how, const QString& message, const QString& detail = {});
// The same for a result that says how itself (a sale's, a return's).
template <class Result> void ShowPostingFailure(QWidget* owner, const Result& result) {
    ShowPostingFailure(owner, result.failure, result.message, result.detail);
}

// A posting done: a blue toast over `owner` (over the main window or the screen without one).
void ShowPostingDone(QWidget* owner, const QString& text);

// Where a dialog that closes on success shows its toast: over its opener, which stays on screen.
QWidget* StayingOwner(QWidget* dialog);

} // namespace selvo::gui
