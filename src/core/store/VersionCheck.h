#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace selvo {

// The two addresses of the version check. Defaults are fixed at build time (CMake cache variables
// SELVO_UPDATE_SITE_URL and SELVO_UPDATE_CHECK_URL); selvo.conf's [Update] section (keys "site"
// and "check") replaces them. Either one empty switches the check off.
struct UpdateSettings {
    QString siteUrl;  // opened in the browser when the operator wants the new version
    QString checkUrl; // the version page asked once per run
    bool enabled() const { return !siteUrl.trimmed().isEmpty() && !checkUrl.trimmed().isEmpty(); }
};
UpdateSettings BuiltInUpdateSettings();
UpdateSettings UpdateSettingsFor(const QString& dataFolder);

// The program's own version in four numbers: "0.1.0" becomes "0.1.0.0".
QString FourPartVersion(const QString& version);
QString OwnVersion();

// One network interface as the machine identifier sees it.
struct Adapter {
    QString hardwareAddress; // as the system gives it: "aa:bb:cc:dd:ee:ff", or empty
    bool loopback = false;
};
// The hardware address of the first adapter that has one (six bytes, not all zero, loopback
// skipped), as "%02X:%02X:%02X:%02X:%02X:%02X"; empty when there is none.
QString MachineIdentifier(const QList<Adapter>& adapters);
QString MachineIdentifier(); // of this machine's interfaces

// version page + "?version=…&macAddress=…", added to any query the page address has already.
QUrl VersionQueryUrl(const QString& checkUrl, const QString& version, const QString& macAddress);

// Each dot-separated part times 10 to the power of its position from the end, summed: parts of 10
// or more carry into the next position, so "2.0.10.0" counts as "2.1.0.0".
qint64 VersionValue(const QString& dotted);

// What a newer version on the server offers.
struct VersionOffer {
    QString version;
    QStringList notes; // fields 2 and later of the reply
};
// Replies are at most this long; a longer one is ignored.
inline constexpr int kMaxVersionReplyChars = 500;
// The body as read from the server: UTF-8 text of at most 500 characters, fields split at "|".
// An offer only when field 0 is newer than `ownVersion`; nothing for an empty, too long or
// non-text reply.
std::optional<VersionOffer> ParseVersionReply(const QByteArray& body, const QString& ownVersion);

// "发现新版本:" + version + " 是否下载更新?\r\n\r\n" + each note followed by "\r\n".
QString VersionQuestion(const VersionOffer& offer);
// The caption of the question: the program title + "-版本检测".
QString VersionCheckCaption(const QString& programTitle);

// One GET of the version page that bypasses every cache, asynchronous on the calling thread's
// event loop. `finished` reports the body, or an empty one on any failure, once; a server that
// sends nothing for `timeoutMs` is given up. At most kMaxBodyBytes are kept: a longer body is cut
// there and so fails the 500-character rule.
class VersionFetch final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VersionFetch)

public:
    static constexpr int kMaxBodyBytes = 4096;
    static constexpr int kDefaultTimeoutMs = 15000;

    explicit VersionFetch(QObject* parent = nullptr);
    ~VersionFetch() override;

    void start(const QUrl& url, int timeoutMs = kDefaultTimeoutMs);

signals:
    void finished(const QByteArray& body);

private:
    void readSome();
    void done();

    QNetworkAccessManager* m_manager;
    QNetworkReply* m_reply = nullptr;
    QByteArray m_body;
    bool m_reported = false;
};

} // namespace selvo
