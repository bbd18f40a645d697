#pragma once

#include "gui/app/SectionPages.h"

#include <QMainWindow>
#include <QTimer>

#include <array>

class QLabel;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

class C360TabCtrl;
class CheckVersion;
class CLockDlg;
class CSysmanDlg;
class IdleTracker;

// The main window: the login before anything, the four section pages under a tab strip, the
// lock screen, the idle lock, the tray icon and the way out.
class CSelvoDlg final : public QMainWindow {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSelvoDlg)

public:
    enum Section { SaleSection = 0, ProductSection = 1, MemberSection = 2, SystemSection = 3 };
    // Idle lock after this long without input: whole minutes above 2.
    static constexpr qint64 kIdleLockMSecs = 3 * 60000;

    CSelvoDlg(AppContext& context, const QString& dataFolder, QWidget* parent = nullptr);
    ~CSelvoDlg() override;

    // The opening: tray icon, login, then the window maximised. False when the login was
    // cancelled: the program ends.
    bool begin();

    bool isLocked() const { return m_locked; }
    bool loginRunning() const { return m_loginRunning; }
    int currentSection() const { return m_current; }
    C360TabCtrl* tabStrip() const { return m_tabs; }
    QWidget* page(int section) const;
    CSysmanDlg* systemPage() const { return m_systemPage; }
    CLockDlg* lockDialog() const { return m_lockDlg; }
    QLabel* statusText() const { return m_status; }
    QSystemTrayIcon* trayIcon() const { return m_tray; }
    QString trayTip() const { return m_trayTip; }
    // The version check of this run, started after the first login; null before.
    CheckVersion* versionCheck() const { return m_versionCheck; }

public slots:
    // Another start, the tray icon or the end of a lock or login asks for the window.
    void showRequested();
    void lock();
    // "重新登陆" and "切换用户".
    void relogin();
    // The one-second timer: locks after three minutes without input.
    void checkIdle();
    void exitProgram();
    void showAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool runLogin();
    void afterLogin();
    void refreshStatus();
    void buildPages();
    bool mayOpen(int section);
    bool roleMayOpen(int section) const;
    // After a login: the pages and the current section follow the new operator's role.
    void followOperator();
    void sectionShown(int index);
    void placeControls();
    void createTray();
    void toggleAutostart();
    void hideToBackground();

    AppContext& m_ctx;
    QString m_dataFolder;
    QWidget* m_client;
    C360TabCtrl* m_tabs;
    QPushButton* m_lockButton;
    QPushButton* m_switchButton;
    QLabel* m_status;
    std::array<SectionPage, 4> m_pages{};
    CSysmanDlg* m_systemPage = nullptr;
    int m_current = SaleSection;
    CLockDlg* m_lockDlg = nullptr; // a window of its own, owned here
    bool m_locked = false;
    bool m_loginRunning = false;
    bool m_exiting = false;
    QSystemTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    QString m_trayTip;
    IdleTracker* m_idle;
    QTimer m_idleTimer;
    CheckVersion* m_versionCheck = nullptr;
};

} // namespace selvo::gui
