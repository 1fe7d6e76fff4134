// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes imported as a pocket query into an
// in-memory cache database with the shipped schema.
#include "db/CacheStore.h"
#include "db/SQLite.h"
#include "db/Tags.h"
#include "exchange/CGpxImporter.h"
#include "xml/CUtf8MemorySource.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

namespace {

// The shipped schema with the tag categories the program adds at start-up,
// built once and kept as the bytes of a database image: each input starts
// from a copy of it, so every input finds the same category keys.
struct Template {
    std::vector<unsigned char> image;
    tw::TagCategories categories;
};

Template makeTemplate()
{
    std::ifstream in(TARNWICK_SOURCE_DIR "/resources/emptydb.sql");
    std::ostringstream sql;
    sql << in.rdbuf();
    SQLite::Database db;
    if (db.Open(":memory:") != 0 || db.Exec(sql.str()) != 0)
        __builtin_trap();
    Template t;
    t.categories = tw::resolveTagCategories(db);
    sqlite3_int64 size = 0;
    unsigned char* bytes = sqlite3_serialize(db.handle(), "main", &size, 0);
    t.image.assign(bytes, bytes + size);
    sqlite3_free(bytes);
    return t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const Template base = makeTemplate();
    const std::vector<unsigned char>& image = base.image;
    SQLite::Database db;
    if (db.Open(":memory:") != 0)
        __builtin_trap();
    auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(image.size()));
    std::copy(image.begin(), image.end(), copy);
    if (sqlite3_deserialize(db.handle(), "main", copy, static_cast<sqlite3_int64>(image.size()),
                            static_cast<sqlite3_int64>(image.size()),
                            SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) != SQLITE_OK)
        __builtin_trap();
    const tw::TagCategories& categories = base.categories;
    // The first byte chooses whether stored caches are kept or replaced, and
    // whether the file is imported a second time over what the first stored.
    if (size == 0)
        return 0;
    const int passes = (data[0] & 2) != 0 ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        tw::CacheStore store(db, categories, ((data[0] & 1) ^ pass) != 0);
        tw::CacheImportStore importStore(store, db);
        tw::CGpxImporter importer(importStore, "fuzzer");
        tw::CUtf8MemorySource source(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
        (void)importer.parse(source, nullptr);
    }
    // Whatever the input, the database stays whole.
    SQLite::Statement check(db, "PRAGMA integrity_check");
    if (!check.Next() || check.ColumnText(0) != "ok")
        __builtin_trap();
    return 0;
}
