// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/StartupUi.h"

#include <QPointer>

#include <memory>

class QLabel;
class QWidget;

namespace tw {

class CGlobalData;
class MainWindow;
class QtNotifier;
class QtPrompter;

// The window side of start-up: a small progress window while the databases
// open, then the main window.
class QtStartupUi final : public StartupUi {
public:
    QtStartupUi(CGlobalData& global, QtNotifier& notifier, QtPrompter& prompter);
    ~QtStartupUi() override;

    void showProgress(const std::string& text) override;
    void closeProgress() override;
    bool createMainWindow() override;

    MainWindow* mainWindow() const { return m_mainWindow.get(); }

private:
    CGlobalData& m_global;
    QtNotifier& m_notifier;
    QtPrompter& m_prompter;
    std::unique_ptr<QWidget> m_progress;
    QLabel* m_progressLabel = nullptr;
    std::unique_ptr<MainWindow> m_mainWindow;
};

} // namespace tw
