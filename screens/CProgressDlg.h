// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/JobProgress.h"

#include <QDialog>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tw {

// The modal dialog of long jobs (import, export, online downloads): four
// counters, two lines of text, a progress bar and Cancel; when the job has
// finished, its completion text and OK. The job runs on a worker thread and
// reports through JobProgress; every update is posted to the window thread.
class CProgressDlg final : public QDialog, public JobProgress {
    Q_OBJECT
public:
    // counterNames: captions of the counters; empty names hide a counter.
    CProgressDlg(const QString& title, const std::vector<QString>& counterNames, QWidget* parent = nullptr);

    // Captions of the button while the job runs and once it has finished.
    void setButtonTexts(const QString& cancel, const QString& ok);

    const std::atomic<bool>& cancelFlag() const { return m_cancel; }
    bool cancelled() const { return m_cancel; }

    void setCounter(int k, int value) override;
    void setText(int line, const std::string& text) override;
    void setRange(int total) override;
    void setPosition(int position) override;
    void finish(const std::string& completion) override;

    // Runs work on a worker thread, started 100 ms after the dialog shows,
    // and shows the dialog modally until the job has finished and the user
    // has confirmed it. The worker is always joined before this returns.
    // True when the job ran to its end and was confirmed with OK.
    bool run(std::function<void(CProgressDlg&)> work);

protected:
    // Escape or closing the window cancels the job; the dialog closes when
    // the job has finished, never under a running worker.
    void reject() override;

private:
    void onButton();
    void post(std::function<void()> update);

    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_finished{false};
    std::vector<QLabel*> m_counters;
    QLabel* m_line1 = nullptr;
    QLabel* m_line2 = nullptr;
    QLabel* m_line3 = nullptr; // status line, shown once set
    QLabel* m_completion = nullptr;
    QProgressBar* m_bar = nullptr;
    QString m_okText;
    QPushButton* m_button = nullptr;
};

} // namespace tw
