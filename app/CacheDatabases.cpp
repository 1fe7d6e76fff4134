// SPDX-License-Identifier: GPL-3.0-or-later
// The cache database, the reads that follow every open of it, and the switch
// to another database file.
#include "app/CacheDatabases.h"

#include "app/CTarnwickApp.h"
#include "app/LanguageTable.h"
#include "app/SettingsFile.h"
#include "db/SqlError.h"
#include "platform/Notifier.h"
#include "platform/Text.h"

#include <sqlite3.h>

namespace tw {
namespace {

constexpr int kTrackDbBusyTimeoutMs = 3000;

int countOf(SQLite::Database& db, const char* sql)
{
    SQLite::Statement query(db, sql);
    int count = 0;
    while (query.Step() == SQLITE_ROW)
        count = static_cast<int>(query.ColumnDouble(0));
    return count;
}

} // namespace

CacheDatabases::CacheDatabases(Prompter& prompter, Notifier& notifier, Settings& settings, SettingsFile& settingsFile,
                               const LanguageTable& lang, std::filesystem::path templatePath)
    : cacheDb(&prompter), trackDb(&prompter), m_notifier(notifier), m_settings(settings),
      m_settingsFile(settingsFile), m_lang(lang), m_templatePath(std::move(templatePath))
{
    // The receiver writes the track: it waits for another program's lock
    // only briefly, and keeps the points for a later write.
    trackDb.setBusyTimeout(kTrackDbBusyTimeoutMs);
}

void CacheDatabases::ReadDbCounters()
{
    // Each count on its own: a table that is missing or damaged costs only
    // its own number, and every failing statement is shown.
    const auto read = [this](const char* sql, int& into) {
        try {
            into = countOf(cacheDb, sql);
            return true;
        } catch (const SQLite::Error& e) {
            cacheDb.showPlain(e.message);
            return false;
        }
    };
    read("PRAGMA user_version", dbVersion);
    // Every row but the dummy cache and rows without a code: all rows (a
    // count of the table's pages, no row is read) less the few the index on
    // `id` finds. A code is text, and text is greater than any number.
    read("SELECT (SELECT COUNT(*) FROM geocache) - (SELECT COUNT(*) FROM geocache WHERE `id` = 'GC0' OR "
         "`id` IS NULL OR `id` <= 0)",
         cacheCount);
    if (m_settings.foundCount == 0 && read("SELECT COUNT(*) FROM geocache WHERE dtfound > 0", m_settings.foundCount))
        m_settingsFile.save(SettingsGroup::General);
    m_notifier.stateChanged(Topic::Counters);
}

void CacheDatabases::InitTagCategories()
{
    try {
        tagCategories = resolveTagCategories(cacheDb);
    } catch (const SQLite::Error& e) {
        cacheDb.Rollback();
        cacheDb.showPlain(e.message);
    }
}

void CacheDatabases::LoadDummyCache()
{
    std::unique_ptr<CGeocache> found;
    try {
        SQLite::Statement query(cacheDb, "SELECT * FROM geocache WHERE `id` = 'GC0'");
        while (query.Step() == SQLITE_ROW)
            found = std::make_unique<CGeocache>(geocacheFromRow(query));
    } catch (const SQLite::Error& e) {
        // Unreadable is not the same as absent: writing into a database that
        // cannot be read would only add damage.
        cacheDb.showPlain(e.message);
        dummyCache = std::make_unique<CGeocache>();
        dummyCache->code = "GC0";
        return;
    }
    if (!found) {
        found = std::make_unique<CGeocache>();
        found->code = "GC0";
        found->name = "Tarnwick";
        found->author = "Tarnwick";
        found->text = "Pomocná keš pro ad-hoc waypointy\r\nDummy cache to store ad-hoc waypoints";
        CacheStore(cacheDb, tagCategories).InsertCache(*found);
    }
    dummyCache = std::move(found);
}

CacheStore CacheDatabases::cacheStore()
{
    CacheStore store(cacheDb, tagCategories, m_settings.impOnlyNew);
    store.setOnDeleted([this] { ReadDbCounters(); });
    return store;
}

std::string CacheDatabases::cacheDbProblem()
{
    if (!cacheDb.opened())
        return m_lang.textOr(951, "No database available");
    // The first read of a file that is no database, or of a truncated one,
    // fails here already; SQLite takes an empty file for an empty database.
    try {
        SQLite::Statement query(cacheDb,
                                "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'geocache'");
        if (query.Next() && query.ColumnInt(0) > 0)
            return {};
        return text::fillIn(m_lang.textOr(954, "The file %s holds no cache database."), {cacheDb.fileName()});
    } catch (const SQLite::Error& e) {
        return text::fillIn(m_lang.textOr(955, "The cache database %s cannot be read: %s."),
                            {cacheDb.fileName(), e.message});
    }
}

bool CacheDatabases::SwitchDatabase(const std::string& dbFile)
{
    std::error_code ec;
    if (!std::filesystem::exists(dbFile, ec) && !copyTemplateDatabase(m_templatePath, dbFile))
        return false;
    const bool hadDatabase = cacheDb.opened();
    cacheDb.Close();
    if (cacheDb.OpenFile(dbFile) != SQLITE_OK || !cacheDbProblem().empty()) {
        // Back to the database that was open, untouched.
        cacheDb.Close();
        if (hadDatabase && cacheDb.OpenFile(m_settings.dbFile) == SQLITE_OK) {
            ReadDbCounters();
            InitTagCategories();
            LoadDummyCache();
        }
        return false;
    }
    m_settings.dbFile = dbFile;
    m_settingsFile.save(SettingsGroup::General);
    ReadDbCounters();
    InitTagCategories();
    LoadDummyCache();
    if (onSwitched)
        onSwitched();
    return true;
}

} // namespace tw
