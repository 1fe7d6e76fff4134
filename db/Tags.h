// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace SQLite {
class Database;
}

namespace tw {

// Keys of the tag categories the program keeps its own per-cache data in,
// resolved at every open of the cache database. 0 = not resolved.
struct TagCategories {
    int attribute = 0;
    int fieldNote = 0;
    int fieldNoteType = 0;
    int fieldNoteTime = 0;
    int fieldNoteSent = 0;
    int lastImport = 0;
    int gcImage = 0;
    int favorites = 0;
};

namespace TagCategoryName {
inline constexpr const char* Attribute = "attribute";
inline constexpr const char* FieldNote = "fieldnote";
inline constexpr const char* FieldNoteType = "fieldnotetype";
inline constexpr const char* FieldNoteTime = "fieldnotetime";
inline constexpr const char* FieldNoteSent = "fieldnotesent";
inline constexpr const char* LastImport = "TWLastImport";
inline constexpr const char* GcImage = "gcimage";
inline constexpr const char* Favorites = "favorites";
} // namespace TagCategoryName

// Key of the category with exactly this name; with create, a missing one is
// added. 0 when there is none (or the database failed, which is shown).
int GetCategoryKey(SQLite::Database& db, const std::string& name, bool create);
// The same, letting SQLite::Error through to the caller.
int getCategoryKeyOrThrow(SQLite::Database& db, const std::string& name, bool create);

// Resolves (creating where needed) the eight categories of TagCategories,
// and creates the travel-bug table where it is missing. Throws SQLite::Error.
TagCategories resolveTagCategories(SQLite::Database& db);

// Writes one tag of a cache. With sharedValue a value row with exactly the
// same text (byte for byte) is reused; otherwise the value row that this
// cache's tag of the category points to is changed in place. tagKey == 0
// adds a new tag and stores its key; otherwise that tag is repointed.
// Line breaks (CR LF) are stored as "//". Without ownTransaction it runs in
// the caller's transaction and throws SQLite::Error; with it, it shows the
// error, rolls back and returns false.
bool SetTag(SQLite::Database& db, const std::string& code, int categoryKey, const std::string& value,
            bool sharedValue, int& tagKey, bool ownTransaction);

// The lookups and lists below show a database failure's text alone in a
// plain message box and return what they have (0, a partial list).

// Key of the value row with exactly this text (the last one), or 0.
int GetValueKey(SQLite::Database& db, const std::string& value);

// Adds a tag (always a new row, even when the same tag exists) with a shared
// value; creates the category when needed.
bool AddTag(SQLite::Database& db, const std::string& code, const std::string& categoryName,
            const std::string& value);
// Removes the cache's tags of the category with that value; an empty value
// removes every tag of the category. Value rows stay.
bool RemoveTag(SQLite::Database& db, const std::string& code, const std::string& categoryName,
               const std::string& value);
// Key of the cache's (last) tag of the category, or 0.
int FindTagKey(SQLite::Database& db, const std::string& code, int categoryKey);
// True when the cache has a tag of the category with that value (any value
// when empty). A category or value that does not exist is never created here.
bool HasTag(SQLite::Database& db, const std::string& code, const std::string& categoryName,
            const std::string& value);
// The same with the keys already looked up; valueKey 0 means any value.
// Throws SQLite::Error.
bool hasTagKeys(SQLite::Database& db, const std::string& code, int categoryKey, int valueKey);
// Removes every tag of the category from every cache.
bool DeleteTagsOfCategory(SQLite::Database& db, int categoryKey);

// Every category name, ordered ignoring case.
std::vector<std::string> ListCategories(SQLite::Database& db);
// The values of the category that some tag still uses.
std::vector<std::string> ListValues(SQLite::Database& db, const std::string& categoryName);

} // namespace tw
