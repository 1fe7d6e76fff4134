// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "online/LiveLogin.h"

#include <QDialog>

#include <atomic>
#include <thread>

class QLabel;
class QPushButton;

namespace tw {

class CGlobalData;

// The login dialog. Opening it empties the access token, asks the relay for
// a ticket (on a worker thread), leaves ticket and signature in the hand-over
// file and starts the login browser lorvik detached. OK (enabled a second
// after the browser has started) reloads the online settings, which reads the
// token lorvik stored. Cancel leaves the token empty.
class CGcLiveLoginDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CGcLiveLoginDlg(CGlobalData& global, QWidget* parent = nullptr);
    ~CGcLiveLoginDlg() override;

    // The started browser's process id; 0 while none was started.
    qint64 browserPid() const { return m_browserPid; }

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void start();
    void ticketReady(const net::LoginTicket& ticket, const std::string& relay);
    bool startBrowser(const std::string& relay);
    void finishWhenIdle(int result);

    CGlobalData& m_global;
    QLabel* m_status = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    std::thread m_worker;
    std::atomic<bool> m_fetching{false};
    bool m_started = false;
    int m_pendingResult = -1; // a close asked for while the ticket is fetched
    qint64 m_browserPid = 0;
};

// Runs the login dialog; true when the user confirmed it and a token is there
// afterwards. Window thread only: the online commands' login hook
// (setOnlineLogin) brings a worker's request over to it.
bool runLiveLogin(QWidget* window, CGlobalData& global);

} // namespace tw
