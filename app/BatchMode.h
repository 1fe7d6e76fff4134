// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/BatchActions.h"
#include "app/StartupUi.h"
#include "platform/Paths.h"

#include <string>
#include <vector>

namespace tw {

// The work of every batch word this build can do.
BatchActions defaultBatchActions();

// Start-up progress on stderr; there is no window to create.
class ConsoleStartupUi final : public StartupUi {
public:
    void showProgress(const std::string& text) override;
    void closeProgress() override {}
    bool createMainWindow() override { return false; }
};

// Runs the program without a display: start-up, the batch words, shutdown.
// Messages and questions go to stderr; questions take their default answer.
int runBatchMode(const Paths& paths, const std::vector<std::string>& args);

} // namespace tw
