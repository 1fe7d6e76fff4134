// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Signals.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <semaphore.h>
#include <thread>
#include <unistd.h>

namespace tw {
namespace {

std::atomic<bool> g_requested{false};
std::atomic<bool> g_shutdownStarted{false};
std::atomic<int> g_signal{0};
int g_pipe[2] = {-1, -1};
// sem_post is one of the few calls a signal handler may make.
sem_t g_signalled;
bool g_watchdogRunning = false;
// A plain buffer: the watchdog may still read it while static objects are
// being destroyed at exit.
char g_message[512] = "tarnwick: the program did not end in time after the signal; it was stopped.\n";
std::atomic<std::size_t> g_messageSize{std::strlen(g_message)};

void onSignal(int signal)
{
    const int saved = errno;
    if (!g_requested.exchange(true)) {
        g_signal = signal;
        ::sem_post(&g_signalled);
    }
    if (g_pipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const auto n = ::write(g_pipe[1], &byte, 1);
    }
    errno = saved;
}

[[noreturn]] void forceExit()
{
    [[maybe_unused]] const auto n = ::write(STDERR_FILENO, g_message, g_messageSize.load());
    ::_exit(128 + g_signal.load());
}

void watch()
{
    while (::sem_wait(&g_signalled) != 0 && errno == EINTR) {
    }
    using Clock = std::chrono::steady_clock;
    const auto signalled = Clock::now();
    constexpr auto kStep = std::chrono::milliseconds(20);
    while (!g_shutdownStarted) {
        if (Clock::now() - signalled >= kTerminationReaction)
            forceExit();
        std::this_thread::sleep_for(kStep);
    }
    std::this_thread::sleep_until(signalled + kTerminationLimit);
    forceExit();
}

} // namespace

void installTerminationHandler()
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        g_pipe[0] = g_pipe[1] = -1;
    if (!g_watchdogRunning && ::sem_init(&g_signalled, 0, 0) == 0) {
        g_watchdogRunning = true;
        std::thread(watch).detach();
    }
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

void noteShutdownStarted()
{
    g_shutdownStarted = true;
}

void setForcedExitMessage(const std::string& text)
{
    // Written before any signal can arrive, and only by the window thread.
    std::string line = "tarnwick: " + text;
    if (line.size() > sizeof(g_message) - 2)
        line.resize(sizeof(g_message) - 2);
    line += '\n';
    g_messageSize = 0;
    std::memcpy(g_message, line.data(), line.size());
    g_messageSize = line.size();
}

} // namespace tw
