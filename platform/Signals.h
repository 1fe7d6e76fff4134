// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <string>

namespace tw {

// SIGINT and SIGTERM are turned into a request to end the program through
// its normal shutdown: a flag that long jobs poll, and a descriptor that
// becomes readable for an event loop.
//
// A program that does not react is ended all the same: a watchdog thread
// waits for the signal, and when the shutdown has not begun within
// kTerminationReaction (the window thread is stuck in a long computation,
// a job does not poll the flag) or has not ended within kTerminationLimit,
// it writes the forced-exit message to stderr and ends the process with
// _exit(128 + signal). That is safe for what we keep: the databases are
// SQLite with transactions and the settings are written by rename, so an
// exit at any moment leaves the last committed state.
inline constexpr std::chrono::milliseconds kTerminationReaction{600};
inline constexpr std::chrono::milliseconds kTerminationLimit{3000};

void installTerminationHandler();
bool terminationRequested();
// The same as a flag that a long job polls as its cancel flag.
const std::atomic<bool>& terminationFlag();
// Readable once a termination signal has arrived; -1 before installation.
int terminationFd();
// The program has begun its shutdown: the watchdog allows it up to
// kTerminationLimit from the signal instead of kTerminationReaction.
void noteShutdownStarted();
// The line the watchdog writes before a forced exit (in the program's
// language); at most 500 bytes are kept.
void setForcedExitMessage(const std::string& text);

} // namespace tw
