#include "gui/app/Messages.h"

#include <QFile>
#include <QWidget>

namespace selvo::gui {

namespace {
Messages::Hook& hook() {
    static Messages::Hook h;
    return h;
}

// The caption of the box being raised, for the recorder.
QString& currentCaption() {
    static QString caption;
    return caption;
}

Messages::ToastHook& toastHook() {
    static Messages::ToastHook h;
    return h;
}

bool logToFile(const QString& kind, const QString& text) {
    const QString path = qEnvironmentVariable("SELVO_MESSAGE_LOG");
    if (path.isEmpty())
        return false;
    QFile f(path);
    if (f.open(QIODevice::Append | QIODevice::Text)) {
        f.write((kind + QLatin1Char('\t') + QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')) +
                 QLatin1Char('\n'))
                    .toUtf8());
    }
    return true;
}

bool show(QWidget* parent, QMessageBox::Icon icon, const QString& kind, const QString& text,
          const QString& detail, const QString& caption = Messages::title()) {
    const QString full = detail.isEmpty() ? text : text + QLatin1Char('\n') + detail;
    if (hook()) {
        currentCaption() = caption;
        return hook()(kind, full);
    }
    if (logToFile(kind, full))
        return false;
    // Texts keep the line ends they were given ("\r\n"); a label wants "\n".
    QMessageBox box(icon, caption, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                    kind == QLatin1String("ask") ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    parent);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.setAccessibleName(text);
    return box.exec() == QMessageBox::Yes;
}
} // namespace

QString Messages::title() {
    return QStringLiteral("岚拓会员销售系统");
}

void Messages::inform(QWidget* parent, const QString& text, const QString& detail) {
    show(parent, QMessageBox::Information, QStringLiteral("inform"), text, detail);
}

void Messages::informWithCaption(QWidget* parent, const QString& text, const QString& caption) {
    show(parent, QMessageBox::Information, QStringLiteral("inform"), text, {}, caption);
}

void Messages::warn(QWidget* parent, const QString& text, const QString& detail) {
    show(parent, QMessageBox::Warning, QStringLiteral("warn"), text, detail);
}

bool Messages::ask(QWidget* parent, const QString& text) {
    return show(parent, QMessageBox::Question, QStringLiteral("ask"), text, {});
}

bool Messages::ask(QWidget* parent, const QString& text, const QString& caption) {
    return show(parent, QMessageBox::Question, QStringLiteral("ask"), text, {}, caption);
}

void Messages::setHook(Hook h) {
    hook() = std::move(h);
}

void Messages::setToastHook(ToastHook h) {
    toastHook() = std::move(h);
}

void Messages::noteToast(const ToastRecord& toast) {
    if (toastHook())
        toastHook()(toast);
    logToFile(QStringLiteral("toast"), toast.text);
}

void Messages::trace(const QString& line) {
    logToFile(QStringLiteral("trace"), line);
}

MessageRecorder::MessageRecorder() : m_previousHook(hook()), m_previousToastHook(toastHook()) {
    Messages::setHook([this](const QString& kind, const QString& text) {
        boxes << Box{kind, text, currentCaption()};
        if (kind != QLatin1String("ask"))
            return false;
        return m_answers.isEmpty() ? defaultAnswer : m_answers.takeFirst();
    });
    Messages::setToastHook([this](const ToastRecord& toast) { toasts << toast; });
}

MessageRecorder::~MessageRecorder() {
    Messages::setHook(std::move(m_previousHook));
    Messages::setToastHook(std::move(m_previousToastHook));
}

QStringList MessageRecorder::boxTexts() const {
    QStringList texts;
    for (const Box& box : boxes)
        texts << box.text;
    return texts;
}

QStringList MessageRecorder::toastTexts() const {
    QStringList texts;
    for (const ToastRecord& toast : toasts)
        texts << toast.text;
    return texts;
}

void MessageRecorder::clear() {
    boxes.clear();
    toasts.clear();
    m_answers.clear();
}

} // namespace selvo::gui
