#include "gui/app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace selvo::gui {

namespace {
QString key(const QString& dataFolder) {
    const QByteArray id =
        (qEnvironmentVariable("USER") + QLatin1Char('|') + QDir::cleanPath(dataFolder)).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(id, QCryptographicHash::Sha1).toHex().left(16));
}
const QByteArray kShow = "show\n";
const QByteArray kShown = "ok\n";
} // namespace

SingleInstance::SingleInstance(const QString& dataFolder, QObject* parent)
    : QObject(parent), m_dataFolder(dataFolder) {
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance() {
    m_server.close();
}

namespace {
// The user's private runtime folder (XDG_RUNTIME_DIR, or the 0700 folder Qt makes in its
// place): nobody else can make a file there first and keep the till from starting. Without one
// (Qt refuses a runtime folder another user owns), the data folder, which is private too; never
// a shared folder such as /tmp.
QString runtimeFolder(const QString& dataFolder) {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return dir.isEmpty() ? dataFolder : dir;
}
} // namespace

QString SingleInstance::serverName(const QString& dataFolder) {
    return QDir(runtimeFolder(dataFolder))
        .filePath(QStringLiteral("selvo-") + key(dataFolder) + QStringLiteral(".sock"));
}

QString SingleInstance::lockPath(const QString& dataFolder) {
    return QDir(runtimeFolder(dataFolder))
        .filePath(QStringLiteral("selvo-") + key(dataFolder) + QStringLiteral(".lock"));
}

SingleInstance::Outcome SingleInstance::claim() {
    m_lock = std::make_unique<QLockFile>(lockPath(m_dataFolder));
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        QLocalServer::removeServer(serverName(m_dataFolder));
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        return m_server.listen(serverName(m_dataFolder)) ? Outcome::First : Outcome::Failed;
    }
    if (m_lock->error() != QLockFile::LockFailedError)
        return Outcome::Failed;
    // Another instance holds the lock. It may still be starting: give it a moment to listen.
    const QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(serverName(m_dataFolder));
        if (socket.waitForConnected(500)) {
            socket.write(kShow);
            socket.flush();
            while (!deadline.hasExpired() && socket.state() == QLocalSocket::ConnectedState) {
                if (socket.canReadLine() ||
                    socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
                    if (socket.canReadLine())
                        return socket.readLine() == kShown ? Outcome::ShownOther : Outcome::OtherNotAnswering;
                }
            }
            return Outcome::OtherNotAnswering;
        }
        QThread::msleep(100);
    }
    return Outcome::OtherNotAnswering;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == kShow) {
                    emit showRequested();
                    socket->write(kShown);
                    socket->flush();
                }
            }
        });
    }
}

} // namespace selvo::gui
