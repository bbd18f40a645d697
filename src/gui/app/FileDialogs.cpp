#include "gui/app/FileDialogs.h"

#include "gui/app/Messages.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QUrl>

namespace selvo::gui {

namespace {

FileDialogs::Hook& hook() {
    static FileDialogs::Hook h;
    return h;
}

std::function<void(const QString&)>& showHook() {
    static std::function<void(const QString&)> h;
    return h;
}

QString& lastFolder() {
    static QString folder;
    return folder;
}

QString startFolder() {
    if (!lastFolder().isEmpty() && QFileInfo(lastFolder()).isDir())
        return lastFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString withSuffix(QString path, const QString& suffix) {
    if (!path.isEmpty() && !suffix.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    return path;
}

void remember(const QString& path) {
    if (!path.isEmpty())
        lastFolder() = QFileInfo(path).absolutePath();
}

// Headless runs that log their messages (SELVO_MESSAGE_LOG) cancel file dialogs and log them.
bool logInstead(const QString& kind, const QString& proposed) {
    if (qEnvironmentVariableIsEmpty("SELVO_MESSAGE_LOG"))
        return false;
    Messages::trace(kind + QLatin1Char('\t') + proposed);
    return true;
}

bool headless() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

} // namespace

QString FileDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& proposedName,
                                  const QString& filter, const QString& defaultSuffix) {
    if (hook())
        return withSuffix(hook()(QStringLiteral("save"), proposedName), defaultSuffix);
    if (logInstead(QStringLiteral("save-dialog"), proposedName))
        return {};
    QFileDialog dialog(parent, caption, QDir(startFolder()).filePath(proposedName), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.setOption(QFileDialog::ReadOnly, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString path = withSuffix(dialog.selectedFiles().first(), defaultSuffix);
    remember(path);
    return path;
}

QString FileDialogs::openFileName(QWidget* parent, const QString& caption, const QString& directory,
                                  const QString& filter) {
    if (hook())
        return hook()(QStringLiteral("open"), directory);
    if (logInstead(QStringLiteral("open-dialog"), directory))
        return {};
    const QString path = QFileDialog::getOpenFileName(
        parent, caption, directory.isEmpty() ? startFolder() : directory, filter);
    remember(path);
    return path;
}

void FileDialogs::setHook(Hook h) {
    hook() = std::move(h);
}

ScopedFileDialogHook::ScopedFileDialogHook(FileDialogs::Hook h) : m_previous(hook()) {
    FileDialogs::setHook(std::move(h));
}

ScopedFileDialogHook::~ScopedFileDialogHook() {
    FileDialogs::setHook(std::move(m_previous));
}

void SetShowFileHook(std::function<void(const QString& path)> h) {
    showHook() = std::move(h);
}

void ShowFileInFolder(const QString& path) {
    if (showHook()) {
        showHook()(path);
        return;
    }
    Messages::trace(QStringLiteral("show-file\t") + path);
    if (headless())
        return;
    ShowFileOnBus(path, QDBusConnection::sessionBus(),
                  [](const QUrl& folder) { QDesktopServices::openUrl(folder); });
}

void ShowFileOnBus(const QString& path, const QDBusConnection& bus,
                   std::function<void(const QUrl& folder)> fallback) {
    const QUrl folder = QUrl::fromLocalFile(QFileInfo(path).absolutePath());
    if (!bus.isConnected()) {
        fallback(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()} << QString();
    // Asynchronous: a file manager that is slow to start must not hold up the screen.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder, fallback = std::move(fallback)](QDBusPendingCallWatcher* w) {
                         if (w->isError())
                             fallback(folder);
                         w->deleteLater();
                     });
}

} // namespace selvo::gui
