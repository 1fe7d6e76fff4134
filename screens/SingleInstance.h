// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <filesystem>

class QLocalServer;

namespace tw {

// One running window per settings folder. A second start hands its request
// (come to the front, or show a cache) to the running program over a local
// socket and ends; the running program emits requested(). The socket lives
// in a folder only this user can enter (privateRuntimeFolder), and either
// side talks only to a peer of the same user id; without such a folder
// every start opens its own window.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const std::filesystem::path& configDir, QObject* parent = nullptr);

    // Hands the request to a running program; true when one took it and
    // answered within timeoutMs, all told. An empty code asks it only to
    // come to the front.
    bool forward(const QString& showCode, int timeoutMs = 1000);
    // Starts answering later starts; false when the socket cannot be made.
    bool listen();
    // The socket's full path; empty when there is no private folder.
    QString serverName() const { return m_name; }

signals:
    // A later start asked for the front; showCode is empty or a cache code.
    void requested(const QString& showCode);

private:
    void onConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
};

} // namespace tw
