#include "gui/app/CheckVersion.h"

#include "gui/app/Browser.h"
#include "gui/app/Messages.h"

#include <QTimer>

namespace selvo::gui {

CheckVersion::CheckVersion(const QString& programTitle, const UpdateSettings& settings, QObject* parent,
                           int timeoutMs)
    : QObject(parent), m_title(programTitle), m_settings(settings) {
    if (!m_settings.enabled()) {
        QTimer::singleShot(0, this, &CheckVersion::done);
        return;
    }
    m_fetch = new VersionFetch(this);
    connect(m_fetch, &VersionFetch::finished, this, &CheckVersion::replied);
    m_fetch->start(VersionQueryUrl(m_settings.checkUrl, OwnVersion(), MachineIdentifier()), timeoutMs);
}

void CheckVersion::replied(const QByteArray& body) {
    const std::optional<VersionOffer> offer = ParseVersionReply(body, OwnVersion());
    Messages::trace(QStringLiteral("version-check\t") + (offer ? offer->version : QStringLiteral("-")));
    // The question belongs to no window: the main window may be hidden or locked meanwhile.
    if (offer && Messages::ask(nullptr, VersionQuestion(*offer), VersionCheckCaption(m_title)))
        Browser::open(QUrl(m_settings.siteUrl));
    emit done();
}

} // namespace selvo::gui
