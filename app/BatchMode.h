// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/BatchActions.h"
#include "app/StartupUi.h"
#include "platform/Paths.h"

#include <cstdio>
#include <string>
#include <vector>

namespace tw {

class CGlobalData;

// The batch word "find": every cache whose texts match the query, best first,
// one line each on out: code, TAB, name, TAB, the matching piece of text with
// the matched words as [word]; control characters are left out of all three.
// Builds the full-text index first when it is missing (saying so on err).
// False when nothing matches, the query holds no word, or the search cannot
// run (no database, no FTS5); the reason goes to err.
bool findCaches(CGlobalData& global, const std::string& query, std::FILE* out, std::FILE* err);

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
// The actions are defaultBatchActions() with what the window layer adds.
int runBatchMode(const Paths& paths, const std::vector<std::string>& args, BatchActions actions = defaultBatchActions());

} // namespace tw
