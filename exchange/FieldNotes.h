// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Tags.h"

#include <ctime>
#include <filesystem>
#include <string>

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
