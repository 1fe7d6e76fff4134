// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CacheOrder.h"
#include "db/CGeocache.h"
#include "filter/CacheFilter.h"
#include "filter/CachePositions.h"
#include "filter/QueryBuilder.h"

#include <filesystem>
#include <memory>
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
};

} // namespace tw
