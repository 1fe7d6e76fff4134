// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up of the program on a big cache database, each run a new process:
//   - the window (offscreen) from the start of the process to the first
//     painted cache list (the program says so on standard output when
//     TARNWICK_EXIT_AFTER_LIST=1, and ends);
//   - batch words (tdel, fn) from the start of the process to its end.
// TARNWICK_BENCH_STARTUP_DB names the database (copied once into a folder of
// its own); TARNWICK_BENCH_PROGRAM the program (default: the one built here).
// Every run finds the database in the page cache: one start before the
// timed ones warms it and adds what a first start adds. The window's runs
// also report the program's peak memory (its largest resident set).
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kPaintedLine = "tarnwick: cache list painted";
constexpr int kTimeoutMs = 15000;

struct Home {
    fs::path root;
    std::string error;

    Home()
    {
        const char* db = std::getenv("TARNWICK_BENCH_STARTUP_DB");
        if (!db || !fs::exists(db)) {
            error = "TARNWICK_BENCH_STARTUP_DB names no database";
            return;
        }
        char pattern[] = "/tmp/tarnwick-startup-XXXXXX";
        if (!::mkdtemp(pattern)) {
            error = "no temporary folder";
            return;
        }
        root = pattern;
        fs::create_directories(root / "config");
        fs::create_directories(root / "data");
        fs::create_directories(root / "docs");
        fs::copy_file(db, root / "data" / "cachedb.db3");
        // The word fn writes to the field notes file the settings name.
        std::ofstream ini(root / "config" / "Tarnwick.ini");
        ini << "[Options]\nFNFile=" << (root / "docs" / "geocache_visits.txt").string() << "\n";
    }
    ~Home()
    {
        std::error_code ec;
        if (!root.empty())
            fs::remove_all(root, ec);
    }
};

Home& home()
{
    static Home h;
    return h;
}

std::string program()
{
    if (const char* p = std::getenv("TARNWICK_BENCH_PROGRAM"))
        return p;
    return std::string(TARNWICK_RUNTIME_DIR) + "/tarnwick";
}

// Starts the program; its standard output goes to the returned pipe.
struct Run {
    pid_t pid = -1;
    int output = -1;
    Clock::time_point started;
};

bool start(const std::vector<std::string>& args, bool window, Run& run)
{
    const Home& h = home();
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("TARNWICK_", 0) != 0 && entry.rfind("QT_QPA_PLATFORM=", 0) != 0 &&
            entry.rfind("XDG_DOCUMENTS_DIR=", 0) != 0)
            env.push_back(entry);
    }
    env.push_back("TARNWICK_CONFIG_DIR=" + (h.root / "config").string());
    env.push_back("TARNWICK_DATA_DIR=" + (h.root / "data").string());
    env.push_back("XDG_DOCUMENTS_DIR=" + (h.root / "docs").string());
    if (window) {
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("TARNWICK_EXIT_AFTER_LIST=1");
    }
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = program();
    std::vector<std::string> words = args;
    std::vector<char*> argv{exe.data()};
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    run.started = Clock::now();
    const int rc = ::posix_spawn(&run.pid, exe.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return false;
    }
    run.output = fds[0];
    return true;
}

// Reads the output until `line` arrives (returns its arrival) or the end.
bool waitForLine(Run& run, const char* line, Clock::time_point& at)
{
    std::string seen;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kTimeoutMs);
    while (Clock::now() < deadline) {
        pollfd p{run.output, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (::poll(&p, 1, static_cast<int>(std::max<long long>(left, 1))) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(run.output, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        seen.append(buffer, static_cast<std::size_t>(n));
        if (seen.find(line) != std::string::npos) {
            at = Clock::now();
            return true;
        }
    }
    return false;
}

// The peak resident set of the last process reaped, in megabytes.
double lastPeakRssMb = 0.0;

// Reads the rest of the output and reaps the process; its exit code, or -1.
int finish(Run& run)
{
    char buffer[512];
    while (::read(run.output, buffer, sizeof buffer) > 0) {
    }
    ::close(run.output);
    int status = 0;
    rusage usage{};
    if (::wait4(run.pid, &status, 0, &usage) != run.pid || !WIFEXITED(status))
        return -1;
    lastPeakRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return WEXITSTATUS(status);
}

// One start of the window; the time to the first painted list, or a
// negative number on failure.
double windowStart()
{
    Run run;
    if (!start({}, true, run))
        return -1.0;
    Clock::time_point painted;
    const bool ok = waitForLine(run, kPaintedLine, painted);
    if (!ok)
        ::kill(run.pid, SIGTERM);
    const int code = finish(run);
    if (!ok || code != 0)
        return -1.0;
    return std::chrono::duration<double>(painted - run.started).count();
}

double batchStart(const std::string& word)
{
    Run run;
    if (!start({word}, false, run))
        return -1.0;
    const int code = finish(run);
    const double seconds = std::chrono::duration<double>(Clock::now() - run.started).count();
    return code == 0 ? seconds : -1.0;
}

template <typename F>
void timeRuns(benchmark::State& state, F once)
{
    double peakRssMb = 0.0;
    if (!home().error.empty()) {
        state.SkipWithError(home().error.c_str());
        return;
    }
    // The first start warms the caches; when it fails, so would the rest.
    static const bool started = once() >= 0;
    if (!started) {
        state.SkipWithError("the program failed or did not paint its list in time");
        return;
    }
    for (auto _ : state) {
        const double seconds = once();
        if (seconds < 0) {
            state.SkipWithError("the program failed or did not paint its list in time");
            break;
        }
        state.SetIterationTime(seconds);
        peakRssMb = std::max(peakRssMb, lastPeakRssMb);
    }
    state.counters["peakRssMB"] = peakRssMb;
}

void BM_StartupToFirstList(benchmark::State& state)
{
    timeRuns(state, windowStart);
}

void BM_BatchStartup_tdel(benchmark::State& state)
{
    timeRuns(state, [] { return batchStart("tdel"); });
}

void BM_BatchStartup_fn(benchmark::State& state)
{
    timeRuns(state, [] { return batchStart("fn"); });
}

} // namespace

BENCHMARK(BM_StartupToFirstList)->UseManualTime()->Iterations(1)->Repetitions(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchStartup_tdel)->UseManualTime()->Iterations(1)->Repetitions(7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchStartup_fn)->UseManualTime()->Iterations(1)->Repetitions(7)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
