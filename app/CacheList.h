// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CacheOrder.h"
#include "db/CGeocache.h"
#include "filter/CacheFilter.h"
#include "filter/CachePositions.h"
#include "filter/QueryBuilder.h"

#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace SQLite {
class Database;
}

namespace tw {

class Notifier;
class ProgramLog;
class ReferenceSources;
class SettingsFile;
struct Paths;
struct Settings;

inline constexpr int kMaxRecent = 9;

// What a reading of the list needs besides the filter.
struct ListReading {
    geo::LatLon reference; // distances and the distance limit are measured from here
    std::string nickname;  // the user's name, for "owned"
    int rowLimit = 999;    // CacheList::kEveryRow: every cache the filter lets through
    CacheOrder order;
};

// Appends the caches the filter lets through to `caches`, in the database's
// order, before the row limit; the checks SQL cannot do cheaply (distance,
// final location, "without the tag") are made here. positions, when given,
// keeps the table's positions between readings of one connection. Lets
// SQLite::Error through, with what was read before it in `caches`.
void readFilteredCaches(SQLite::Database& db, const CacheFilter& filter, const ListReading& reading,
                        CachePositions* positions, std::vector<std::unique_ptr<CGeocache>>& caches);
// The list put in its order and cut to the row limit.
void orderAndCut(std::vector<std::unique_ptr<CGeocache>>& caches, const ListReading& reading);

// The cache list with its filter, sort order and counter, the recent caches
// and the find counts. Part of CGlobalData; it reads the cache database and
// keeps the filter and the recent caches in the settings file.
class CacheList {
public:
    // Distances are measured from the reference sources; the list and the
    // counters are announced to the notifier, each reload is logged.
    CacheList(SQLite::Database& cacheDb, Settings& settings, SettingsFile& settingsFile,
              const ReferenceSources& reference, Notifier& notifier, const Paths& paths, const ProgramLog& log)
        : m_cacheDb(cacheDb), m_settings(settings), m_settingsFile(settingsFile), m_reference(reference),
          m_notifier(notifier), m_paths(paths), m_log(log)
    {
    }
    CacheList(const CacheList&) = delete;
    CacheList& operator=(const CacheList&) = delete;

    // The list (rebuilt on every reload; no one keeps pointers across one).
    std::vector<std::unique_ptr<CGeocache>> caches;
    int sortKey = SortKey::Distance; // 0 to 8 (SortKey)
    int sortAscending = 1;           // 0 = reversed
    int listedCount = 0;             // caches in the current list

    // The list filter, kept in the settings section "Filter".
    CacheFilter filter;
    void loadFilter();
    void saveFilter();
    // Saved filters: the folder "filter" below the map folder.
    std::filesystem::path filterFolder() const;

    // Reloads the list from the database through the filter, sorted by
    // sortKey and cut to MaxRows (or to rowLimit; kEveryRow takes every
    // cache the filter lets through). False when the database could not be
    // read (the list then holds what was read).
    static constexpr int kEveryRow = -1;
    bool readCaches();
    bool readCaches(int rowLimit);
    // Cuts a list read with a larger limit to MaxRows.
    void trimToMaxRows();
    // How a reading of the list with that row limit measures and orders now.
    ListReading reading(int rowLimit) const;

    // While the list is narrowed by a text query: the piece of each listed
    // cache's text that matched, by cache key (the found words between the
    // bytes '\x02' and '\x03'); searched is false otherwise. Set by whoever
    // reads the list through the search, cleared by readCaches.
    bool searched = false;
    std::unordered_map<int, std::string> snippets;
    // A list read elsewhere (the search's worker) in place of the current
    // one, with its snippets when it was narrowed by a text query.
    void takeSearched(std::vector<std::unique_ptr<CGeocache>> found, std::unordered_map<int, std::string> foundSnippets,
                      bool narrowed);

    // Searched lists come by relevance rather than in the sort order; the
    // choice is kept in the settings section "State".
    bool searchByRelevance() const;
    void setSearchByRelevance(bool on);

    // Recent caches, most recent first; the first is the current cache.
    std::vector<std::unique_ptr<CGeocache>> recent;
    void LoadRecent();
    void SaveRecent();
    // Makes the cache the current one: first of the recent list, which is
    // saved at once so that it survives the run.
    void setCurrentCache(const CGeocache& cache);
    CGeocache* currentCache() { return recent.empty() ? nullptr : recent.front().get(); }

    // The number of finds in the database, saved as FoundCount.
    void refreshFoundCount();
    // The running number of the find on date (YYYYMMDD) at time (HHMM):
    // 1 + FindsCountExtra + the finds before it. 0 when the database fails.
    int findNumber(int date, int time);

private:
    SQLite::Database& m_cacheDb;
    Settings& m_settings;
    SettingsFile& m_settingsFile;
    const ReferenceSources& m_reference;
    Notifier& m_notifier;
    const Paths& m_paths;
    const ProgramLog& m_log;
    // Every cache's position, read again only after the database changed.
    CachePositions m_positions;
    mutable int m_byRelevance = -1; // -1 until read from the settings file
};

} // namespace tw
