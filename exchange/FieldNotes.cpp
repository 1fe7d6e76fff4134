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

bool isLineEnd(std::string_view text, std::size_t i)
{
    return i >= text.size() || text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] == '\n'));
}

// Moves i past the line end at i (LF, CR LF or a CR at the very end).
void skipLineEnd(std::string_view text, std::size_t& i, int& line)
{
    if (i < text.size() && text[i] == '\r')
        ++i;
    if (i < text.size() && text[i] == '\n')
        ++i;
    ++line;
}

std::string withoutBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return std::string(text);
}

bool allDigits(std::string_view text, std::size_t from, std::size_t count)
{
    for (std::size_t i = from; i < from + count; ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

int numberAt(std::string_view text, std::size_t from, std::size_t count)
{
    int n = 0;
    for (std::size_t i = from; i < from + count; ++i)
        n = n * 10 + (text[i] - '0');
    return n;
}

} // namespace

FieldNoteLines readFieldNoteLines(std::string_view text)
{
    FieldNoteLines result;
    auto fail = [&](FieldNoteLines::Error error, int line) {
        result.lines.clear();
        result.error = error;
        result.errorLine = line;
        return result;
    };
    std::size_t i = 0;
    int line = 1;
    while (i < text.size()) {
        if (isLineEnd(text, i)) {
            skipLineEnd(text, i, line);
            continue;
        }
        FieldNoteLine note;
        note.lineNumber = line;
        // Code, time and log type: plain fields up to a comma.
        std::string* fields[] = {&note.code, &note.utcTime, &note.logType};
        for (std::string* field : fields) {
            const std::size_t start = i;
            while (!isLineEnd(text, i) && text[i] != ',')
                ++i;
            if (isLineEnd(text, i))
                return fail(FieldNoteLines::Error::NotANote, line);
            *field = withoutBlanks(text.substr(start, i - start));
            ++i;
        }
        if (note.code.empty() || note.utcTime.empty())
            return fail(FieldNoteLines::Error::NotANote, line);
        while (i < text.size() && text[i] == ' ')
            ++i;
        if (i < text.size() && text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size())
                    return fail(FieldNoteLines::Error::QuoteNotClosed, note.lineNumber);
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        note.text += '"';
                        i += 2;
                        continue;
                    }
                    std::size_t after = i + 1;
                    while (after < text.size() && text[after] == ' ')
                        ++after;
                    if (isLineEnd(text, after)) {
                        i = after;
                        break;
                    }
                }
                if (text[i] == '\n')
                    ++line;
                note.text += text[i++];
            }
        } else {
            // A text without quotes ends with its line.
            const std::size_t start = i;
            while (!isLineEnd(text, i))
                ++i;
            note.text = std::string(text.substr(start, i - start));
        }
        skipLineEnd(text, i, line);
        result.lines.push_back(std::move(note));
    }
    return result;
}

std::optional<std::time_t> fieldNoteUtcSeconds(std::string_view stamp)
{
    // 2011-11-24T18:30Z or 2011-11-24T18:30:05Z
    const bool withSeconds = stamp.size() == 20;
    if ((stamp.size() != 17 && !withSeconds) || stamp[4] != '-' || stamp[7] != '-' || stamp[10] != 'T' ||
        stamp[13] != ':' || stamp.back() != 'Z' || (withSeconds && stamp[16] != ':'))
        return std::nullopt;
    if (!allDigits(stamp, 0, 4) || !allDigits(stamp, 5, 2) || !allDigits(stamp, 8, 2) || !allDigits(stamp, 11, 2) ||
        !allDigits(stamp, 14, 2) || (withSeconds && !allDigits(stamp, 17, 2)))
        return std::nullopt;
    std::tm utc{};
    utc.tm_year = numberAt(stamp, 0, 4) - 1900;
    utc.tm_mon = numberAt(stamp, 5, 2) - 1;
    utc.tm_mday = numberAt(stamp, 8, 2);
    utc.tm_hour = numberAt(stamp, 11, 2);
    utc.tm_min = numberAt(stamp, 14, 2);
    utc.tm_sec = withSeconds ? numberAt(stamp, 17, 2) : 0;
    if (utc.tm_mon > 11 || utc.tm_mday < 1 || utc.tm_hour > 23 || utc.tm_min > 59 || utc.tm_sec > 60)
        return std::nullopt;
    const int wantedDay = utc.tm_mday;
    const std::time_t t = timegm(&utc);
    // timegm moves 31 April to 1 May: such a date is none.
    if (utc.tm_mday != wantedDay)
        return std::nullopt;
    return t;
}

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
