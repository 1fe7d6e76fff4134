// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Tags.h"

#include "db/Database.h"
#include "db/SqlError.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "db/TravelBugs.h"
#include "platform/Clock.h"
#include "platform/Text.h"

#include <sqlite3.h>

namespace tw {
namespace {

// The key of the last row a one-column key query returns, or 0.
int lastKey(SQLite::Statement& stmt)
{
    int key = 0;
    while (stmt.Next())
        key = stmt.ColumnInt(0);
    return key;
}

void writeTag(SQLite::Database& db, const std::string& code, int categoryKey, const std::string& value,
              bool sharedValue, int& tagKey)
{
    const std::string stored = text::replaceAll(value, "\r\n", "//");

    int valueKey = 0;
    if (sharedValue) {
        // Byte for byte: LIKE would read "%" and "_" in a note as wildcards
        // and ignore case, and bind the note to another cache's text.
        SQLite::Statement find =
            db.prepareCached("SELECT `key` FROM `geotagvalue` WHERE `value` = ? COLLATE BINARY");
        find.BindText(1, stored);
        valueKey = lastKey(find);
    } else {
        SQLite::Statement find =
            db.prepareCached("SELECT `ptrvalue` FROM `geotag` WHERE `id` = ? COLLATE BINARY AND `ptrkat` = ?");
        find.BindText(1, code);
        find.BindInt(2, categoryKey);
        valueKey = lastKey(find);
    }

    SQLite::Statement touch = db.prepareCached("UPDATE `geocache` SET `dtupdate` = ? WHERE `id` = ?");
    touch.BindInt(1, todayYmd());
    touch.BindText(2, code);
    touch.stepDone();

    if (valueKey != 0) {
        if (!sharedValue) {
            SQLite::Statement update = db.prepareCached("UPDATE `geotagvalue` SET `value` = ? WHERE `key` = ?");
            update.BindText(1, stored);
            update.BindInt(2, valueKey);
            update.stepDone();
        }
    } else {
        SQLite::Statement insert = db.prepareCached("INSERT INTO `geotagvalue` (`value`) VALUES (?)");
        insert.BindText(1, stored);
        insert.stepDone();
        valueKey = static_cast<int>(db.lastInsertRowId());
        if (valueKey == 0)
            throw SQLite::Error(SQLITE_ERROR, "the tag value was not stored", &db);
    }

    if (tagKey == 0) {
        SQLite::Statement insert = db.prepareCached("INSERT INTO `geotag` (`id`, `ptrkat`, `ptrvalue`) VALUES (?, ?, ?)");
        insert.BindText(1, code);
        insert.BindInt(2, categoryKey);
        insert.BindInt(3, valueKey);
        insert.stepDone();
        tagKey = static_cast<int>(db.lastInsertRowId());
    } else {
        SQLite::Statement update = db.prepareCached("UPDATE `geotag` SET `ptrvalue` = ? WHERE `key` = ?");
        update.BindInt(1, valueKey);
        update.BindInt(2, tagKey);
        update.stepDone();
    }
}

} // namespace

int getCategoryKeyOrThrow(SQLite::Database& db, const std::string& name, bool create)
{
    {
        SQLite::Statement find(db, "SELECT `key` FROM `geotagcategory` WHERE `value` = ?");
        find.BindText(1, name);
        if (const int key = lastKey(find))
            return key;
    }
    if (!create)
        return 0;
    SQLite::Transaction transaction(db);
    SQLite::Statement insert(db, "INSERT INTO `geotagcategory` (`value`) VALUES (?)");
    insert.BindText(1, name);
    insert.stepDone();
    transaction.commit();
    SQLite::Statement find(db, "SELECT `key` FROM `geotagcategory` WHERE `value` LIKE ?");
    find.BindText(1, name);
    return lastKey(find);
}

int GetCategoryKey(SQLite::Database& db, const std::string& name, bool create)
{
    try {
        return getCategoryKeyOrThrow(db, name, create);
    } catch (const SQLite::Error& e) {
        db.Rollback();
        db.showPlain(e.message);
        return 0;
    }
}

TagCategories resolveTagCategories(SQLite::Database& db)
{
    TagCategories c;
    c.attribute = getCategoryKeyOrThrow(db, TagCategoryName::Attribute, true);
    c.fieldNote = getCategoryKeyOrThrow(db, TagCategoryName::FieldNote, true);
    c.fieldNoteType = getCategoryKeyOrThrow(db, TagCategoryName::FieldNoteType, true);
    c.fieldNoteTime = getCategoryKeyOrThrow(db, TagCategoryName::FieldNoteTime, true);
    c.fieldNoteSent = getCategoryKeyOrThrow(db, TagCategoryName::FieldNoteSent, true);
    c.lastImport = getCategoryKeyOrThrow(db, TagCategoryName::LastImport, true);
    c.gcImage = getCategoryKeyOrThrow(db, TagCategoryName::GcImage, true);
    c.favorites = getCategoryKeyOrThrow(db, TagCategoryName::Favorites, true);
    // The travel-bug table is the program's own: a database made by an older
    // version or by another program gets it here, at its first open.
    createTravelBugTable(db);
    return c;
}

bool SetTag(SQLite::Database& db, const std::string& code, int categoryKey, const std::string& value,
            bool sharedValue, int& tagKey, bool ownTransaction)
{
    if (!ownTransaction) {
        writeTag(db, code, categoryKey, value, sharedValue, tagKey);
        return true;
    }
    const int previousTagKey = tagKey;
    try {
        SQLite::Transaction transaction(db);
        writeTag(db, code, categoryKey, value, sharedValue, tagKey);
        if (transaction.commit() != SQLITE_OK) {
            tagKey = previousTagKey;
            return false;
        }
        return true;
    } catch (const SQLite::Error& e) {
        tagKey = previousTagKey;
        db.Rollback();
        db.showError(e.message);
        return false;
    }
}

} // namespace tw

namespace tw {
namespace {

// Runs a lookup; a failure is shown plainly and gives the fallback.
template <typename T, typename F>
T lookup(SQLite::Database& db, T fallback, F&& work)
{
    try {
        return work();
    } catch (const SQLite::Error& e) {
        db.showPlain(e.message);
        return fallback;
    }
}

} // namespace

int GetValueKey(SQLite::Database& db, const std::string& value)
{
    return lookup(db, 0, [&] {
        SQLite::Statement find(db, "SELECT `key` FROM `geotagvalue` WHERE `value` = ?");
        find.BindText(1, value);
        return lastKey(find);
    });
}

bool AddTag(SQLite::Database& db, const std::string& code, const std::string& categoryName,
            const std::string& value)
{
    const int category = GetCategoryKey(db, categoryName, true);
    if (category == 0)
        return false;
    int tagKey = 0;
    return SetTag(db, code, category, value, true, tagKey, true);
}

bool RemoveTag(SQLite::Database& db, const std::string& code, const std::string& categoryName,
               const std::string& value)
{
    try {
        SQLite::Transaction transaction(db);
        const int category = getCategoryKeyOrThrow(db, categoryName, false);
        if (value.empty()) {
            SQLite::Statement drop(db, "DELETE FROM `geotag`  WHERE `id` = ? AND `ptrkat` = ?");
            drop.BindText(1, code);
            drop.BindInt(2, category);
            drop.stepDone();
        } else {
            SQLite::Statement findValue(db, "SELECT `key` FROM `geotagvalue` WHERE `value` = ?");
            findValue.BindText(1, value);
            SQLite::Statement drop(db, "DELETE FROM `geotag`  WHERE `id` = ? AND `ptrkat` = ? AND `ptrvalue` = ?");
            drop.BindText(1, code);
            drop.BindInt(2, category);
            drop.BindInt(3, lastKey(findValue));
            drop.stepDone();
        }
        return transaction.commit() == SQLITE_OK;
    } catch (const SQLite::Error& e) {
        db.Rollback();
        db.showError(e.message);
        return false;
    }
}

int FindTagKey(SQLite::Database& db, const std::string& code, int categoryKey)
{
    return lookup(db, 0, [&] {
        SQLite::Statement find(db, "SELECT `key` FROM `geotag` WHERE `id` = ? AND `ptrkat` = ?");
        find.BindText(1, code);
        find.BindInt(2, categoryKey);
        return lastKey(find);
    });
}

bool hasTagKeys(SQLite::Database& db, const std::string& code, int categoryKey, int valueKey)
{
    SQLite::Statement count(db, valueKey == 0
                                    ? "SELECT COUNT(*) FROM `geotag`  WHERE `id` = ? AND `ptrkat` = ?"
                                    : "SELECT COUNT(*) FROM `geotag`  WHERE `id` = ? AND `ptrkat` = ? AND "
                                      "`ptrvalue` = ?");
    count.BindText(1, code);
    count.BindInt(2, categoryKey);
    if (valueKey != 0)
        count.BindInt(3, valueKey);
    return count.Next() && count.ColumnInt(0) > 0;
}

bool HasTag(SQLite::Database& db, const std::string& code, const std::string& categoryName,
            const std::string& value)
{
    return lookup(db, false, [&] {
        const int category = getCategoryKeyOrThrow(db, categoryName, false);
        if (category == 0)
            return false;
        int valueKey = 0;
        if (!value.empty()) {
            SQLite::Statement findValue(db, "SELECT `key` FROM `geotagvalue` WHERE `value` = ?");
            findValue.BindText(1, value);
            valueKey = lastKey(findValue);
            if (valueKey == 0)
                return false; // no such value: no cache can carry it
        }
        return hasTagKeys(db, code, category, valueKey);
    });
}

bool DeleteTagsOfCategory(SQLite::Database& db, int categoryKey)
{
    try {
        SQLite::Transaction transaction(db);
        SQLite::Statement drop(db, "DELETE FROM `geotag` WHERE `ptrkat` = ?");
        drop.BindInt(1, categoryKey);
        drop.stepDone();
        return transaction.commit() == SQLITE_OK;
    } catch (const SQLite::Error& e) {
        db.Rollback();
        db.showPlain(e.message);
        return false;
    }
}

std::vector<std::string> ListCategories(SQLite::Database& db)
{
    std::vector<std::string> names;
    try {
        SQLite::Statement query(db, "SELECT `value` FROM `geotagcategory` ORDER BY UPPER(`value`)");
        while (query.Next())
            names.push_back(query.ColumnText(0));
    } catch (const SQLite::Error& e) {
        db.showPlain(e.message);
    }
    return names;
}

std::vector<std::string> ListValues(SQLite::Database& db, const std::string& categoryName)
{
    std::vector<std::string> values;
    try {
        SQLite::Statement category(db, "SELECT `key` FROM `geotagcategory` WHERE `value` = ?");
        category.BindText(1, categoryName);
        const int key = lastKey(category);
        if (key == 0)
            return values;
        SQLite::Statement query(db, "SELECT DISTINCT `geotagvalue`.`value` FROM `geotag`, `geotagvalue` WHERE "
                                    "`geotag`.`ptrvalue` = `geotagvalue`.`key` AND `geotag`.`ptrkat` = ?");
        query.BindInt(1, key);
        while (query.Next())
            values.push_back(query.ColumnText(0));
    } catch (const SQLite::Error& e) {
        db.showPlain(e.message);
    }
    return values;
}

} // namespace tw
