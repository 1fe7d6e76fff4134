// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

namespace tw {
namespace {

constexpr int kMaxRequestBytes = 256;

} // namespace

SingleInstance::SingleInstance(const std::filesystem::path& configDir, QObject* parent) : QObject(parent)
{
    const QByteArray folder = QByteArray::fromStdString(std::filesystem::absolute(configDir).lexically_normal().string());
    m_name = QStringLiteral("tarnwick-") +
             QString::fromLatin1(QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16));
}

bool SingleInstance::forward(const QString& showCode, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write((QStringLiteral("show ") + showCode + QLatin1Char('\n')).toUtf8());
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running program answers once it has the request.
    return socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("ok");
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        // A socket left by a program that died: nobody answers on it.
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
