#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace selvo::gui {

// One running program per user and data folder. The first start holds a lock file and listens
// on a local socket; a later start asks it to come to the front and ends.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    enum class Outcome { First, ShownOther, OtherNotAnswering, Failed };

    explicit SingleInstance(const QString& dataFolder, QObject* parent = nullptr);
    ~SingleInstance() override;

    Outcome claim();

    // Paths in the user's private runtime folder, derived from the user and the data folder.
    static QString serverName(const QString& dataFolder);
    static QString lockPath(const QString& dataFolder);

signals:
    void showRequested();

private:
    void onNewConnection();

    QString m_dataFolder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};

} // namespace selvo::gui
