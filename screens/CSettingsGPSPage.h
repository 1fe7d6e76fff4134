// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Settings.h"
#include "gps/PortList.h"

#include "screens/OptionsPage.h"

#include <atomic>
#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace tw {

// The GPS page of the options: the port (the ports found on this machine as
// "name description", or one typed in: gpsd://host:port, replay:FILE), the
// speed, the search for a receiver, the start with the program and the
// track recording. The search runs on a worker of its own and reports on the
// page; the window goes on meanwhile and the search can be cancelled.
class CSettingsGPSPage final : public OptionsPage {
    Q_OBJECT
public:
    explicit CSettingsGPSPage(CGlobalData& global, QWidget* parent = nullptr);
    // Cancels a running search and waits for its worker.
    ~CSettingsGPSPage() override;

    void load(const Settings& settings);
    void store(Settings& settings) const;

    // Where the ports are looked for (tests and the tour use a folder of
    // their own); lists them again.
    void setScanRoots(const PortScanRoots& roots);
    void listPorts(const std::string& configured);
    // The port chosen or typed; empty when none.
    std::string chosenPort() const;

    void startDetect();
    void cancelDetect();
    // Cancels a search and waits for its worker (at most about a second).
    void stopDetect();
    bool detecting() const { return m_worker.joinable() && !m_done; }
    // The search started or stopped the receiver: leaving without OK has to
    // bring back what ran before.
    bool receiverTouched() const { return m_touched; }
    // Ends a search at once (waiting for its worker) and puts the receiver
    // back as it ran when the page opened.
    void restoreReceiver();
    // The options were confirmed: the receiver runs as they say now.
    void accepted();

    QComboBox* portList() const { return m_port; }
    QComboBox* speedList() const { return m_speed; }
    QPushButton* detectButton() const { return m_detect; }
    QLabel* detectStatus() const { return m_status; }

signals:
    void detectFinished(bool found);

private:
    void onDetectDone(bool found, const std::string& port, unsigned speed);
    void selectSpeed(unsigned speed);
    void joinWorker();

    PortScanRoots m_roots;
    QComboBox* m_port = nullptr;
    QComboBox* m_speed = nullptr;
    QPushButton* m_detect = nullptr;
    QLabel* m_status = nullptr;
    QCheckBox* m_autoStart = nullptr;
    QCheckBox* m_saveTrack = nullptr;

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    bool m_touched = false;
    // What the receiver ran when the page opened.
    bool m_wasRunning = false;
    std::string m_wasPort;
    unsigned m_wasBaud = 0;
};

} // namespace tw
