// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Tags.h"

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace SQLite {
class Database;
}

namespace tw {

// The note text of a template: [T] the visit time "HH:MM", [N] the find
// number (empty for a note that is no find), [L] the typed text. An empty
// template stands for the text alone.
std::string applyFieldNoteTemplate(const std::string& templ, int hour, int minute, const std::string& number,
                                   const std::string& text);

// "YYYY-MM-DDTHH:MMZ" of a local visit date (YYYYMMDD) and time (HHMM).
std::string fieldNoteUtcTime(int ymd, int hhmm);

// One line of a field-notes file: CODE,YYYY-MM-DDTHH:MMZ,Log type,"text".
struct FieldNoteLine {
    std::string code;
    std::string utcTime;  // as written
    std::string logType;  // as written
    std::string text;     // quotes undoubled, line breaks as written
    int lineNumber = 0;   // where the line starts, from 1
};

struct FieldNoteLines {
    enum class Error { None, QuoteNotClosed, NotANote };
    std::vector<FieldNoteLine> lines;
    Error error = Error::None;
    int errorLine = 0; // the line that broke the reading
};

// The lines of a field-notes text (UTF-8, CR LF or LF line ends; blank
// lines skipped). The text may hold commas and line breaks inside its
// quotes; a doubled quote stands for one. A quote that is neither doubled
// nor closes the text (the line end follows) is taken as it stands, as the
// export writes the user's quotes. The first line that does not read stops
// the reading with its error, and no lines are given then.
FieldNoteLines readFieldNoteLines(std::string_view text);

// The seconds since 1970 of "YYYY-MM-DDTHH:MMZ" (seconds ":SS" allowed);
// nothing for any other form or an impossible date.
std::optional<std::time_t> fieldNoteUtcSeconds(std::string_view stamp);

struct FieldNotesExport {
    bool written = false;
    int lines = 0;
    // Finds up to the newest exported one, without the finds made outside
    // the database: the new found count.
    int foundCount = 0;
};

// Writes every field note since the given time to a field-notes file
// (UTF-16LE with a byte-order mark, LF line ends), oldest first, at most
// 500. Throws SQLite::Error; returns written = false when the file cannot
// be created (it is written under a temporary name and renamed at the end).
FieldNotesExport ExportFieldNotes(SQLite::Database& db, const TagCategories& categories, std::time_t since,
                                  const std::filesystem::path& path, const std::string& templ,
                                  int findsCountExtra);

// The number the visit would get as a find: finds before it (earlier date,
// or the same date and an earlier time), plus the finds made outside the
// database, plus one. Throws SQLite::Error.
int findNumberOf(SQLite::Database& db, int foundYmd, int foundHhmm, int findsCountExtra);

} // namespace tw
