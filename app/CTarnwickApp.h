// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/BatchActions.h"
#include "app/CGlobalData.h"
#include "app/CTarnwickCommandLine.h"
#include "app/StartupUi.h"

#include <string>
#include <vector>

namespace tw {

// Start-up and shutdown of the main program, in their fixed order.
class CTarnwickApp {
public:
    explicit CTarnwickApp(CGlobalData& global);
    ~CTarnwickApp();
    CTarnwickApp(const CTarnwickApp&) = delete;
    CTarnwickApp& operator=(const CTarnwickApp&) = delete;

    // Runs the start-up sequence. False ends the process at once. After a
    // batch run, or when a signal to end came during start-up,
    // quitRequested() is true and no window (or no receiver) was started.
    bool InitInstance(const std::vector<std::string>& args, StartupUi& ui);
    // Runs the shutdown sequence; returns the process exit code.
    int ExitInstance();

    bool quitRequested() const { return m_quit; }
    const CTarnwickCommandLine& commandLine() const { return m_commandLine; }
    BatchActions batch;

    // The power options as the general options screen applies them.
    void applyPowerOptions();

private:
    void bootstrapDatabase();
    void openCacheDatabase();
    void openTrackDatabase();
    void runBatch(StartupUi& ui);
    void startGps();
    void releasePower();

    CGlobalData& m_global;
    CTarnwickCommandLine m_commandLine;
    bool m_quit = false;
    bool m_batchFailed = false;
    bool m_powerTaken = false;
    bool m_unattended = false;
};

// Copies the template to target without ever replacing an existing file:
// through a temporary file that is renamed into place only if the target is
// still absent. False when nothing was copied.
bool copyTemplateDatabase(const std::filesystem::path& templ, const std::filesystem::path& target);

} // namespace tw
