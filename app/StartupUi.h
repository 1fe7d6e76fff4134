// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

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

} // namespace tw
