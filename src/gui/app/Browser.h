#pragma once

#include <QUrl>

#include <functional>

namespace selvo::gui {

// Opens web addresses in the desktop's default browser (its URL handler), so tests can see the
// address instead of starting a browser. Headless runs (offscreen, SELVO_MESSAGE_LOG) only log it.
class Browser final {
public:
    // False when neither the desktop nor $BROWSER could open it.
    static bool open(const QUrl& url);

    using Hook = std::function<void(const QUrl& url)>;
    static void setHook(Hook hook);
};

// For tests: records every address handed to the browser while alive, then restores the hook.
class BrowserRecorder final {
public:
    BrowserRecorder();
    ~BrowserRecorder();
    BrowserRecorder(const BrowserRecorder&) = delete;
    BrowserRecorder& operator=(const BrowserRecorder&) = delete;

    QList<QUrl> urls;

private:
    Browser::Hook m_previous;
};

} // namespace selvo::gui
