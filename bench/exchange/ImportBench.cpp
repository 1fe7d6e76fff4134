// SPDX-License-Identifier: GPL-3.0-or-later
// Times a full import of a pocket query into a fresh cache database (texts
// compressed, logs, attributes, waypoints and tags stored), its peak memory,
// and, in the same run, GPSBabel merely reading the same file.
// A database of the desktop cache manager (make_gsak_database) is imported
// as the program imports it: a private copy first, then the copy read.
//   import_bench FILE [--alone] [--database DB] [--no-index] [--index-option NAME=VALUE]...
// With --database the import goes into a copy of DB (a big database from
// make_cache_database; its caches' codes differ from the pocket query's),
// made before the clock starts. With --no-index the copy loses its
// full-text index first, so that a run shows what keeping it costs;
// --index-option NAME=VALUE sets one of the index's FTS5 options on the copy
// (automerge, crisismerge, pgsz, hashsize, usermerge), for trying them out.
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "db/Tags.h"
#include "exchange/CGpxImporter.h"
#include "exchange/CacheImportStore.h"
#include "exchange/GsakImporter.h"
#include "exchange/GsakSnapshot.h"
#include "platform/RecordingPrompter.h"
#include "xml/CUtf8FileSource.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace tw;
using Clock = std::chrono::steady_clock;

namespace {

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// User and system time of every thread of this process so far.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return s(usage.ru_utime) + s(usage.ru_stime);
}

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv)
{
    // --alone: no GPSBabel run after the import (scripts/bench.sh times it
    // on its own).
    bool alone = false;
    bool withIndex = true;
    std::vector<std::pair<std::string, std::string>> indexOptions;
    std::filesystem::path into = std::filesystem::path(TARNWICK_RUNTIME_DIR) / "emptydb.db3";
    bool usable = argc >= 2;
    for (int i = 2; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--alone")
            alone = true;
        else if (std::string_view(argv[i]) == "--no-index")
            withIndex = false;
        else if (std::string_view(argv[i]) == "--index-option" && i + 1 < argc &&
                 std::strchr(argv[i + 1], '=') != nullptr) {
            const std::string option = argv[++i];
            indexOptions.emplace_back(option.substr(0, option.find('=')), option.substr(option.find('=') + 1));
        } else if (std::string_view(argv[i]) == "--database" && i + 1 < argc)
            into = argv[++i];
        else
            usable = false;
    }
    if (!usable) {
        std::fprintf(stderr, "usage: import_bench FILE [--alone] [--database DB] [--no-index] [--index-option NAME=VALUE]...\n");
        return 2;
    }
    const std::filesystem::path file = argv[1];
    const std::filesystem::path db = std::filesystem::temp_directory_path() /
                                     ("tarnwick-import-bench-" + std::to_string(::getpid()) + ".db3");
    std::filesystem::copy_file(into, db, std::filesystem::copy_options::overwrite_existing);
    const long rssBefore = peakRssKb();
    RecordingPrompter prompter;
    SQLite::Database database(&prompter);
    database.OpenFile(db.string());
    if (!withIndex &&
        database.Exec("DROP TABLE IF EXISTS `cachetext_state`; DROP TABLE IF EXISTS `cachetext`;") != 0) {
        std::fprintf(stderr, "could not drop the index: %s\n", database.errorText().c_str());
        return 1;
    }
    for (const auto& [name, value] : indexOptions) {
        SQLite::Statement set(database, "INSERT INTO `cachetext` (`cachetext`, `rank`) VALUES (?, ?)");
        set.BindText(1, name);
        set.BindInt(2, std::stoi(value));
        set.stepDone();
    }
    const TagCategories categories = resolveTagCategories(database);
    CacheStore store(database, categories, 1);
    CacheImportStore sink(store, database);
    const bool pipelined = std::getenv("IMPORT_ONE_THREAD") == nullptr;

    const double cpuBefore = cpuSeconds();
    const auto start = Clock::now();
    int caches = 0, waypoints = 0;
    bool complete = false;
    std::string copyNote;
    if (hasSqliteHeader(file)) {
        const std::filesystem::path copy = db.string() + "-snapshot";
        SnapshotStats stats;
        const std::string problem = copySnapshot(file, copy, &stats);
        GsakImporter importer(sink, "cacher1");
        importer.setPipelined(pipelined);
        if (problem.empty()) {
            SQLite::Database snapshot;
            snapshot.Open(copy.string());
            complete = importer.read(snapshot, nullptr) == GsakImporter::Outcome::Complete;
        } else {
            std::printf("copy failed: %s\n", problem.c_str());
        }
        sink.finish();
        removeSnapshot(copy);
        caches = importer.newCaches() + importer.updated() + importer.skipped();
        waypoints = importer.waypoints();
        char note[96];
        std::snprintf(note, sizeof note, " (copy %.2f s in %d steps)", stats.seconds, stats.steps);
        copyNote = note;
    } else {
        CGpxImporter importer(sink, "cacher1");
        importer.setPipelined(pipelined);
        CUtf8FileSource source(file);
        complete = importer.parse(source, nullptr) == CGpxImporter::Outcome::Complete;
        sink.finish();
        caches = importer.newCaches() + importer.updated() + importer.skipped();
        waypoints = importer.waypoints();
    }
    const double ours = seconds(start);
    const double cpu = cpuSeconds() - cpuBefore;
    const long rssAfter = peakRssKb();
    std::printf("import: %d caches, %d waypoints in %.2f s (%.0f caches/s, CPU %.2f s), %s%s; peak RSS %.1f MB (grew "
                "%.1f MB)\n",
                caches, waypoints, ours, caches / ours, cpu, complete ? "complete" : "INCOMPLETE", copyNote.c_str(),
                rssAfter / 1024.0, (rssAfter - rssBefore) / 1024.0);
    if (!prompter.messages().empty())
        std::printf("messages: %s\n", prompter.messages().front().text.c_str());
    database.Close();
    if (const char* keep = std::getenv("IMPORT_BENCH_KEEP")) {
        // The imported database, for a look at what was stored.
        std::filesystem::rename(db, keep);
        std::printf("database kept as %s (%.1f MB)\n", keep, std::filesystem::file_size(keep) / 1e6);
    }
    std::filesystem::remove(db);
    std::filesystem::remove(db.string() + "-wal");
    std::filesystem::remove(db.string() + "-shm");

    if (alone)
        return 0;
    if (std::system("command -v gpsbabel >/dev/null") != 0) {
        std::printf("gpsbabel: not installed, no comparison\n");
        return 0;
    }
    const auto babelStart = Clock::now();
    const std::string command = "gpsbabel -i gpx -f '" + file.string() +
                                "' -x nuketypes,waypoints,tracks,routes -o gpx -F /dev/null";
    if (std::system(command.c_str()) != 0)
        std::printf("gpsbabel failed\n");
    const double babel = seconds(babelStart);
    std::printf("gpsbabel reading the same file: %.2f s (%.0f caches/s); ratio ours/gpsbabel = %.2f\n", babel,
                caches / babel, ours / babel);
    return 0;
}
