// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FieldNotesJob.h"

#include "app/CGlobalData.h"
#include "app/CacheActions.h"
#include "db/CacheStore.h"
#include "db/SqlError.h"
#include "exchange/FieldNotes.h"
#include "platform/Clock.h"
#include "platform/Prompter.h"

#include <sqlite3.h>

namespace tw {
namespace {

constexpr int kTextCannotWrite = 950;

} // namespace

bool saveFieldNote(CGlobalData& g, CGeocache& cache, int logType, const std::string& text, std::time_t visit)
{
    if (!g.db.cacheDb.IsAvailable() || !ensureCacheDetails(g, cache))
        return false;
    const bool wasFound = cache.found > 0;
    const bool stored = g.db.cacheStore().SetFoundState(cache, logType, text, visit);
    // The count follows the found date as stored: a Didn't find it keeps an
    // earlier find, a Webcam Photo Taken or Attended is a find as well.
    const bool isFound = cache.found > 0;
    if (wasFound != isFound) {
        g.settings.foundCount += isFound ? 1 : -1;
        g.SaveSettings(SettingsGroup::General);
    }
    refreshListedCache(g, cache);
    return stored;
}

bool deleteFieldNote(CGlobalData& g, CGeocache& cache)
{
    if (!g.db.cacheDb.IsAvailable() || !ensureCacheDetails(g, cache))
        return false;
    if (cache.found > 0) {
        --g.settings.foundCount;
        g.SaveSettings(SettingsGroup::General);
    }
    const bool ok = g.db.cacheStore().SetFoundState(cache, LogType::ClearFind, "", 0);
    // The note goes as a whole: tags left with an empty text would still be
    // exported, as a note of no type.
    for (const char* category : {TagCategoryName::FieldNote, TagCategoryName::FieldNoteType,
                                 TagCategoryName::FieldNoteTime, TagCategoryName::FieldNoteSent})
        RemoveTag(g.db.cacheDb, cache.code, category, "");
    cache.fieldNoteText.clear();
    cache.fieldNoteTime.clear();
    cache.fieldNoteType = 0;
    cache.fieldNoteTextTag = cache.fieldNoteTypeTag = cache.fieldNoteTimeTag = 0;
    refreshListedCache(g, cache);
    return ok;
}

int recountFinds(CGlobalData& g)
{
    if (g.db.cacheDb.IsAvailable()) {
        try {
            SQLite::Statement q(g.db.cacheDb, "SELECT COUNT(*) FROM geocache WHERE dtfound > 0");
            if (q.Step() == SQLITE_ROW)
                g.settings.foundCount = static_cast<int>(q.ColumnDouble(0));
            g.SaveSettings(SettingsGroup::General);
        } catch (const SQLite::Error& e) {
            g.db.cacheDb.showPlain(e.message);
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
        if (const int n = g.list.findNumber(t.year * 10000 + t.month * 100 + t.day, t.hour * 100 + t.minute))
            number = std::to_string(n);
    }
    return applyFieldNoteTemplate(g.settings.fnTemplate, t.hour, t.minute, number, text);
}

bool exportFieldNotes(CGlobalData& g, std::time_t since)
{
    if (!g.db.cacheDb.IsAvailable())
        return false;
    try {
        const FieldNotesExport result = ExportFieldNotes(g.db.cacheDb, g.db.tagCategories, since, g.settings.fnFile,
                                                         g.settings.fnTemplate, g.settings.findsCountExtra);
        if (g.settings.fnFile.empty() || !result.written) {
            g.prompter.message(g.lang.textOr(kTextCannotWrite, "The file could not be opened for writing."),
                               MessageIcon::Exclamation);
            return false;
        }
        g.settings.foundCount = result.foundCount;
        g.SaveSettings(SettingsGroup::General);
        return true;
    } catch (const SQLite::Error& e) {
        g.db.cacheDb.showPlain(e.message);
        return false;
    }
}

} // namespace tw
