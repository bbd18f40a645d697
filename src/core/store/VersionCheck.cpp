#include "core/store/VersionCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QStringDecoder>

#include <limits>

#ifndef SELVO_UPDATE_SITE_URL
#define SELVO_UPDATE_SITE_URL ""
#endif
#ifndef SELVO_UPDATE_CHECK_URL
#define SELVO_UPDATE_CHECK_URL ""
#endif

namespace selvo {

UpdateSettings BuiltInUpdateSettings() {
    return {QStringLiteral(SELVO_UPDATE_SITE_URL).trimmed(),
            QStringLiteral(SELVO_UPDATE_CHECK_URL).trimmed()};
}

UpdateSettings UpdateSettingsFor(const QString& dataFolder) {
    UpdateSettings settings = BuiltInUpdateSettings();
    const QString confFile = QDir(dataFolder).filePath(QStringLiteral("selvo.conf"));
    if (dataFolder.isEmpty() || !QFileInfo::exists(confFile))
        return settings;
    QSettings conf(confFile, QSettings::IniFormat);
    conf.beginGroup(QStringLiteral("Update"));
    // An address may carry a query with commas, which QSettings would split into a list.
    const auto text = [&conf](const QString& key) -> QString {
        const QVariant v = conf.value(key);
        return (v.typeId() == QMetaType::QStringList ? v.toStringList().join(QLatin1Char(',')) : v.toString())
            .trimmed();
    };
    if (conf.contains(QStringLiteral("site")))
        settings.siteUrl = text(QStringLiteral("site"));
    if (conf.contains(QStringLiteral("check")))
        settings.checkUrl = text(QStringLiteral("check"));
    return settings;
}

QString FourPartVersion(const QString& version) {
    QStringList parts = version.trimmed().split(QLatin1Char('.'));
    if (parts.size() == 1 && parts.first().isEmpty())
        parts.clear();
    while (parts.size() < 4)
        parts << QStringLiteral("0");
    return parts.mid(0, 4).join(QLatin1Char('.'));
}

QString OwnVersion() {
    return FourPartVersion(QStringLiteral(SELVO_VERSION));
}

QString MachineIdentifier(const QList<Adapter>& adapters) {
    for (const Adapter& adapter : adapters) {
        if (adapter.loopback)
            continue;
        const QStringList bytes = adapter.hardwareAddress.split(QLatin1Char(':'));
        if (bytes.size() != 6)
            continue;
        QStringList out;
        bool allZero = true;
        for (const QString& b : bytes) {
            bool ok = false;
            const uint value = b.toUInt(&ok, 16);
            if (!ok || value > 0xFF || b.size() > 2)
                break;
            allZero = allZero && value == 0;
            out << QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
        }
        if (out.size() == 6 && !allZero)
            return out.join(QLatin1Char(':'));
    }
    return {};
}

QString MachineIdentifier() {
    QList<Adapter> adapters;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& i : interfaces)
        adapters << Adapter{i.hardwareAddress(), bool(i.flags() & QNetworkInterface::IsLoopBack)};
    return MachineIdentifier(adapters);
}

QUrl VersionQueryUrl(const QString& checkUrl, const QString& version, const QString& macAddress) {
    QUrl url(checkUrl.trimmed());
    // Written by hand: QUrlQuery drops the "=" of an empty value, and the page expects
    // "macAddress=" even when the machine has no adapter.
    const auto item = [](const char* key, const QString& value) -> QString {
        return QString::fromLatin1(key) + QLatin1Char('=') +
               QString::fromLatin1(QUrl::toPercentEncoding(value, QByteArrayLiteral(":.")));
    };
    QString query = url.query(QUrl::FullyEncoded);
    if (!query.isEmpty())
        query += QLatin1Char('&');
    query += item("version", version) + QLatin1Char('&') + item("macAddress", macAddress);
    url.setQuery(query, QUrl::StrictMode);
    return url;
}

namespace {
// The leading integer of a text, as atoi reads it; clamped rather than overflowing.
qint64 leadingInteger(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+')))
        negative = t[i++] == QLatin1Char('-');
    qint64 value = 0;
    for (; i < t.size() && t[i] >= QLatin1Char('0') && t[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (t[i].unicode() - '0');
        if (value > std::numeric_limits<int>::max()) {
            value = std::numeric_limits<int>::max();
            break;
        }
    }
    return negative ? -value : value;
}

qint64 saturatingAdd(qint64 a, qint64 b) {
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}
} // namespace

qint64 VersionValue(const QString& dotted) {
    const QStringList parts = dotted.split(QLatin1Char('.'));
    qint64 value = 0;
    qint64 power = 1;
    bool powerOverflow = false;
    for (qsizetype i = parts.size() - 1; i >= 0; --i) {
        const qint64 part = leadingInteger(parts[i]);
        qint64 term = 0;
        if (part != 0) {
            if (powerOverflow || __builtin_mul_overflow(part, power, &term))
                term = part > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
        }
        value = saturatingAdd(value, term);
        if (!powerOverflow && __builtin_mul_overflow(power, qint64(10), &power))
            powerOverflow = true;
    }
    return value;
}

std::optional<VersionOffer> ParseVersionReply(const QByteArray& body, const QString& ownVersion) {
    if (body.isEmpty())
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;
    for (const QChar c : std::as_const(text)) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\r') && c != QLatin1Char('\n') &&
            c != QLatin1Char('\t'))
            return std::nullopt;
    }
    if (text.size() > kMaxVersionReplyChars)
        return std::nullopt;
    // Servers tend to end their text with a line break; it belongs to no field.
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    if (text.isEmpty())
        return std::nullopt;
    const QStringList fields = text.split(QLatin1Char('|'));
    if (VersionValue(ownVersion) >= VersionValue(fields[0]))
        return std::nullopt;
    return VersionOffer{fields[0], fields.mid(2)};
}

QString VersionQuestion(const VersionOffer& offer) {
    QString text = QStringLiteral("发现新版本:") + offer.version + QStringLiteral(" 是否下载更新?\r\n") +
                   QStringLiteral("\r\n");
    for (const QString& note : offer.notes)
        text += note + QStringLiteral("\r\n");
    return text;
}

QString VersionCheckCaption(const QString& programTitle) {
    return programTitle + QStringLiteral("-版本检测");
}

VersionFetch::VersionFetch(QObject* parent) : QObject(parent), m_manager(new QNetworkAccessManager(this)) {}

VersionFetch::~VersionFetch() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void VersionFetch::start(const QUrl& url, int timeoutMs) {
    m_body.clear();
    m_reported = false;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(timeoutMs);
    m_reply = m_manager->get(request);
    m_reply->setReadBufferSize(VersionFetch::kMaxBodyBytes + 1);
    connect(m_reply, &QNetworkReply::readyRead, this, &VersionFetch::readSome);
    connect(m_reply, &QNetworkReply::finished, this, &VersionFetch::done);
}

void VersionFetch::readSome() {
    m_body += m_reply->read(kMaxBodyBytes + 1 - m_body.size());
    // Enough to know the reply is too long: stop the transfer rather than read it all.
    if (m_body.size() > kMaxBodyBytes)
        m_reply->abort();
}

void VersionFetch::done() {
    if (m_reported)
        return;
    m_reported = true;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    QByteArray body;
    if (m_body.size() > kMaxBodyBytes) {
        body = m_body;
    } else if (reply->error() == QNetworkReply::NoError) {
        m_body += reply->read(kMaxBodyBytes + 1 - m_body.size());
        body = m_body;
    }
    reply->deleteLater();
    emit finished(body);
}

} // namespace selvo
