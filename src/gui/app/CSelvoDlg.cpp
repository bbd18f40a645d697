#include "gui/app/CSelvoDlg.h"

#include "core/store/AppContext.h"
#include "core/store/Operator.h"
#include "core/store/StoreSettings.h"
#include "core/support/Autostart.h"
#include "gui/app/AppIcon.h"
#include "gui/app/CAboutDlg.h"
#include "gui/app/CLockDlg.h"
#include "gui/app/CLoginDlg.h"
#include "gui/app/CSysmanDlg.h"
#include "gui/app/CheckVersion.h"
#include "gui/app/IdleTracker.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"
#include "gui/widgets/C360TabCtrl.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>

namespace selvo::gui {

namespace {
const QString kShortTitle = QStringLiteral("岚拓销售系统");
} // namespace

CSelvoDlg::CSelvoDlg(AppContext& context, const QString& dataFolder, QWidget* parent)
    : QMainWindow(parent), m_ctx(context), m_dataFolder(dataFolder), m_client(new QWidget(this)),
      m_tabs(new C360TabCtrl(m_client)), m_lockButton(new QPushButton(QStringLiteral("锁定"), m_client)),
      m_switchButton(new QPushButton(QStringLiteral("切换用户"), m_client)), m_status(new QLabel(m_client)),
      m_idle(new IdleTracker(this)) {
    setWindowTitle(QStringLiteral("Selvo"));
    setAccessibleName(Messages::title());
    setWindowIcon(AppIcon());
    setCentralWidget(m_client);
    resize(1024, 700);

    m_tabs->setAccessibleName(QStringLiteral("功能"));
    m_tabs->setTabHeight(35);
    m_tabs->setMinimumTabWidth(100);
    m_tabs->setChangeGuard([this](int, int to) { return mayOpen(to); });

    m_lockButton->setAccessibleName(m_lockButton->text());
    m_switchButton->setAccessibleName(m_switchButton->text());
    m_lockButton->setFocusPolicy(Qt::NoFocus);
    m_switchButton->setFocusPolicy(Qt::NoFocus);
    connect(m_lockButton, &QPushButton::clicked, this, &CSelvoDlg::lock);
    connect(m_switchButton, &QPushButton::clicked, this, &CSelvoDlg::relogin);
    m_status->setAccessibleName(QStringLiteral("商店名称"));
    m_status->setAttribute(Qt::WA_TranslucentBackground);
    m_status->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); background: transparent;"));
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The desktop has no window menu to carry it, so "about" sits in the tab strip's menu.
    auto* about = new QAction(QStringLiteral("关于 Selvo(&A)..."), this);
    about->setShortcut(QKeySequence::HelpContents);
    connect(about, &QAction::triggered, this, &CSelvoDlg::showAbout);
    addAction(about);
    m_tabs->addAction(about);
    m_tabs->setContextMenuPolicy(Qt::ActionsContextMenu);

    m_idleTimer.setInterval(1000);
    connect(&m_idleTimer, &QTimer::timeout, this, &CSelvoDlg::checkIdle);
}

CSelvoDlg::~CSelvoDlg() {
    if (m_tray)
        m_tray->hide();
    delete m_lockDlg;
}

QWidget* CSelvoDlg::page(int section) const {
    return section >= 0 && section < int(m_pages.size()) ? m_pages[size_t(section)].widget : nullptr;
}

bool CSelvoDlg::begin() {
    createTray();
    m_loginRunning = true;
    const bool ok = runLogin();
    m_loginRunning = false;
    if (!ok) {
        hide();
        return false;
    }
    afterLogin();
    m_idleTimer.start();
    buildPages();
    // Once per run: a re-login does not come here.
    if (!m_versionCheck)
        m_versionCheck = new CheckVersion(Messages::title(), UpdateSettingsFor(m_dataFolder), this);
    showMaximized();
    if (QWidget* sale = page(SaleSection))
        sale->setFocus();
    return true;
}

bool CSelvoDlg::runLogin() {
    CLoginDlg login(m_ctx, m_dataFolder);
    return login.exec() == QDialog::Accepted;
}

void CSelvoDlg::afterLogin() {
    LoadStoreSettings(m_ctx.db, m_ctx.settings);
    refreshStatus();
}

void CSelvoDlg::refreshStatus() {
    m_status->setText(m_ctx.settings.storeName);
    m_trayTip = kShortTitle + QStringLiteral("\n店铺名称： ") + m_ctx.settings.storeName +
                QStringLiteral("\n销售员： ") + m_ctx.op.name;
    if (m_tray)
        m_tray->setToolTip(m_trayTip);
    setWindowTitle(kShortTitle + QStringLiteral("   ") + m_ctx.op.name + QLatin1Char('(') +
                   RoleName(m_ctx.op.role) + QLatin1Char(')'));
}

void CSelvoDlg::buildPages() {
    if (m_pages[SaleSection].widget)
        return;
    m_pages[SaleSection] = CreateSalePage(m_ctx, m_tabs);
    m_pages[ProductSection] = CreateProductPage(m_ctx, m_tabs);
    m_pages[MemberSection] = CreateMemberPage(m_ctx, m_tabs);
    m_systemPage = new CSysmanDlg(m_ctx, m_tabs);
    m_pages[SystemSection] = SectionPage{m_systemPage, {}};
    const char* captions[] = {"销售", "商品", "会员", "系统管理"};
    for (size_t i = 0; i < m_pages.size(); ++i) {
        m_pages[i].widget->hide();
        m_tabs->addTab(QString::fromUtf8(captions[i]), m_pages[i].widget);
    }
    m_current = SaleSection;
    m_tabs->setCurrentIndex(SaleSection);
    connect(m_tabs, &C360TabCtrl::currentChanged, this, &CSelvoDlg::sectionShown);
    placeControls();
}

// The role rule on the tabs: a refused section keeps the previous one.
bool CSelvoDlg::roleMayOpen(int section) const {
    return (section == ProductSection && HasRight(m_ctx.op.role, Right::ProductSection)) ||
           (section == MemberSection && HasRight(m_ctx.op.role, Right::MemberSection)) ||
           section == SaleSection || section == SystemSection;
}

bool CSelvoDlg::mayOpen(int section) {
    const bool allowed = roleMayOpen(section);
    if (!allowed)
        ToastError(this, NoRightText());
    return allowed;
}

void CSelvoDlg::followOperator() {
    // A page the last operator left open stays only when the new one may open it.
    if (!roleMayOpen(m_current) && m_pages[SaleSection].widget)
        m_tabs->setCurrentIndex(SaleSection);
    for (const SectionPage& p : m_pages) {
        if (p.operatorChanged)
            p.operatorChanged();
    }
}

void CSelvoDlg::sectionShown(int index) {
    if (index < 0 || index >= int(m_pages.size()))
        return;
    m_current = index;
    const SectionPage& chosen = m_pages[size_t(index)];
    if (chosen.activated)
        chosen.activated();
    if (index == SaleSection)
        chosen.widget->setFocus();
}

void CSelvoDlg::lock() {
    if (m_locked)
        return;
    hide();
    m_locked = true;
    if (!m_lockDlg) {
        m_lockDlg = new CLockDlg(m_ctx);
        connect(m_lockDlg, &CLockDlg::unlocked, this, [this] {
            m_locked = false;
            QTimer::singleShot(0, this, &CSelvoDlg::showRequested);
        });
    }
    m_lockDlg->present();
}

void CSelvoDlg::checkIdle() {
    if (m_idle->idleMSecs() / 60000 > 2 && m_ctx.op.loggedIn() && !m_locked)
        lock();
}

void CSelvoDlg::showRequested() {
    Messages::trace(QStringLiteral("show-request"));
    if (m_locked) {
        if (m_lockDlg)
            m_lockDlg->present();
        return;
    }
    if (!m_ctx.op.loggedIn()) {
        relogin();
        return;
    }
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void CSelvoDlg::relogin() {
    if (m_loginRunning)
        return;
    m_loginRunning = true;
    if (m_ctx.op.loggedIn()) {
        hide();
        m_ctx.op.clear();
        m_locked = false;
    }
    // Nobody is locked out any more: the lock screen of the last operator has no purpose.
    if (m_lockDlg)
        m_lockDlg->hide();
    const bool ok = runLogin();
    m_loginRunning = false;
    if (!ok)
        return;
    refreshStatus();
    followOperator();
    QTimer::singleShot(0, this, &CSelvoDlg::showRequested);
}

void CSelvoDlg::createTray() {
    if (m_tray || !QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_tray = new QSystemTrayIcon(AppIcon(), this);
    m_trayTip = kShortTitle;
    m_tray->setToolTip(m_trayTip);
    m_trayMenu = new QMenu(this);
    QAction* autostart = m_trayMenu->addAction(QStringLiteral("随系统启动"));
    autostart->setCheckable(true);
    connect(autostart, &QAction::triggered, this, &CSelvoDlg::toggleAutostart);
    connect(m_trayMenu->addAction(QStringLiteral("重新登陆")), &QAction::triggered, this,
            &CSelvoDlg::relogin);
    connect(m_trayMenu->addAction(QStringLiteral("退出")), &QAction::triggered, this,
            &CSelvoDlg::exitProgram);
    connect(m_trayMenu, &QMenu::aboutToShow, this,
            [autostart] { autostart->setChecked(IsAutostartSet(QCoreApplication::applicationFilePath())); });
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            showRequested();
    });
    m_tray->show();
}

void CSelvoDlg::toggleAutostart() {
    const QString exe = QCoreApplication::applicationFilePath();
    SetAutostart(exe, !IsAutostartSet(exe));
}

void CSelvoDlg::exitProgram() {
    m_exiting = true;
    m_idleTimer.stop();
    if (m_tray)
        m_tray->hide();
    if (m_lockDlg)
        m_lockDlg->hide();
    hide();
    m_ctx.db.close();
    QCoreApplication::exit(0);
}

void CSelvoDlg::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CSelvoDlg::hideToBackground() {
    // Without a tray there would be no way back to a hidden window.
    if (m_tray && m_tray->isVisible())
        hide();
    else
        showMinimized();
}

void CSelvoDlg::closeEvent(QCloseEvent* event) {
    if (m_exiting) {
        event->accept();
        return;
    }
    event->ignore();
    hideToBackground();
}

void CSelvoDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hideToBackground();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void CSelvoDlg::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    placeControls();
}

void CSelvoDlg::placeControls() {
    const QRect client = m_client->rect();
    const int r = client.right() + 1;
    m_tabs->setGeometry(client);
    m_lockButton->setGeometry(r - 40, 2, 40, 20);
    m_switchButton->setGeometry(r - 125, 2, 80, 20);
    m_status->setGeometry(r - 500, 6, 370, 20);
    m_lockButton->raise();
    m_switchButton->raise();
    m_status->raise();
}

void CSelvoDlg::showEvent(QShowEvent* event) {
    Messages::trace(QStringLiteral("main-window-shown"));
    QMainWindow::showEvent(event);
}

} // namespace selvo::gui
