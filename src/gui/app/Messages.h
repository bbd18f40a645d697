#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

namespace selvo::gui {

// Every message box of the program goes through here, so tests can answer questions and
// read what was said instead of blocking on a modal box.
class Messages final {
public:
    // An OK box with the program's title; `detail` goes under the text when given.
    static void inform(QWidget* parent, const QString& text, const QString& detail = {});
    static void warn(QWidget* parent, const QString& text, const QString& detail = {});
    // Yes/No question; true on Yes.
    static bool ask(QWidget* parent, const QString& text);

    // Test hook: receives (kind, text) instead of a box and returns the answer for questions.
    // Kinds: "inform", "warn", "ask".
    using Hook = std::function<bool(const QString& kind, const QString& text)>;
    static void setHook(Hook hook);

    // When SELVO_MESSAGE_LOG names a file, boxes are not shown: each message (and each trace
    // line) is appended to that file and questions are answered No. For headless runs.
    static void trace(const QString& line);

    static QString title();
};

} // namespace selvo::gui
