#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

namespace selvo::test {

// A one-page HTTP server on 127.0.0.1 for tests of the program's web requests: answers every GET
// with `body` (status 200), or accepts the connection and never answers when `silent` is set.
// Each request's head (request line and headers) is kept.
class LocalHttpServer final : public QObject {
    Q_OBJECT

public:
    explicit LocalHttpServer(QObject* parent = nullptr);

    bool listening() const { return m_server.isListening(); }
    // The address of `path` on this server.
    QUrl url(const QString& path = QStringLiteral("/version")) const;

    QByteArray body;
    bool silent = false;
    QList<QByteArray> requests; // heads as received

signals:
    void requestReceived();

private:
    void accept();

    QTcpServer m_server;
};

} // namespace selvo::test
