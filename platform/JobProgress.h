// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

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

// Batch mode: the completion text and the final counters go to stderr.
class ConsoleJobProgress final : public JobProgress {
public:
    explicit ConsoleJobProgress(std::vector<std::string> counterNames) : m_names(std::move(counterNames)) {}
    void setCounter(int k, int value) override;
    void setText(int, const std::string&) override {}
    void setRange(int) override {}
    void setPosition(int) override {}
    void finish(const std::string& completion) override;

private:
    std::vector<std::string> m_names;
    std::atomic<int> m_counters[4] = {0, 0, 0, 0};
};

// Records every call, for tests.
class RecordingJobProgress final : public JobProgress {
public:
    void setCounter(int k, int value) override;
    void setText(int line, const std::string& text) override;
    void setRange(int total) override;
    void setPosition(int position) override;
    void finish(const std::string& completion) override;

    int counter(int k) const;
    std::string text(int line) const;
    int range() const;
    int position() const;
    int finishCount() const;
    std::string completion() const;

private:
    mutable std::mutex m_mutex;
    int m_counters[4] = {0, 0, 0, 0};
    std::string m_lines[3];
    int m_range = 0;
    int m_position = 0;
    int m_finished = 0;
    std::string m_completion;
};

} // namespace tw
