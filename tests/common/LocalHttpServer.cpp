#include "LocalHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <memory>

namespace selvo::test {

LocalHttpServer::LocalHttpServer(QObject* parent) : QObject(parent) {
    connect(&m_server, &QTcpServer::newConnection, this, &LocalHttpServer::accept);
    m_server.listen(QHostAddress::LocalHost);
}

QUrl LocalHttpServer::url(const QString& path) const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path));
}

void LocalHttpServer::accept() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        auto head = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket, head] {
            *head += socket->readAll();
            if (!head->contains("\r\n\r\n"))
                return;
            requests << head->left(head->indexOf("\r\n\r\n"));
            head->clear();
            emit requestReceived();
            if (silent)
                return;
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

} // namespace selvo::test
