// SPDX-License-Identifier: GPL-3.0-or-later
// A replace that is killed half-way must leave the user's data whole: the
// program is often ended by the system, or by a flat battery, during imports.
#include "db/CacheReader.h"
#include "tests/db/StoreFixture.h"

#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace tw {
namespace {

constexpr int kCaches = 4;
constexpr int kRuns = 60;

std::string codeOf(int i)
{
    return "GC" + std::to_string(100 + i);
}

// Replaces the caches over and over, as endless re-imports would.
[[noreturn]] void replaceForever(const std::string& path)
{
    SQLite::Database db;
    if (db.OpenFile(path) != SQLITE_OK)
        _exit(2);
    const TagCategories categories = resolveTagCategories(db);
    CacheStore store(db, categories, 0);
    for (unsigned n = 0;; ++n) {
        CGeocache c;
        c.code = codeOf(static_cast<int>(n % kCaches));
        c.name = "copy " + std::to_string(n);
        c.lat = 50.0 + n % kCaches;
        c.lon = 14.0;
        c.type = CacheType::Multi;
        c.comment = n % 2 ? "online note" : "";
        c.attributes = {"dogs-yes", "kids-no", "scenic-yes"};
        c.longDesc = std::string(2000 + n % 500, 'd');
        store.StoreImportedCache(c);
    }
}

class ReplaceKillTest : public test::StoreFixture {};

TEST_F(ReplaceKillTest, KilledReplacesNeverLoseTheUsersData)
{
    {
        CacheStore store(db, categories, 0);
        for (int i = 0; i < kCaches; ++i) {
            CGeocache c = cache(codeOf(i), CacheType::Multi);
            c.comment = "user note " + std::to_string(i);
            ASSERT_TRUE(store.InsertCache(c));
            ASSERT_TRUE(store.SetFoundState(c, LogType::FoundIt, "found it", 1322127000));
            CWaypoint own = waypoint(c.code, WaypointType::Final, 50.5, 14.5, 0);
            ASSERT_TRUE(store.InsertWaypoint(own));
        }
    }
    const int found = count("SELECT dtfound FROM geocache WHERE id = 'GC100'");
    db.Close();

    std::mt19937 random(20111124);
    std::uniform_int_distribution<int> delayUs(500, 30000);
    for (int run = 0; run < kRuns; ++run) {
        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0)
            replaceForever(path);
        usleep(static_cast<useconds_t>(delayUs(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself in run " << run;

        ASSERT_EQ(db.OpenFile(path), SQLITE_OK);
        SQLite::Statement check(db, "PRAGMA integrity_check");
        ASSERT_TRUE(check.Next());
        ASSERT_EQ(check.ColumnText(0), "ok") << "run " << run;
        ASSERT_EQ(count("SELECT COUNT(*) FROM geocache"), kCaches) << "run " << run;
        ASSERT_EQ(count("SELECT COUNT(*) FROM coord_index"), kCaches) << "run " << run;
        for (int i = 0; i < kCaches; ++i) {
            const auto c = LoadCacheByCode(db, codeOf(i));
            ASSERT_TRUE(c.has_value()) << "run " << run;
            EXPECT_NE(c->comment.find("user note " + std::to_string(i)), std::string::npos) << "run " << run;
            EXPECT_EQ(c->found, found) << "run " << run;
            ASSERT_EQ(c->waypoints.size(), 1u) << "run " << run;
            EXPECT_EQ(c->waypoints[0]->flag, 0);
            EXPECT_TRUE(HasTag(db, c->code, TagCategoryName::FieldNote, "found it")) << "run " << run;
        }
        db.Close();
    }
}

} // namespace
} // namespace tw
