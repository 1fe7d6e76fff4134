// SPDX-License-Identifier: GPL-3.0-or-later
// lorvik: the login browser. It shows the relay's sign-in pages for the
// ticket that the main program left in handover.ini and, once the sign-in is
// done, stores the access token there and ends. One window at a time: a
// second start brings the first to the front.
//
// Environment: TARNWICK_RELAY_URL (the relay's folder, e.g.
// http://127.0.0.1:8080/oa/), TARNWICK_CONFIG_DIR (the hand-over file's folder).
#include "login/HandoverFile.h"
#include "login/LorvikWindow.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <cstdlib>
#include <unistd.h>

namespace {

// One name per user and hand-over folder.
QString instanceName(const std::filesystem::path& config)
{
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(config.string()),
                                                     QCryptographicHash::Sha1);
    return QStringLiteral("lorvik-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.toHex().left(12)));
}

bool raiseRunningInstance(const QString& name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(1000))
        return false;
    socket.write("front\n");
    socket.waitForBytesWritten(1000);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // The browser engine refuses its sandbox to root.
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lorvik"));

    const std::filesystem::path config = lorvik::configFolder();
    const QString name = instanceName(config);
    if (raiseRunningInstance(name))
        return 0;
    QLocalServer::removeServer(name); // left behind by a crashed instance
    QLocalServer server;
    server.setSocketOptions(QLocalServer::UserAccessOption);
    server.listen(name);

    const QUrl relay(QString::fromLocal8Bit(qgetenv("TARNWICK_RELAY_URL")));
    lorvik::LorvikWindow window(relay, lorvik::HandoverFile(config / "handover.ini"));
    QObject::connect(&server, &QLocalServer::newConnection, &window, [&server, &window] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            window.showNormal();
            window.raise();
            window.activateWindow();
        }
    });
    window.showMaximized();
    return QApplication::exec();
}
