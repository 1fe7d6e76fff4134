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

bool saveFieldNote(CGlobalData& global, CGeocache& cache, int logType, const std::string& text, std::time_t visit)
{
    if (!global.db.cacheDb.IsAvailable() || !ensureCacheDetails(global, cache))
        return false;
    const bool wasFound = cache.found > 0;
    const bool stored = global.db.cacheStore().SetFoundState(cache, logType, text, visit);
    // The count follows the found date as stored: a Didn't find it keeps an
    // earlier find, a Webcam Photo Taken or Attended is a find as well.
    const bool isFound = cache.found > 0;
    if (wasFound != isFound) {
        global.settings.foundCount += isFound ? 1 : -1;
        global.SaveSettings(SettingsGroup::General);
    }
    refreshListedCache(global, cache);
    return stored;
}

bool deleteFieldNote(CGlobalData& global, CGeocache& cache)
{
    if (!global.db.cacheDb.IsAvailable() || !ensureCacheDetails(global, cache))
        return false;
    if (cache.found > 0) {
        --global.settings.foundCount;
        global.SaveSettings(SettingsGroup::General);
    }
    const bool ok = global.db.cacheStore().SetFoundState(cache, LogType::ClearFind, "", 0);
    // The note goes as a whole: tags left with an empty text would still be
    // exported, as a note of no type.
    for (const char* category : {TagCategoryName::FieldNote, TagCategoryName::FieldNoteType,
                                 TagCategoryName::FieldNoteTime, TagCategoryName::FieldNoteSent})
        RemoveTag(global.db.cacheDb, cache.code, category, "");
    cache.fieldNoteText.clear();
    cache.fieldNoteTime.clear();
    cache.fieldNoteType = 0;
    cache.fieldNoteTextTag = cache.fieldNoteTypeTag = cache.fieldNoteTimeTag = 0;
    refreshListedCache(global, cache);
    return ok;
}

int recountFinds(CGlobalData& global)
{
    if (global.db.cacheDb.IsAvailable()) {
        try {
            SQLite::Statement q(global.db.cacheDb, "SELECT COUNT(*) FROM geocache WHERE dtfound > 0");
            if (q.Step() == SQLITE_ROW)
                global.settings.foundCount = static_cast<int>(q.ColumnDouble(0));
            global.SaveSettings(SettingsGroup::General);
        } catch (const SQLite::Error& e) {
            global.db.cacheDb.showPlain(e.message);
        }
    }
    return global.settings.foundCount + global.settings.findsCountExtra;
}

std::string publishedNoteText(CGlobalData& global, int logType, std::time_t visit, const std::string& text)
{
    if (global.settings.webLogUseFNT == 0)
        return text;
    const LocalTime t = localTime(visit);
    std::string number;
    if (global.settings.fnTemplate.find("[N]") != std::string::npos && logType == LogType::FoundIt) {
        if (const int n = global.list.findNumber(t.year * 10000 + t.month * 100 + t.day, t.hour * 100 + t.minute))
            number = std::to_string(n);
    }
    return applyFieldNoteTemplate(global.settings.fnTemplate, t.hour, t.minute, number, text);
}

bool exportFieldNotes(CGlobalData& global, std::time_t since)
{
    if (!global.db.cacheDb.IsAvailable())
        return false;
    try {
        const FieldNotesExport result =
            ExportFieldNotes(global.db.cacheDb, global.db.tagCategories, since, global.settings.fnFile,
                             global.settings.fnTemplate, global.settings.findsCountExtra);
        if (global.settings.fnFile.empty() || !result.written) {
            global.prompter.message(global.lang.textOr(kTextCannotWrite, "The file could not be opened for writing."),
                                    MessageIcon::Exclamation);
            return false;
        }
        global.settings.foundCount = result.foundCount;
        global.SaveSettings(SettingsGroup::General);
        return true;
    } catch (const SQLite::Error& e) {
        global.db.cacheDb.showPlain(e.message);
        return false;
    }
}

} // namespace tw
