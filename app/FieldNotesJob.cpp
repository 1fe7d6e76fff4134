// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FieldNotesJob.h"

#include "app/CGlobalData.h"
#include "db/CacheStore.h"
#include "exchange/FieldNotes.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"

#include <sqlite3.h>

namespace tw {
namespace {

constexpr const char* kCannotWrite = "Nepodařilo se otevřít soubor pro zápis";

} // namespace

bool saveFieldNote(CGlobalData& g, CGeocache& cache, int logType, const std::string& text, std::time_t visit)
{
    if (!g.cacheDb.IsAvailable())
        return false;
    const bool wasFound = cache.found > 0;
    if (!wasFound && logType == LogType::FoundIt)
        ++g.settings.foundCount;
    else if (wasFound && logType != LogType::FoundIt)
        --g.settings.foundCount;
    g.SaveSettings(SettingsGroup::General);
    CacheStore store(g.cacheDb, g.tagCategories, g.settings.impOnlyNew);
    return store.SetFoundState(cache, logType, text, visit);
}

bool deleteFieldNote(CGlobalData& g, CGeocache& cache)
{
    if (!g.cacheDb.IsAvailable())
        return false;
    if (cache.found > 0) {
        --g.settings.foundCount;
        g.SaveSettings(SettingsGroup::General);
    }
    CacheStore store(g.cacheDb, g.tagCategories, g.settings.impOnlyNew);
    const bool ok = store.SetFoundState(cache, LogType::ClearFind, "", 0);
    RemoveTag(g.cacheDb, cache.code, TagCategoryName::FieldNoteSent, "");
    return ok;
}

int recountFinds(CGlobalData& g)
{
    if (g.cacheDb.IsAvailable()) {
        try {
            SQLite::Statement q(g.cacheDb, "SELECT COUNT(*) FROM geocache WHERE dtfound > 0");
            if (q.Step() == SQLITE_ROW)
                g.settings.foundCount = static_cast<int>(q.ColumnDouble(0));
            g.SaveSettings(SettingsGroup::General);
        } catch (const SQLite::Error& e) {
            g.cacheDb.showPlain(e.message);
        }
    }
    return g.settings.foundCount + g.settings.findsCountExtra;
}

std::string publishedNoteText(CGlobalData& g, int logType, std::time_t visit, const std::string& text)
{
    if (g.settings.webLogUseFNT == 0)
        return text;
    const LocalTime t = localTime(visit);
    std::string number;
    if (g.settings.fnTemplate.find("[N]") != std::string::npos && logType == LogType::FoundIt) {
        if (const int n = g.findNumber(t.year * 10000 + t.month * 100 + t.day, t.hour * 100 + t.minute))
            number = std::to_string(n);
    }
    return applyFieldNoteTemplate(g.settings.fnTemplate, t.hour, t.minute, number, text);
}

bool exportFieldNotes(CGlobalData& g, std::time_t since)
{
    if (!g.cacheDb.IsAvailable())
        return false;
    try {
        const FieldNotesExport result = ExportFieldNotes(g.cacheDb, g.tagCategories, since, g.settings.fnFile,
                                                         g.settings.fnTemplate, g.settings.findsCountExtra);
        if (g.settings.fnFile.empty() || !result.written) {
            g.prompter.message(kCannotWrite, MessageIcon::Exclamation);
            return false;
        }
        g.settings.foundCount = result.foundCount;
        g.SaveSettings(SettingsGroup::General);
        return true;
    } catch (const SQLite::Error& e) {
        g.cacheDb.showPlain(e.message);
        return false;
    }
}

} // namespace tw
