// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/SingleInstance.h"

#include "platform/Paths.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/socket.h>
#include <unistd.h>

namespace tw {
namespace {

constexpr int kMaxRequestBytes = 256;

// Only a program of the same user may hand over or take a request.
bool peerIsThisUser(qintptr descriptor)
{
    struct ucred peer {};
    socklen_t size = sizeof peer;
    return descriptor >= 0 &&
           ::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == ::getuid();
}

} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& configDir, QObject* parent) : QObject(parent)
{
    // A predictable name in a folder everybody may write to can be taken by
    // another local user first: the socket lives in a folder only we enter.
    const auto folder = privateRuntimeFolder();
    if (!folder)
        return;
    const QByteArray settings =
        QByteArray::fromStdString(std::filesystem::absolute(configDir).lexically_normal().string());
    const QString file = QStringLiteral("tarnwick-") +
                         QString::fromLatin1(QCryptographicHash::hash(settings, QCryptographicHash::Sha1).toHex().left(16));
    m_name = QString::fromStdString((*folder / file.toStdString()).string());
}

bool SingleInstance::forward(const QString& showCode, int timeoutMs)
{
    if (m_name.isEmpty())
        return false;
    // One limit for the whole exchange: a program that takes the connection
    // and never answers does not keep this start waiting.
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(int(deadline.remainingTime())) || !peerIsThisUser(socket.socketDescriptor()))
        return false;
    socket.write((QStringLiteral("show ") + showCode + QLatin1Char('\n')).toUtf8());
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    // The running program answers once it has the request.
    while (!socket.canReadLine() && socket.bytesAvailable() < kMaxRequestBytes && !deadline.hasExpired())
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    return socket.readLine(kMaxRequestBytes).startsWith("ok");
}

bool SingleInstance::listen()
{
    if (m_name.isEmpty())
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A socket left by a program that died: nobody answers on it, and
        // nobody else can have made it in our own folder.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
    return true;
}

void SingleInstance::onConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!peerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > kMaxRequestBytes)
                    socket->abort();
                return;
            }
            const QString line = QString::fromUtf8(socket->readLine(kMaxRequestBytes)).trimmed();
            socket->write("ok\n");
            socket->flush();
            if (line.startsWith(QLatin1String("show")))
                emit requested(line.mid(4).trimmed());
        });
    }
}

} // namespace tw
