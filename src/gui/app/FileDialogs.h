#pragma once

#include <QString>

#include <functional>

class QDBusConnection;
class QUrl;
class QWidget;

namespace selvo::gui {

// Every file dialog of the program goes through here, so tests can pick the file (or cancel)
// instead of blocking on a modal dialog. With SELVO_MESSAGE_LOG set they are cancelled and logged.
class FileDialogs final {
public:
    // A save dialog starting with `proposedName` (in the last folder used, else the documents
    // folder); asks before replacing a file. A name without a suffix gets `defaultSuffix`.
    // Returns the full path, or an empty text when cancelled.
    static QString saveFileName(QWidget* parent, const QString& caption, const QString& proposedName,
                                const QString& filter, const QString& defaultSuffix);
    // An open dialog for an existing file; empty when cancelled.
    static QString openFileName(QWidget* parent, const QString& caption, const QString& directory,
                                const QString& filter);

    // Test hook: receives the kind ("save" or "open") and the proposed name or folder and
    // returns the chosen path (empty = cancel) instead of showing a dialog.
    using Hook = std::function<QString(const QString& kind, const QString& proposed)>;
    static void setHook(Hook hook);
};

// For tests: answers file dialogs while alive, then restores the previous hook.
class ScopedFileDialogHook final {
public:
    explicit ScopedFileDialogHook(FileDialogs::Hook hook);
    ~ScopedFileDialogHook();
    ScopedFileDialogHook(const ScopedFileDialogHook&) = delete;
    ScopedFileDialogHook& operator=(const ScopedFileDialogHook&) = delete;

private:
    FileDialogs::Hook m_previous;
};

// Shows a file in the desktop's file manager, selected (freedesktop FileManager1 over D-Bus);
// where no file manager answers, opens the file's folder instead. Does nothing on a headless
// platform. The test hook receives the path instead.
void ShowFileInFolder(const QString& path);
void SetShowFileHook(std::function<void(const QString& path)> hook);
// The D-Bus step alone, on the given bus; `fallback` receives the folder when no file manager
// answers (ShowFileInFolder opens it).
void ShowFileOnBus(const QString& path, const QDBusConnection& bus,
                   std::function<void(const QUrl& folder)> fallback);

} // namespace selvo::gui
