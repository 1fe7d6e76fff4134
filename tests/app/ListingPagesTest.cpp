// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ImagePrefetch.h"
#include "app/LanguageTable.h"
#include "app/ListingFiles.h"
#include "app/ListingPages.h"

#include "tests/TestSupport.h"
#include "tests/geo/LocaleGuard.h"

#include <gmock/gmock.h>

namespace fs = std::filesystem;
using namespace tw;
using namespace tw::listing;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

CGeocache cacheWith(const std::string& shortDesc, int shortHtml, const std::string& longDesc, int longHtml)
{
    CGeocache c;
    c.code = "GC12AB";
    c.name = "Mill & <Weir>";
    c.text = shortDesc;
    c.shortDescHtml = shortHtml;
    c.longDesc = longDesc;
    c.longDescHtml = longHtml;
    return c;
}

// Downloads asked for, in order.
struct Queue {
    std::vector<std::pair<std::string, fs::path>> items;
    ImagePrefetch prefetch{[this](const std::string& url, const fs::path& path) { items.emplace_back(url, path); }};
};

} // namespace

TEST(ListingPages, DescriptionJoinsTheTwoPartsAndBreaksPlainLines)
{
    EXPECT_EQ(descriptionPage(cacheWith("", 1, "<p>Long</p>", 1)), "<html><body><p>Long</p></body></html>");
    EXPECT_EQ(descriptionPage(cacheWith("<b>S</b>", 1, "<p>L</p>", 1)), "<html><body><b>S</b><hr><p>L</p></body></html>");
    // A plain long text turns every line break of the page into <br>, the
    // HTML part's included, and its markup characters show as typed.
    EXPECT_EQ(descriptionPage(cacheWith("<i>a\nb</i>", 1, "x < y\r\nz", 0)),
              "<html><body><i>a<br>b</i><hr>x &lt; y<br>z</body></html>");
    EXPECT_EQ(withHeader(descriptionPage(cacheWith("", 1, "L", 1)), "<p>head</p>"), "<html><body><p>head</p>L</body></html>");
}

TEST(ListingPages, LogsShowTextWithoutImagesAndEscapeWhatPeopleTyped)
{
    CGeocache c = cacheWith("", 1, "", 1);
    auto log = std::make_unique<CGeoLog>();
    log->date = 20240610;
    log->type = LogType::DidntFindIt;
    log->finder = "kapr<&>sons";
    log->text = "Searched <img src=\"http://x/smile.gif\" alt='x'>for <b>ages</b>.\nNext time!<IMG SRC=a.png>";
    c.logs.push_back(std::move(log));
    const std::string page = logsPage(c, " by ");
    EXPECT_THAT(page, HasSubstr(">Mill &amp; &lt;Weir&gt;</div>"));
    EXPECT_THAT(page, HasSubstr("<img src=\"resource://1.bmp\" align=\"absmiddle\"> 10.06.2024 by kapr&lt;&amp;&gt;sons"));
    EXPECT_THAT(page, HasSubstr(">Searched for &lt;b&gt;ages&lt;/b&gt;.<br>Next time!</div>"));
    EXPECT_THAT(page, Not(HasSubstr("smile.gif")));
}

// Dates follow the program's language, not the system's locale: English
// dates with English texts even where the C library speaks German.
TEST(ListingPages, DatesFollowTheProgramsLanguage)
{
    test::GermanLocale german;
    CGeocache c = cacheWith("", 1, "", 1);
    c.hidden = 20111124;
    auto log = std::make_unique<CGeoLog>();
    log->date = 20240610;
    c.logs.push_back(std::move(log));
    LanguageTable english, czech;
    english.loadTable(test::runtimeDir(), "en");
    czech.loadTable(test::runtimeDir(), "cs");
    EXPECT_THAT(overviewHtml(c, {"Owner", "Hidden", &english}, 32), HasSubstr("Hidden: 11/24/2011<br>"));
    EXPECT_THAT(logsPage(c, " by ", &english), HasSubstr("> 06/10/2024 by "));
    EXPECT_THAT(overviewHtml(c, {"Autor", "Založena", &czech}, 32), HasSubstr("Založena: 24.11.2011<br>"));
    EXPECT_THAT(logsPage(c, " od ", &czech), HasSubstr("> 10.06.2024 od "));
}

class ListingFilesTest : public test::TempDirTest {};

TEST_F(ListingFilesTest, RemoteImagesBecomeLocalFilesAndMissingOnesAreQueuedOnce)
{
    Queue q;
    const std::string html = "<p><img src='http://img.example.org/a/b.png' width=20>"
                             "<IMG alt=\"s\" SRC=\"HTTPS://img.example.org/icon_smile_big.gif\"/>"
                             "<img src=\"/relative.png\"><img src=\"data:image/png;base64,AAAA\">"
                             "<img src=\"javascript:alert(1)\"><img src=file:///etc/passwd>"
                             "<img src=\"http://img.example.org/..\"><img src=\"http://h/x.php?id=1&amp;s=2\">"
                             "<imgx></p>";
    const RewrittenPage page = rewriteImages(html, dir, "GC12AB", &q.prefetch);
    const fs::path b = dir / "offline" / "inc" / "B" / "GC12AB-b.png";
    const fs::path smile = dir / "offline" / "img" / "icon_smile_big.gif";
    const fs::path php = dir / "offline" / "inc" / "B" / "GC12AB-x.php?id=1&s=2";
    EXPECT_EQ(page.html, "<p><img src=\"" + fileUrl(b) + "\" width=20><IMG alt=\"s\" SRC=\"" + fileUrl(smile) +
                             "\"/><img src=\"" + fileUrl(php) + "\"><imgx></p>");
    EXPECT_EQ(page.missing, 3);
    EXPECT_EQ(page.awaited, 2); // "?" makes no file name the downloader may create
    ASSERT_EQ(q.items.size(), 2u);
    EXPECT_EQ(q.items[0], std::make_pair(std::string("http://img.example.org/a/b.png"), b));
    EXPECT_EQ(q.items[1].second, smile);

    // Built again: nothing is asked twice; a file that arrived is not missing.
    test::writeFile(b, "png");
    const RewrittenPage again = rewriteImages(html, dir, "GC12AB", &q.prefetch);
    EXPECT_EQ(again.html, page.html);
    EXPECT_EQ(again.missing, 2);
    EXPECT_EQ(q.items.size(), 2u);
    // Downloads off, or a code that cannot name a folder: nothing is queued.
    EXPECT_EQ(rewriteImages(html, dir, "GC9ZZ", nullptr).awaited, 0);
    EXPECT_EQ(rewriteImages("<img src=\"http://h/b.png\">", dir, "../GC1", &q.prefetch).html, "");
    EXPECT_EQ(q.items.size(), 2u);
}

TEST_F(ListingFilesTest, OfflineCopyAttachmentsAndTheOfflineFence)
{
    EXPECT_EQ(offlineCopyPath(dir, "GC12AB"), dir / "offline" / "cache" / "B" / "GC12AB.htm");
    EXPECT_TRUE(offlineCopyPath(dir, "GC/../1").empty());
    EXPECT_TRUE(attachmentFiles(dir, "GC12AB").empty());
    const fs::path folder = attachmentFolder(dir, "GC12AB");
    EXPECT_EQ(folder, dir / "attach" / "B" / "GC12AB");
    test::writeFile(folder / "route.gpx", "x");
    test::writeFile(folder / "a photo.jpg", "x");
    test::writeFile(folder / "sub" / "inner.txt", "x");
    EXPECT_EQ(attachmentFiles(dir, "GC12AB"), (std::vector<std::string>{"a photo.jpg", "route.gpx"}));

    test::writeFile(dir / "offline" / "inc" / "B" / "GC12AB-b.png", "x");
    test::writeFile(dir / "secret.png", "x");
    fs::create_symlink(dir / "secret.png", dir / "offline" / "inc" / "B" / "link.png");
    EXPECT_TRUE(isOfflineFile(dir, dir / "offline" / "inc" / "B" / "GC12AB-b.png"));
    EXPECT_FALSE(isOfflineFile(dir, dir / "offline" / "inc" / ".." / ".." / "secret.png"));
    EXPECT_FALSE(isOfflineFile(dir, dir / "offline" / "inc" / "B" / "link.png"));
    EXPECT_FALSE(isOfflineFile(dir, dir / "offline"));
    EXPECT_EQ(fileUrl("/a b/\"x\".png"), "file:///a%20b/%22x%22.png");
}

TEST(ListingPages, ImagesPageShowsEachStoredLinkAsItsImageWithCaption)
{
    const std::vector<std::pair<std::string, std::string>> tags = {
        {"attribute", "dogs-yes"},
        {"gcimage", "<a href=\"http://img.example.org/1.jpg\">Bridge</a>"},
        {"gcimage", "<a href='http://img.example.org/2.jpg'>Gate</a>"},
        // Stored by an older version straight from the service.
        {"gcimage", "<a href=\"http://x/a.png\"><h1>INJECTED</h1>\">Spoiler</a>"},
        {"gcimage", "<a href=\"javascript:alert(1)\">Script</a>"},
        {"gcimage", "<a href=\"http://img.example.org/3.jpg\"><b>bold</b> & co</a>"}};
    const std::string page = imagesPage("A&B", imageLinksOf(tags));
    EXPECT_THAT(page, HasSubstr(">A&amp;B</div><p><img src=\"http://img.example.org/1.jpg\"><br>Bridge"
                                "<p><img src=\"http://img.example.org/2.jpg\"><br>Gate"
                                "<p><img src=\"http://x/a.png\"><br>&lt;h1&gt;INJECTED&lt;/h1&gt;\"&gt;Spoiler"
                                "<p><img src=\"http://img.example.org/3.jpg\"><br>&lt;b&gt;bold&lt;/b&gt; & co"
                                "</body></html>"));
    EXPECT_THAT(page, Not(HasSubstr("<h1>")));
    EXPECT_THAT(page, Not(HasSubstr("javascript")));
}

TEST(ListingPages, SelectionBecomesAVariablesBlockOnlyWhenTheNoteHasNone)
{
    const std::string note = "Start\r\n A=3 B=5 \r\nEnd";
    EXPECT_EQ(noteWithVariables(note, 5, 16), std::string("Start<!\r\nA=3 B=5\r\n!>\r\nEnd"));
    EXPECT_FALSE(noteWithVariables("x <!\r\nA=1\r\n!> y", 0, 1));
    EXPECT_FALSE(noteWithVariables(note, 5, 7)); // blanks only
    EXPECT_FALSE(noteWithVariables(note, 5, 99));
}

TEST(ListingPages, OverviewEscapesNamesAndDrawsOnlyWellFormedAttributes)
{
    CGeocache c = cacheWith("", 1, "", 1);
    c.author = "Jana & <Petr>";
    c.difficulty = 25;
    c.terrain = 30;
    c.attributes = {"dogs-yes", "AbandonedBuilding-no", "-yes", "x\"><script>-yes"};
    const std::string html = overviewHtml(c, {"Owner", "Hidden"}, 32);
    EXPECT_THAT(html, HasSubstr("Mill &amp; &lt;Weir&gt;"));
    EXPECT_THAT(html, HasSubstr("D 2.5 / T 3 &middot; Owner: Jana &amp; &lt;Petr&gt;"));
    EXPECT_THAT(html, HasSubstr("<img src=\"attribute:dogs-yes\" width=\"32\" height=\"32\"> "
                                "<img src=\"attribute:abandonedbuilding-no\""));
    EXPECT_THAT(html, Not(HasSubstr("script")));
    EXPECT_THAT(html, Not(HasSubstr("attribute:-yes")));
}

TEST(ListingPages, OverviewNamesTypesInTheUsersLanguage)
{
    CGeocache c = cacheWith("", 1, "", 1);
    c.type = CacheType::Traditional;
    c.size = CacheSize::Small;
    auto wpt = std::make_unique<CWaypoint>();
    wpt->prefix = "PK";
    wpt->type = WaypointType::Parking;
    c.waypoints.push_back(std::move(wpt));
    EXPECT_THAT(overviewHtml(c, {"Owner", "Hidden"}, 32),
                HasSubstr("Traditional Cache &middot; Small<br>"));
    LanguageTable czech;
    czech.loadTable(test::runtimeDir(), "cs");
    const std::string html = overviewHtml(c, {"Autor", "Založena", &czech}, 32);
    EXPECT_THAT(html, HasSubstr("Tradiční keš &middot; Malá<br>"));
    EXPECT_THAT(html, HasSubstr("<b>PK</b> Parkoviště: "));
}
