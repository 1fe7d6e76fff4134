// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/Tags.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace tw {

class LanguageTable;
class Notifier;
class Prompter;
class SettingsFile;
struct Settings;

// The cache database with what is read from it on every open (counters, tag
// categories, the dummy cache), and the track database. Part of CGlobalData,
// closed after everything that writes into either.
class CacheDatabases {
public:
    // Failures are shown through the prompter; the counters are announced
    // to the notifier and the find count kept in the settings. A switch to a
    // new file copies the template database.
    CacheDatabases(Prompter& prompter, Notifier& notifier, Settings& settings, SettingsFile& settingsFile,
                   const LanguageTable& lang, std::filesystem::path templatePath);
    CacheDatabases(const CacheDatabases&) = delete;
    CacheDatabases& operator=(const CacheDatabases&) = delete;

    SQLite::Database cacheDb;
    SQLite::Database trackDb;

    int dbVersion = 0;  // the cache database's user_version
    int cacheCount = 0; // caches in the database, without the dummy cache
    TagCategories tagCategories;
    // The cache GC0 that holds ad-hoc waypoints.
    std::unique_ptr<CGeocache> dummyCache;

    // Whether the cache database is open. The second form says once, when
    // it is not, that there is no database.
    bool cacheDbOpen() const { return cacheDb.opened(); }
    bool cacheDbAvailable() { return cacheDb.IsAvailable(); }

    // The cache database's start-up reads; each shows a failure once and
    // goes on.
    void ReadDbCounters();
    void InitTagCategories();
    void LoadDummyCache();
    // The write side of the cache database; a deletion through it reads the
    // counters again (and so refreshes the status line).
    CacheStore cacheStore();
    // Closes the cache database and opens dbFile instead (options screen); a
    // file that does not exist yet is made from the template first. When the
    // file cannot be made or holds no cache database, the previous database
    // stays open, DbFile keeps its value and the result is false.
    bool SwitchDatabase(const std::string& dbFile);
    // Called after a successful switch, when the counters, the tag
    // categories and the dummy cache have been read again.
    std::function<void()> onSwitched;
    // Why the open cache database cannot serve a job that reads or writes
    // caches: a file that is no database, a damaged one, or one without the
    // cache tables (an empty file). Empty when it can.
    std::string cacheDbProblem();

private:
    Notifier& m_notifier;
    Settings& m_settings;
    SettingsFile& m_settingsFile;
    const LanguageTable& m_lang;
    std::filesystem::path m_templatePath;
};

} // namespace tw
