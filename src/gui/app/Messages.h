#pragma once

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace selvo::gui {

// One toast as it was raised (see ShowToast in gui/app/Toast.h).
struct ToastRecord {
    QString text;
    quint32 colour = 0; // 0x00BBGGRR
    double seconds = 0;
    int mode = 0;
    QPointer<QWidget> owner; // null when raised without an owner (or once the owner is gone)
};

// Every message box of the program goes through here, so tests can answer questions and
// read what was said instead of blocking on a modal box.
class Messages final {
public:
    // An OK box with the program's title; `detail` goes under the text when given.
    static void inform(QWidget* parent, const QString& text, const QString& detail = {});
    static void warn(QWidget* parent, const QString& text, const QString& detail = {});
    // An OK box with a caption of its own ("整数销售说明").
    static void informWithCaption(QWidget* parent, const QString& text, const QString& caption);
    // Yes/No question; true on Yes.
    static bool ask(QWidget* parent, const QString& text);
    // The same with a caption of its own ("充值提示").
    static bool ask(QWidget* parent, const QString& text, const QString& caption);

    // Test hook: receives (kind, text) instead of a box and returns the answer for questions.
    // Kinds: "inform", "warn", "ask".
    using Hook = std::function<bool(const QString& kind, const QString& text)>;
    static void setHook(Hook hook);

    // Test hook for toasts: called with every toast raised; the toast is still shown.
    using ToastHook = std::function<void(const ToastRecord& toast)>;
    static void setToastHook(ToastHook hook);
    // Called by ShowToast: hands the toast to the hook and to the message log.
    static void noteToast(const ToastRecord& toast);

    // When SELVO_MESSAGE_LOG names a file, boxes are not shown: each message (and each trace
    // line) is appended to that file and questions are answered No. For headless runs.
    static void trace(const QString& line);

    static QString title();
};

// For tests: while alive, records every box and toast and answers questions, first from the
// queued answers, then with defaultAnswer. Restores the previous hooks when destroyed.
class MessageRecorder final {
public:
    struct Box {
        QString kind; // "inform", "warn", "ask"
        QString text;
        QString caption;
    };

    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void answerNext(bool yes) { m_answers << yes; }
    bool defaultAnswer = false;

    QList<Box> boxes;
    QList<ToastRecord> toasts;
    QStringList boxTexts() const;
    QStringList toastTexts() const;
    void clear();

private:
    QList<bool> m_answers;
    Messages::Hook m_previousHook;
    Messages::ToastHook m_previousToastHook;
};

} // namespace selvo::gui
