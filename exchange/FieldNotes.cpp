// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/FieldNotes.h"

#include "db/CacheReader.h"
#include "db/Database.h"
#include "db/Enumerations.h"
#include "db/Statement.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Numbers.h"
#include "platform/Text.h"
#include "xml/Utf16.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>

namespace tw {
namespace {

constexpr int kMaxNotes = 500;

std::string twoDigits(int n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

std::string hhmmText(int hour, int minute)
{
    return twoDigits(hour) + ":" + twoDigits(minute);
}

int countOf(SQLite::Statement& q)
{
    return q.Step() == SQLITE_ROW ? static_cast<int>(q.ColumnDouble(0)) : 0;
}

struct Line {
    long long key;
    std::string text;
};

} // namespace

std::string applyFieldNoteTemplate(const std::string& templ, int hour, int minute, const std::string& number,
                                   const std::string& text)
{
    // With no template the note would come out empty and the user's words
    // would be lost in the export.
    const std::string t = templ.empty() ? std::string("[L]") : templ;
    return text::replaceAll(text::replaceAll(text::replaceAll(t, "[T]", hhmmText(hour, minute)), "[N]", number),
                            "[L]", text);
}

std::string fieldNoteUtcTime(int ymd, int hhmm)
{
    std::tm local{};
    local.tm_year = ymd / 10000 - 1900;
    local.tm_mon = ymd / 100 % 100 - 1;
    local.tm_mday = ymd % 100;
    local.tm_hour = hhmm / 100;
    local.tm_min = hhmm % 100;
    local.tm_isdst = -1; // the offset of that day, summer time included
    const std::time_t t = std::mktime(&local);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min);
    return buffer;
}

int findNumberOf(SQLite::Database& db, int foundYmd, int foundHhmm, int findsCountExtra)
{
    SQLite::Statement q(db, "SELECT COUNT(*) FROM `geocache` WHERE `id` <> 'GC0' AND `dtfound` > 0 AND "
                            "(`dtfound` < ? OR (`dtfound` = ? AND `dtfoundtime` < ?))");
    q.BindInt(1, foundYmd);
    q.BindInt(2, foundYmd);
    q.BindInt(3, foundHhmm);
    return countOf(q) + findsCountExtra + 1;
}

FieldNotesExport ExportFieldNotes(SQLite::Database& db, const TagCategories& categories, std::time_t since,
                                  const std::filesystem::path& path, const std::string& templ,
                                  int findsCountExtra)
{
    FieldNotesExport result;
    const LocalTime s = localTime(since);
    const int sinceYmd = s.year * 10000 + s.month * 100 + s.day;
    const std::string sinceText = std::to_string(sinceYmd) + "-0000";

    int running = findsCountExtra;
    {
        SQLite::Statement q(db, "SELECT COUNT(*) FROM `geocache` WHERE `id` <> 'GC0' AND `dtfound` > 0 AND "
                                "`dtfound` < ?");
        q.BindInt(1, sinceYmd);
        running += countOf(q);
    }

    SQLite::Statement select(
        db, "SELECT * FROM `geocache` WHERE `id` <> 'GC0' AND (`id` IN (SELECT `geotag`.`id` FROM `geotag` JOIN "
            "`geotagvalue` ON `geotagvalue`.`key` = `geotag`.`ptrvalue` WHERE `geotag`.`ptrkat` = ? AND "
            "`geotagvalue`.`value` >= ?) OR `dtfound` >= ?) ORDER BY `dtfound`, `dtfoundtime` LIMIT ?");
    select.BindInt(1, categories.fieldNoteTime);
    select.BindText(2, sinceText);
    select.BindInt(3, sinceYmd);
    select.BindInt(4, kMaxNotes);

    std::vector<Line> lines;
    while (select.Step() == SQLITE_ROW) {
        CGeocache cache = geocacheFromRow(select);
        loadDetails(db, cache, categories);
        if (logTypeIsFind(cache.fieldNoteType) && cache.found < sinceYmd)
            continue;
        int ymd = cache.found;
        int hhmm = cache.foundTime;
        if (cache.found <= 0) {
            // "20111124-0930": the date and time of a note that is no find.
            const std::size_t dash = cache.fieldNoteTime.find('-');
            const auto date = num::leadingInt(cache.fieldNoteTime);
            const auto time = dash == std::string::npos ? std::nullopt
                                                        : num::leadingInt(cache.fieldNoteTime.substr(dash + 1));
            ymd = date && time ? *date : cache.updated;
            hhmm = date && time ? *time : 0;
        }
        std::string number;
        if (cache.found > 0)
            number = std::to_string(++running);
        const std::string note =
            applyFieldNoteTemplate(templ, hhmm / 100, hhmm % 100, number, cache.fieldNoteText);
        lines.push_back({static_cast<long long>(ymd) * 10000 + hhmm,
                         cache.code + "," + fieldNoteUtcTime(ymd, hhmm) + "," + logTypeText(cache.fieldNoteType) +
                             ",\"" + note + "\""});
    }
    // Notes of the same minute keep the order in which they were read.
    std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.key < b.key; });

    std::string bytes = "\xFF\xFE";
    for (const auto& line : lines) {
        for (char16_t unit : toUtf16(line.text + "\n")) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
    }
    if (!writeFileAtomically(path, bytes, 0644))
        return result;
    result.written = true;
    result.lines = static_cast<int>(lines.size());
    result.foundCount = running - findsCountExtra;
    return result;
}

} // namespace tw
