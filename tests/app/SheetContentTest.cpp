// SPDX-License-Identifier: GPL-3.0-or-later
// What a printed sheet says, before any layout: texts in the user's language
// and coordinate style, pictures only where the offline folder has them,
// the newest logs only.
#include "app/ListingFiles.h"
#include "app/ListingPages.h"
#include "app/SheetContent.h"
#include "db/Tags.h"
#include "tests/app/AppFixture.h"

#include <gmock/gmock.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace tw;
using ::testing::ElementsAre;
using ::testing::Field;

namespace {

class SheetContentTest : public test::AppFixture {
protected:
    // A cache of Prague with a description that shows two pictures, one of
    // them kept offline, and three listing images, one of them the same.
    listing::Listing listingOf(int logs)
    {
        listing::Listing l;
        CGeocache& c = l.cache;
        c.code = "GC12AB";
        c.name = "Mlýn";
        c.lat = 50.08745;
        c.lon = 14.42113;
        c.type = CacheType::Unknown;
        c.size = CacheSize::Regular;
        c.difficulty = 30;
        c.terrain = 15;
        c.hidden = 20111124;
        c.text = "Line one\r\nline two\r\n\r\n";
        c.shortDescHtml = 0;
        c.longDesc = "<p>Look<img src=\"http://img.example.org/x/kept.jpg\"><img src='http://img.example.org/x/gone.jpg'>"
                     "<img src=\"data:image/png;base64,AAAA\"></p>";
        c.longDescHtml = 1;
        c.hint = "magnet\r\nunder";
        for (int i = 0; i < logs; ++i) {
            auto log = std::make_unique<CGeoLog>();
            log->date = 20240610 - i;
            log->type = LogType::WriteNote;
            log->finder = "f" + std::to_string(i);
            log->text = "text <img src=\"http://x/smile.gif\">" + std::to_string(i);
            c.logs.push_back(std::move(log));
        }
        auto wpt = std::make_unique<CWaypoint>();
        wpt->prefix = "FN";
        wpt->type = WaypointType::Final;
        wpt->name = "Final";
        wpt->text = "behind";
        wpt->comment = "my note";
        c.waypoints.push_back(std::move(wpt));
        for (const char* link : {"<a href=\"http://img.example.org/x/kept.jpg\">Same</a>",
                                 "<a href=\"http://img.example.org/x/spring.jpg\">Spring &amp; mill</a>",
                                 "<a href=\"http://img.example.org/x/absent.jpg\">Absent</a>"})
            l.tags.emplace_back(TagCategoryName::GcImage, link);
        for (const char* name : {"kept.jpg", "spring.jpg"}) {
            const fs::path file = listing::localImagePath(dir, c.code, name);
            fs::create_directories(file.parent_path());
            std::ofstream(file) << "picture";
        }
        return l;
    }
};

} // namespace

TEST_F(SheetContentTest, PicturesComeFromTheOfflineFolderOnce)
{
    const sheet::Content s = sheet::contentOf(*global, listingOf(0), dir);
    ASSERT_EQ(s.description.size(), 4u);
    EXPECT_EQ(s.description[0].text, "Line one");
    EXPECT_EQ(s.description[1].text, "line two");
    EXPECT_EQ(s.description[2].text, "Look");
    EXPECT_EQ(s.description[3].kind, TextBlock::Kind::Image);
    EXPECT_EQ(s.description[3].image, listing::localImagePath(dir, "GC12AB", "kept.jpg"));
    // The listing image shown in the description is not repeated; the one
    // not downloaded is left out.
    ASSERT_EQ(s.pictures.size(), 1u);
    EXPECT_EQ(s.pictures[0].caption, "Spring & mill");
    EXPECT_EQ(s.hint, "magnet\nunder");
    EXPECT_EQ(s.hintRot13, "zntarg\nhaqre");
}

TEST_F(SheetContentTest, TextsFollowTheLanguageAndTheCoordinateStyle)
{
    global->settings.coordStyle = 0; // decimal degrees
    global->lang.loadTable(test::runtimeDir(), "cs");
    const sheet::Content s = sheet::contentOf(*global, listingOf(8), dir);
    EXPECT_EQ(s.coords, "N 50.08745° E 014.42113°");
    EXPECT_EQ(s.facts, listing::shownCacheType(&global->lang, CacheType::Unknown) + " · " +
                           listing::shownCacheSize(&global->lang, CacheSize::Regular) + " · D 3 / T 1.5");
    EXPECT_EQ(s.labels.page, "Strana %s z %s");
    EXPECT_THAT(s.owner, ::testing::HasSubstr("24.11.2011"));
    ASSERT_EQ(s.waypoints.size(), 1u);
    EXPECT_EQ(s.waypoints[0].note, "behind\nmy note");
    EXPECT_FALSE(s.waypoints[0].at.has_value());
    EXPECT_TRUE(s.waypoints[0].coords.empty());
    // The five newest logs, images out of their texts.
    EXPECT_THAT(s.logs, ElementsAre(Field(&sheet::Log::text, "text 0"), Field(&sheet::Log::text, "text 1"),
                                    Field(&sheet::Log::text, "text 2"), Field(&sheet::Log::text, "text 3"),
                                    Field(&sheet::Log::text, "text 4")));
    EXPECT_EQ(s.logs[0].heading, "10.06.2024 · " + global->lang.textOr(1022, "Write note") + " · f0");
}
