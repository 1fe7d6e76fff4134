// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw {

// What a long job (import, export, download) shows while it runs: four
// counters, two lines of text, a progress bar and, at the end, a completion
// text. Called from the job's worker thread; the window side hops to its own
// thread and never blocks the worker.
class JobProgress {
public:
    virtual ~JobProgress() = default;
    // k = 1 to 4.
    virtual void setCounter(int k, int value) = 0;
    // line = 1 or 2; 3 is a status line (connecting, downloads left).
    virtual void setText(int line, const std::string& text) = 0;
    virtual void setRange(int total) = 0;
    virtual void setPosition(int position) = 0;
    // The job has ended; the text says how.
    virtual void finish(const std::string& completion) = 0;
};

// The counters of the jobs that bring caches in (GPX import, Live API
// downloads): the same four in the same places.
inline constexpr int kCounterNew = 1;
inline constexpr int kCounterWaypoints = 2;
inline constexpr int kCounterSkipped = 3;
inline constexpr int kCounterUpdated = 4;

} // namespace tw
