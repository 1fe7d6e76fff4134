// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

namespace tw {

// SIGINT and SIGTERM are turned into a request to end the program through
// its normal shutdown: a flag that long jobs poll, and a descriptor that
// becomes readable for an event loop.
void installTerminationHandler();
bool terminationRequested();
// The same as a flag that a long job polls as its cancel flag.
const std::atomic<bool>& terminationFlag();
// Readable once a termination signal has arrived; -1 before installation.
int terminationFd();

} // namespace tw
