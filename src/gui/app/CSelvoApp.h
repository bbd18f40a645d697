#pragma once

#include "core/db/Checkpointer.h"
#include "core/store/AppContext.h"

#include <QApplication>
#include <QFont>
#include <QThread>

#include <memory>

namespace selvo::gui {

class CSelvoDlg;
class SingleInstance;

// The application object: the one database connection, the logged-in operator, the store
// settings and the two shared fonts, for the whole run.
class CSelvoApp final : public QApplication {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CSelvoApp)

public:
    CSelvoApp(int& argc, char** argv);
    ~CSelvoApp() override;

    static CSelvoApp* instance();

    // Start-up in order: single instance, data folder, database, fonts, main window.
    // Returns the exit code when the program must end now, or -1 to go on into exec().
    int start();

    AppContext& context() { return m_context; }
    const QString& dataFolder() const { return m_dataFolder; }
    const QFont& boldFont() const { return m_boldFont; }
    const QFont& largeFont() const { return m_largeFont; }
    CSelvoDlg* mainWindow() const { return m_mainWindow.get(); }

private:
    AppContext m_context;
    QString m_dataFolder;
    QFont m_boldFont;
    QFont m_largeFont;
    std::unique_ptr<SingleInstance> m_instance;
    std::unique_ptr<CSelvoDlg> m_mainWindow;
    // SQLite's log copied back into the database on a connection of its own, not by a sale.
    std::unique_ptr<db::Checkpointer> m_checkpointer;
    // The day's first copy of a big database, made beside the login window.
    std::unique_ptr<QThread> m_backup;
    static constexpr qint64 kBackupAsideBytes = 64 * 1024 * 1024;
    void startDailyBackup();
};

} // namespace selvo::gui
