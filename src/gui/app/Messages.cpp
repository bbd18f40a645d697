#include "gui/app/Messages.h"

#include <QFile>
#include <QWidget>

namespace selvo::gui {

namespace {
Messages::Hook& hook() {
    static Messages::Hook h;
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
          const QString& detail) {
    const QString full = detail.isEmpty() ? text : text + QLatin1Char('\n') + detail;
    if (hook())
        return hook()(kind, full);
    if (logToFile(kind, full))
        return false;
    QMessageBox box(icon, Messages::title(), text,
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

void Messages::warn(QWidget* parent, const QString& text, const QString& detail) {
    show(parent, QMessageBox::Warning, QStringLiteral("warn"), text, detail);
}

bool Messages::ask(QWidget* parent, const QString& text) {
    return show(parent, QMessageBox::Question, QStringLiteral("ask"), text, {});
}

void Messages::setHook(Hook h) {
    hook() = std::move(h);
}

void Messages::trace(const QString& line) {
    logToFile(QStringLiteral("trace"), line);
}

} // namespace selvo::gui
