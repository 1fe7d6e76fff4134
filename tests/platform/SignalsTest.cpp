// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Signals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tw {
namespace {

using Clock = std::chrono::steady_clock;

struct Ended {
    int status = 0;
    std::chrono::milliseconds after{};
};

// The handler and its flag stay for the rest of a process: each case runs
// in a child of its own, which gets SIGTERM and then does what body does.
template <class Body>
Ended signalledChild(Body body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        installTerminationHandler();
        std::raise(SIGTERM);
        body();
        std::_Exit(0);
    }
    const auto start = Clock::now();
    int status = 0;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() - start > std::chrono::seconds(10)) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return {status, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start)};
}

TEST(TerminationWatchdog, EndsAProgramThatDoesNotReactAndWaitsForOneThatShutsDown)
{
    // A window thread stuck in a computation never looks at the signal.
    const Ended stuck = signalledChild([] {
        volatile unsigned long spins = 0;
        for (;;)
            spins = spins + 1;
    });
    ASSERT_TRUE(WIFEXITED(stuck.status));
    EXPECT_EQ(WEXITSTATUS(stuck.status), 128 + SIGTERM);
    EXPECT_GE(stuck.after, kTerminationReaction - std::chrono::milliseconds(50));
    EXPECT_LT(stuck.after, std::chrono::milliseconds(1000));

    // A shutdown that has begun gets longer than the reaction time ...
    const Ended orderly = signalledChild([] {
        EXPECT_TRUE(terminationRequested());
        noteShutdownStarted();
        std::this_thread::sleep_for(kTerminationReaction + std::chrono::milliseconds(400));
    });
    ASSERT_TRUE(WIFEXITED(orderly.status));
    EXPECT_EQ(WEXITSTATUS(orderly.status), 0);

    // ... but not for ever.
    const Ended hung = signalledChild([] {
        noteShutdownStarted();
        std::this_thread::sleep_for(std::chrono::seconds(30));
    });
    ASSERT_TRUE(WIFEXITED(hung.status));
    EXPECT_EQ(WEXITSTATUS(hung.status), 128 + SIGTERM);
    EXPECT_LT(hung.after, kTerminationLimit + std::chrono::milliseconds(500));
}

} // namespace
} // namespace tw
