#include "gui/app/CSelvoApp.h"

#include "core/db/Backup.h"
#include "core/db/Database.h"
#include "core/store/Startup.h"
#include "core/support/Clock.h"
#include "gui/app/CSelvoDlg.h"
#include "gui/app/Messages.h"
#include "gui/app/SingleInstance.h"
#include "gui/app/Translations.h"

#include <QFileInfo>
#include <QThread>
#include <QTimer>

namespace selvo::gui {

namespace {
// Core's own messages ("无法读取会员信息" and the like) become message boxes.
class BoxNotifier final : public Notifier {
public:
    void notify(const QString& text) override { Messages::inform(QApplication::activeWindow(), text); }
};
BoxNotifier g_boxNotifier;
} // namespace

CSelvoApp::CSelvoApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("selvo"));
    setOrganizationName(QStringLiteral("SELVO"));
    setQuitOnLastWindowClosed(false);
    // Before any window: standard buttons and dialogs in Chinese.
    InstallQtTranslations(*this);
    m_context.notifier = &g_boxNotifier;
}

CSelvoApp::~CSelvoApp() {
    // A copy under way is finished, not left as a part file.
    if (m_backup)
        m_backup->wait();
    m_mainWindow.reset();
    m_checkpointer.reset();
    m_context.db.close();
}

CSelvoApp* CSelvoApp::instance() {
    return qobject_cast<CSelvoApp*>(QCoreApplication::instance());
}

void CSelvoApp::startDailyBackup() {
    const QDate today = Clock::instance().now().date();
    const auto failed = [](const db::BackupResult& copy) {
        if (!copy.ok)
            Messages::warn(nullptr, QStringLiteral("今日自动备份失败"), copy.message);
    };
    // The first start of each day keeps a copy of the database as it was found. A big shop's copy
    // takes seconds: it is made on a connection of its own while the login window is up.
    const db::ConnectionConfig config = m_context.db.config();
    const QFileInfo file(config.sqliteFile);
    if (config.engine != db::Engine::Sqlite || file.size() < kBackupAsideBytes) {
        failed(db::DailyBackup(m_context.db, today));
        return;
    }
    m_backup.reset(QThread::create([this, config, today, failed] {
        db::Database own;
        db::BackupResult copy;
        if (own.open(config))
            copy = db::DailyBackup(own, today);
        else
            copy.message = own.lastError();
        own.close();
        QMetaObject::invokeMethod(
            this, [copy, failed] { failed(copy); }, Qt::QueuedConnection);
    }));
    m_backup->start();
}

int CSelvoApp::start() {
    m_dataFolder = ResolveDataFolder(applicationDirPath());

    m_instance = std::make_unique<SingleInstance>(m_dataFolder);
    switch (m_instance->claim()) {
    case SingleInstance::Outcome::First:
        break;
    case SingleInstance::Outcome::ShownOther:
        return 0;
    case SingleInstance::Outcome::OtherNotAnswering:
        Messages::warn(nullptr, QStringLiteral("已有一个实例在运行，但找不到它的主窗口！"));
        return 1;
    case SingleInstance::Outcome::Failed:
        Messages::warn(nullptr, QStringLiteral("创建信标对象失败，程序退出！"));
        return 1;
    }

    m_context.op.clear();

    const OpenResult opened = OpenDatabase(m_context, m_dataFolder);
    if (!opened.ok) {
        Messages::warn(nullptr, QStringLiteral("打开数据失败！"), opened.detail);
        Messages::warn(nullptr, QStringLiteral("打开数据库失败！"));
        return 1;
    }
    m_checkpointer = std::make_unique<db::Checkpointer>(m_context.db);
    startDailyBackup();

    m_boldFont = QFont(QStringList{QStringLiteral("Microsoft Sans Serif"), QStringLiteral("DejaVu Sans"),
                                   QStringLiteral("Noto Sans CJK SC")});
    m_boldFont.setPixelSize(19);
    m_boldFont.setBold(true);
    m_largeFont = QFont(QStringList{QStringLiteral("SimSun"), QStringLiteral("Noto Serif CJK SC"),
                                    QStringLiteral("Noto Sans CJK SC")});
    m_largeFont.setPixelSize(22);
    m_largeFont.setBold(true);

    m_mainWindow = std::make_unique<CSelvoDlg>(m_context, m_dataFolder);
    connect(m_instance.get(), &SingleInstance::showRequested, m_mainWindow.get(), &CSelvoDlg::showRequested);
    // The login runs inside the event loop, so a second start is answered while it is open.
    // "-hide" (the autostart entry) only marks the entry: the program starts the same way.
    QTimer::singleShot(0, m_mainWindow.get(), [this] {
        if (!m_mainWindow->begin())
            QCoreApplication::exit(0);
    });
    return -1;
}

} // namespace selvo::gui
