// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"

#include "platform/ConsoleServices.h"
#include "platform/Signals.h"

#include <cstdio>

namespace tw {

BatchActions defaultBatchActions()
{
    return {};
}

void ConsoleStartupUi::showProgress(const std::string& text)
{
    if (!text.empty())
        std::fprintf(stderr, "tarnwick: %s\n", text.c_str());
}

int runBatchMode(const Paths& paths, const std::vector<std::string>& args)
{
    installTerminationHandler();
    ConsolePrompter prompter;
    ConsoleNotifier notifier;
    ConsoleKeepAwake keepAwake;
    CGlobalData global(paths, {prompter, notifier, keepAwake});
    CTarnwickApp app(global);
    app.batch = defaultBatchActions();
    ConsoleStartupUi ui;
    if (!app.InitInstance(args, ui))
        return 1;
    return app.ExitInstance();
}

} // namespace tw
