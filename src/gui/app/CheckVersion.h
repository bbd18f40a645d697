#pragma once

#include "core/store/VersionCheck.h"

#include <QObject>
#include <QString>

namespace selvo::gui {

// The version check of one run: asks the version page in the background and, when it names a
// newer version, asks the operator (captioned with the program title + "-版本检测") whether to
// open the product site in the browser. Silent otherwise. Never blocks the window: the answer
// arrives on the event loop of the user-interface thread, which shows the question.
class CheckVersion final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CheckVersion)

public:
    // Starts at once; nothing is started when the settings switch the check off (done() follows
    // on the event loop all the same).
    CheckVersion(const QString& programTitle, const UpdateSettings& settings, QObject* parent = nullptr,
                 int timeoutMs = VersionFetch::kDefaultTimeoutMs);

signals:
    // The check is over, with or without a question.
    void done();

private:
    void replied(const QByteArray& body);

    QString m_title;
    UpdateSettings m_settings;
    VersionFetch* m_fetch = nullptr;
};

} // namespace selvo::gui
