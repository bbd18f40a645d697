#include "gui/app/Browser.h"

#include "gui/app/Messages.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>

namespace selvo::gui {

namespace {
Browser::Hook& hook() {
    static Browser::Hook h;
    return h;
}

bool headless() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

// Where the desktop has no URL handler: the browser named by $BROWSER, as many tools do.
bool openWithBrowserVariable(const QUrl& url) {
    const QString command = qEnvironmentVariable("BROWSER").trimmed();
    if (command.isEmpty())
        return false;
    QStringList args = QProcess::splitCommand(command);
    if (args.isEmpty())
        return false;
    const QString program = args.takeFirst();
    args << url.toString(QUrl::FullyEncoded);
    return QProcess::startDetached(program, args);
}
} // namespace

bool Browser::open(const QUrl& url) {
    if (hook()) {
        hook()(url);
        return true;
    }
    Messages::trace(QStringLiteral("open-url\t") + url.toString(QUrl::FullyEncoded));
    if (!qEnvironmentVariableIsEmpty("SELVO_MESSAGE_LOG") || headless())
        return false;
    return QDesktopServices::openUrl(url) || openWithBrowserVariable(url);
}

void Browser::setHook(Hook h) {
    hook() = std::move(h);
}

BrowserRecorder::BrowserRecorder() : m_previous(hook()) {
    Browser::setHook([this](const QUrl& url) { urls << url; });
}

BrowserRecorder::~BrowserRecorder() {
    Browser::setHook(std::move(m_previous));
}

} // namespace selvo::gui
