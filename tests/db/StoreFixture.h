// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "db/Tags.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"

#include <sqlite3.h>

#include <string>

namespace tw::test {

// A fresh copy of the template database with the program's tag categories.
class StoreFixture : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        path = (dir / "cachedb.db3").string();
        copyTemplateDb(path);
        ASSERT_EQ(db.OpenFile(path), SQLITE_OK);
        categories = resolveTagCategories(db);
    }

    int count(const std::string& sql)
    {
        SQLite::Statement q(db, sql);
        EXPECT_EQ(q.Step(), SQLITE_ROW);
        return q.ColumnInt(0);
    }

    static CGeocache cache(const std::string& code, int type = CacheType::Traditional)
    {
        CGeocache c;
        c.code = code;
        c.name = "Cache " + code;
        c.author = "Owner";
        c.lat = 50.08;
        c.lon = 14.42;
        c.type = type;
        return c;
    }

    static CWaypoint waypoint(const std::string& code, int type, double lat, double lon, int flag)
    {
        CWaypoint w;
        w.code = code;
        w.type = type;
        w.lat = lat;
        w.lon = lon;
        w.flag = flag;
        w.name = "point";
        return w;
    }

    std::string path;
    RecordingPrompter prompter;
    SQLite::Database db{&prompter};
    TagCategories categories;
};

} // namespace tw::test
