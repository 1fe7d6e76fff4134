// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Signals.h"

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace tw {
namespace {

std::atomic<bool> g_requested{false};
int g_pipe[2] = {-1, -1};

void onSignal(int)
{
    g_requested = true;
    if (g_pipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
    }
}

} // namespace

void installTerminationHandler()
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool terminationRequested()
{
    return g_requested;
}

const std::atomic<bool>& terminationFlag()
{
    return g_requested;
}

int terminationFd()
{
    return g_pipe[0];
}

} // namespace tw
