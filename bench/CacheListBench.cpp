// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the cache list from a database of 100,000 caches. The database is
// generated once into the temporary folder (it takes a while) and reused by
// later runs: TARNWICK_BENCH_DB names another file (make_cache_database
// writes big ones), TARNWICK_BENCH_REBUILD=1 makes it again. Besides the
// list: a change of the type filter and the opening of a listing, as the
// user waits for them, and the size of the database by table.
#include "app/CGlobalData.h"
#include "app/ListingFiles.h"
#include "app/ListingPages.h"
#include "bench/common/BenchCaches.h"
#include "db/CacheStore.h"
#include "db/FullText.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "geo/GeoMath.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

namespace fs = std::filesystem;
using namespace tw;

namespace {

constexpr int kCaches = 100000;
// Prague: the reference point, and the densest of the clusters.
constexpr geo::LatLon kReference{50.0875, 14.4214};
constexpr std::array<geo::LatLon, 5> kCities{{{50.0875, 14.4214}, {49.1951, 16.6068}, {49.7384, 13.3736},
                                               {50.7663, 15.0543}, {49.8209, 18.2625}}};

constexpr std::array kWords{"Old",    "Mill",   "Bridge", "Forest", "Castle", "Hill",  "Creek",  "Stone",
                            "Church", "Tower",  "Spring", "Chapel", "Rock",   "Lake",  "Meadow", "Path",
                            "Quarry", "Ruins",  "Gate",   "Well",   "Oak",    "Linden", "Fox",   "Owl"};
constexpr std::array kTypes{CacheType::Traditional, CacheType::Traditional, CacheType::Traditional,
                            CacheType::Traditional, CacheType::Traditional, CacheType::Multi,
                            CacheType::Multi,       CacheType::Unknown,     CacheType::Unknown,
                            CacheType::Earthcache,  CacheType::Letterbox,   CacheType::Event,
                            CacheType::Wherigo,     CacheType::Virtual};
constexpr std::array kSizes{CacheSize::Micro, CacheSize::Small, CacheSize::Small, CacheSize::Regular,
                            CacheSize::Large, CacheSize::Other, CacheSize::NotChosen};
constexpr std::array kAttributes{"dogs-yes", "kids-yes", "parking-yes", "scenic-yes", "night-no",
                                 "wheelchair-no", "hike_short-yes", "available-yes", "stealth-yes", "bicycles-yes"};

fs::path benchDbPath()
{
    if (const char* path = std::getenv("TARNWICK_BENCH_DB"))
        return path;
    return fs::temp_directory_path() / "tarnwick-bench-100k.db3";
}

std::string words(std::mt19937& random, int count)
{
    std::uniform_int_distribution<std::size_t> pick(0, kWords.size() - 1);
    std::string out;
    for (int i = 0; i < count; ++i) {
        if (i)
            out += ' ';
        out += kWords[pick(random)];
    }
    return out;
}

std::string listingHtml(std::mt19937& random)
{
    std::string html = "<p>";
    for (int i = 0; i < 60; ++i)
        html += words(random, 5) + (i % 12 == 11 ? ".</p>\n<p>" : ". ");
    return html + "</p>";
}

void generate(const fs::path& path, Services services)
{
    std::fprintf(stderr, "Generating %d caches into %s ...\n", kCaches, path.c_str());
    fs::remove(path);
    fs::copy_file(fs::path(TARNWICK_RUNTIME_DIR) / "emptydb.db3", path);
    SQLite::Database db(&services.prompter);
    db.OpenFile(path.string());
    db.Exec("PRAGMA synchronous = OFF;");
    const TagCategories categories = resolveTagCategories(db);
    CacheStore store(db, categories);

    std::mt19937 random(100000);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> spreadKm(0.0, 9.0);
    std::uniform_int_distribution<int> rating(2, 10);
    SQLite::Transaction transaction(db);
    for (int i = 0; i < kCaches; ++i) {
        CGeocache c;
        char code[16];
        std::snprintf(code, sizeof code, "GC%X", 0x10000 + i);
        c.code = code;
        c.guid = "guid-" + std::to_string(i);
        c.name = words(random, 1 + i % 4);
        c.author = words(random, 1) + std::to_string(i % 5000);
        // Half of the caches cluster around cities, half spread over the land.
        geo::LatLon at;
        if (i % 2 == 0) {
            const geo::LatLon city = kCities[static_cast<std::size_t>(i / 2) % kCities.size()];
            at = geo::projectPoint(city, std::fabs(spreadKm(random)), unit(random) * 360.0);
        } else {
            at = {48.6 + unit(random) * 2.4, 12.1 + unit(random) * 6.7};
        }
        c.lat = at.lat;
        c.lon = at.lon;
        c.type = kTypes[static_cast<std::size_t>(i) % kTypes.size()];
        c.size = kSizes[static_cast<std::size_t>(i) % kSizes.size()];
        c.difficulty = rating(random) * 5;
        c.terrain = rating(random) * 5;
        c.hidden = 20010101 + (i % 20) * 10000 + (i % 12) * 100 + i % 28;
        c.found = i % 9 == 0 ? 20100101 + (i % 12) * 100 + i % 28 : 0;
        c.foundTime = c.found ? (i % 24) * 100 + i % 60 : 0;
        c.status = i % 40 == 0 ? 1 : i % 97 == 0 ? 2 : 0;
        c.country = "Czech Republic";
        c.text = words(random, 12);
        c.longDesc = listingHtml(random);
        c.longDescHtml = 1;
        c.hint = words(random, 4);
        for (int a = 0; a < 3 + i % 3; ++a)
            c.attributes.push_back(kAttributes[static_cast<std::size_t>(i + a * 3) % kAttributes.size()]);
        for (int l = 0; l < 2; ++l) {
            auto log = std::make_unique<CGeoLog>();
            log->date = 20120101 + l;
            log->finder = words(random, 1);
            log->text = words(random, 25);
            c.logs.push_back(std::move(log));
        }
        if (!store.InsertCache(c))
            std::abort();
        if (c.type == CacheType::Multi || c.type == CacheType::Unknown) {
            for (int w = 0; w < 3; ++w) {
                CWaypoint wpt;
                wpt.code = c.code;
                wpt.prefix = std::string(1, static_cast<char>('P' + w)) + "1";
                wpt.type = w == 2 ? WaypointType::Final : w == 0 ? WaypointType::Parking : WaypointType::Stage;
                // Every other final is still unsolved: no position.
                const bool unsolved = w == 2 && i % 2;
                wpt.lat = unsolved ? 0.0 : c.lat + 0.001 * w;
                wpt.lon = unsolved ? 0.0 : c.lon + 0.001 * w;
                wpt.name = words(random, 2);
                wpt.flag = 1;
                if (!store.InsertWaypoint(wpt))
                    std::abort();
            }
        }
    }
    transaction.commit();
    db.Exec("ANALYZE;");
}

// The program's central object over the generated database.
struct Program {
    Program()
    {
        const fs::path db = benchDbPath();
        const char* rebuild = std::getenv("TARNWICK_BENCH_REBUILD");
        if (!fs::exists(db) || (rebuild && *rebuild == '1'))
            generate(db, {prompter, notifier, keepAwake});
        const fs::path root = fs::temp_directory_path() / "tarnwick-bench-home";
        fs::create_directories(root);
        Paths paths{root / "config", root / "data", TARNWICK_RUNTIME_DIR, root / "docs"};
        global = std::make_unique<CGlobalData>(paths, Services{prompter, notifier, keepAwake});
        global->settings.dbFile = db.string();
        global->db.cacheDb.OpenFile(db.string());
        global->db.InitTagCategories();
        global->db.ReadDbCounters();
        global->settings.homeLat = kReference.lat;
        global->settings.homeLon = kReference.lon;
        global->settings.maxRows = 999;
        global->list.filter.refPoint = 3; // home
    }

    RecordingPrompter prompter;
    RecordingNotifier notifier;
    RecordingKeepAwake keepAwake;
    std::unique_ptr<CGlobalData> global;
};

Program& program()
{
    static Program p;
    return p;
}

void run(benchmark::State& state, double distanceKm, int sortKey)
{
    CGlobalData& global = *program().global;
    global.list.filter.distanceKm = distanceKm;
    global.list.sortKey = sortKey;
    for (auto _ : state) {
        global.list.readCaches();
        benchmark::DoNotOptimize(global.list.caches.data());
    }
    state.counters["listed"] = global.list.listedCount;
    state.counters["inDatabase"] = global.db.cacheCount;
}

// The first load after the database changed, which reads every position
// again; later loads take them from memory.
void BM_ReadCaches_NoDistanceLimitAfterAChange(benchmark::State& state)
{
    CGlobalData& global = *program().global;
    global.list.filter.distanceKm = 0.0;
    global.list.sortKey = 1;
    for (auto _ : state) {
        state.PauseTiming();
        global.db.cacheDb.Exec("UPDATE `geocache` SET `dtupdate` = `dtupdate` WHERE `key` = 1");
        state.ResumeTiming();
        global.list.readCaches();
        benchmark::DoNotOptimize(global.list.caches.data());
    }
}

void BM_ReadCaches_Within10km(benchmark::State& state)
{
    run(state, 10.0, 1);
}

void BM_ReadCaches_NoDistanceLimit(benchmark::State& state)
{
    run(state, 0.0, 1);
}

void BM_ReadCaches_NoDistanceLimitSortedByName(benchmark::State& state)
{
    run(state, 0.0, 0);
}

// The list again after the user chose other cache types: one type after the
// other, so that every read is the first with its filter.
void BM_FilterChange_Type(benchmark::State& state)
{
    CGlobalData& global = *program().global;
    CacheFilter& filter = global.list.filter;
    filter.distanceKm = 0.0;
    global.list.sortKey = 1;
    std::size_t turn = 0;
    for (auto _ : state) {
        filter.cacheTypes.fill(0);
        filter.cacheTypes[turn++ % 3] = 1; // Traditional, Multi, Unknown
        global.list.readCaches();
        benchmark::DoNotOptimize(global.list.caches.data());
    }
    state.counters["listed"] = global.list.listedCount;
    filter.cacheTypes.fill(1);
    global.list.readCaches();
}

// What the listing screen does to open a cache: read it with its texts,
// logs, waypoints and tags, inflate the texts and build the description
// (images rewritten, the overview on top) and the logs page, for one cache
// after the other from all over the database.
void BM_OpenListing(benchmark::State& state)
{
    CGlobalData& global = *program().global;
    global.list.filter.distanceKm = 0.0;
    global.list.sortKey = 1;
    // Codes spread over the whole table, not only the listed ones.
    std::vector<std::string> codes;
    SQLite::Statement every(global.db.cacheDb, "SELECT `id` FROM `geocache` WHERE `key` % 97 = 0");
    while (every.Next())
        codes.push_back(every.ColumnText(0));
    if (codes.empty()) {
        state.SkipWithError("no cache in the database");
        return;
    }
    const fs::path mapFolder = fs::temp_directory_path() / "tarnwick-bench-home" / "data";
    const listing::OverviewLabels labels{"Owner", "Hidden", nullptr};
    std::size_t next = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto l = listing::loadListing(global.db.cacheDb, global.db.tagCategories, codes[next++ % codes.size()]);
        if (!l) {
            state.SkipWithError("a listed cache could not be read");
            break;
        }
        const auto page = listing::rewriteImages(listing::descriptionPage(l->cache), mapFolder, l->cache.code, nullptr);
        const std::string description = listing::withHeader(page.html, listing::overviewHtml(l->cache, labels, 24));
        const std::string logs = listing::logsPage(l->cache, "by");
        bytes += description.size() + logs.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["pageBytes"] = benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}

// How many caches hold the word, from the index alone.
long long cachesHolding(SQLite::Database& db, const std::string& word)
{
    SQLite::Statement count(db, "SELECT count(*) FROM `cachetext` WHERE `cachetext` MATCH ?");
    count.BindText(1, fulltext::MatchExpression(word));
    return count.Next() ? count.columnInt64(0) : 0;
}

// A text search of one word to the first 50 results with their snippets, as
// the search screen shows them. The label names the word and how many of
// the caches hold it, counted in the database measured.
void textSearch(benchmark::State& state, const std::string& word)
{
    CGlobalData& global = *program().global;
    if (!fulltext::Ready(global.db.cacheDb)) {
        state.SkipWithError("the database has no current full-text index");
        return;
    }
    std::size_t hits = 0;
    for (auto _ : state) {
        const auto found = fulltext::Search(global.db.cacheDb, word, TextField::All, 50);
        hits = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    if (hits != 50)
        state.SkipWithError("fewer than 50 results");
    const long long holding = cachesHolding(global.db.cacheDb, word);
    const double share = global.db.cacheCount ? 100.0 * static_cast<double>(holding) / global.db.cacheCount : 0.0;
    char label[160];
    std::snprintf(label, sizeof label, "'%s' in %lld of %d caches (%.1f %%)", word.c_str(), holding,
                  global.db.cacheCount, share);
    state.SetLabel(label);
    state.counters["hits"] = static_cast<double>(hits);
    state.counters["holding"] = static_cast<double>(holding);
    state.counters["holdingPercent"] = share;
}

// A common word: about a tenth of the generated caches hold it.
void BM_TextSearch(benchmark::State& state)
{
    textSearch(state, bench::kCommonWord);
}

// A word most of the caches hold.
void BM_TextSearchVeryCommon(benchmark::State& state)
{
    textSearch(state, bench::kVeryCommonWord);
}

// The size of the database and of its tables and indexes (from the dbstat
// table), as counters in megabytes; fullTextMB sums the tables of the
// full-text index (cachetext*). Timed once, for its counters.
void BM_DatabaseSize(benchmark::State& state)
{
    CGlobalData& global = *program().global;
    double total = 0, fullText = 0, logs = 0, lists = 0, caches = 0;
    for (auto _ : state) {
        total = fullText = logs = lists = caches = 0;
        SQLite::Statement q(global.db.cacheDb, "SELECT `name`, SUM(`pgsize`) FROM `dbstat` GROUP BY `name`");
        while (q.Next()) {
            const std::string name = q.ColumnText(0);
            const double mb = q.ColumnDouble(1) / 1e6;
            total += mb;
            if (name.rfind("cachetext", 0) == 0)
                fullText += mb;
            else if (name.rfind("geolog", 0) == 0)
                logs += mb;
            else if (name.rfind("geolist", 0) == 0)
                lists += mb;
            else if (name.rfind("geocache", 0) == 0)
                caches += mb;
        }
    }
    state.counters["totalMB"] = total;
    state.counters["fullTextMB"] = fullText;
    state.counters["logsMB"] = logs;
    state.counters["textsMB"] = lists;
    state.counters["cachesMB"] = caches;
    state.counters["caches"] = global.db.cacheCount;
}

} // namespace

BENCHMARK(BM_ReadCaches_Within10km)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCaches_NoDistanceLimit)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCaches_NoDistanceLimitSortedByName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCaches_NoDistanceLimitAfterAChange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterChange_Type)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenListing)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextSearchVeryCommon)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DatabaseSize)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
