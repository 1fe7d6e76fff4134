// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CGlobalData.h"
#include "app/CTarnwickCommandLine.h"

#include <functional>
#include <string>
#include <vector>

namespace tw {

// What start-up shows: the progress window and the main window. The window
// program implements it with widgets, batch mode on stderr.
class StartupUi {
public:
    virtual ~StartupUi() = default;
    virtual void showProgress(const std::string& text) = 0;
    virtual void closeProgress() = 0;
    // Creates and shows the main window; false ends the program.
    virtual bool createMainWindow() = 0;
};

// The work behind the batch words. Each returns true on success; an empty
// function means that this build cannot do the work yet.
struct BatchActions {
    std::function<bool(CGlobalData&)> exportAllTracks;
    std::function<bool(CGlobalData&)> deleteAllTracks;
    std::function<bool(CGlobalData&, std::time_t since)> exportFieldNotes;
    std::function<bool(CGlobalData&, const std::string& file)> importGpx;
    std::function<bool(CGlobalData&, const std::string& file)> exportGpx;
    std::function<bool(CGlobalData&, const std::vector<std::string>& codes)> liveDownload;
    std::function<bool(CGlobalData&, double lat, double lon)> liveNearest;
    std::function<bool(CGlobalData&)> liveRefresh;
};

// Start-up and shutdown of the main program, in their fixed order.
class CTarnwickApp {
public:
    explicit CTarnwickApp(CGlobalData& global);
    ~CTarnwickApp();
    CTarnwickApp(const CTarnwickApp&) = delete;
    CTarnwickApp& operator=(const CTarnwickApp&) = delete;

    // Runs the start-up sequence. False ends the process at once. After a
    // batch run, quitRequested() is true and no window was created.
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
