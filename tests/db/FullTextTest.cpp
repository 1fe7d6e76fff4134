// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/FullText.h"
#include "db/SqlError.h"
#include "db/VisibleText.h"
#include "tests/db/StoreFixture.h"
#include "tests/geo/RowName.h"

#include <algorithm>
#include <functional>

namespace tw {
namespace {

using V = std::vector<std::string>;

// What the user types, read into the index's query language.
struct ExpressionCase {
    const char* name;
    const char* query;
    TextFields fields;
    const char* expression;
    friend void PrintTo(const ExpressionCase& row, std::ostream* out) { *out << row.name; }
};

class MatchExpressionTest : public ::testing::TestWithParam<ExpressionCase> {};

TEST_P(MatchExpressionTest, ReadsTheQuery)
{
    EXPECT_EQ(fulltext::MatchExpression(GetParam().query, GetParam().fields), GetParam().expression);
}

INSTANTIATE_TEST_SUITE_P(
    Queries, MatchExpressionTest,
    ::testing::Values(
        ExpressionCase{"WordsAllMatch", "bench  plaque", 0, "\"bench\" AND \"plaque\""},
        ExpressionCase{"Phrase", "\"under the stone\" tree", 0, "\"under the stone\" AND \"tree\""},
        ExpressionCase{"Prefix", "magnet*", 0, "\"magnet\" *"},
        ExpressionCase{"Excluded", "bench -puzzle -night", 0,
                       "(\"bench\") NOT (\"puzzle\" OR \"night\")"},
        ExpressionCase{"OnlyExcludedIsNoQuery", "-puzzle", 0, ""},
        ExpressionCase{"FieldNamed", "hint:stone Listing:\"old mill\"", 0,
                       "{hint} : \"stone\" AND {listing} : \"old mill\""},
        ExpressionCase{"CzechFieldNames", "napoveda:kamen poznámka:x", 0, "{hint} : \"kamen\" AND {note} : \"x\""},
        ExpressionCase{"UnknownFieldIsAWord", "gc:1", 0, "\"gc:1\""},
        ExpressionCase{"FieldsAsked", "stone", TextField::Hint | TextField::Logs, "{hint logs} : \"stone\""},
        ExpressionCase{"AllFieldsNeedNoFilter", "stone", 255, "\"stone\""},
        ExpressionCase{"OwnFieldWins", "name:x y", TextField::Hint, "{name} : \"x\" AND {hint} : \"y\""},
        ExpressionCase{"OperatorsAreWords", "a OR b NOT c NEAR(d)", 0,
                       "\"a\" AND \"OR\" AND \"b\" AND \"NOT\" AND \"c\" AND \"NEAR(d)\""},
        ExpressionCase{"QuoteInsideAWordStartsAPhrase", "say\"hi", 0, "\"say\" AND \"hi\""},
        ExpressionCase{"UnbalancedQuoteRunsToTheEnd", "\"open phrase", 0, "\"open phrase\""},
        ExpressionCase{"LoneDashAndStars", "- * ** -- ()", 0, ""},
        ExpressionCase{"Empty", "   ", 0, ""},
        ExpressionCase{"NonLatinLetters", "Žluťoučký кот", 0, "\"Žluťoučký\" AND \"кот\""},
        ExpressionCase{"DashInsideAWord", "u-boot", 0, "\"u-boot\""}),
    test::RowName{});

TEST(HighlightTermsTest, WordsOfWantedPiecesWithoutStars)
{
    EXPECT_EQ(fulltext::HighlightTerms("magnet* \"under the stone\" -puzzle hint:under Brücke"),
              (V{"magnet", "under", "the", "stone", "Brücke"}));
    EXPECT_TRUE(fulltext::HighlightTerms("-x \"").empty());
}

struct HtmlCase {
    const char* name;
    const char* html;
    const char* text;
    friend void PrintTo(const HtmlCase& row, std::ostream* out) { *out << row.name; }
};

class VisibleTextTest : public ::testing::TestWithParam<HtmlCase> {};

TEST_P(VisibleTextTest, KeepsWhatAReaderSees)
{
    EXPECT_EQ(visibleText(GetParam().html), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Html, VisibleTextTest,
    ::testing::Values(
        HtmlCase{"TagsAndAttributesGo", "<p class=\"secret\" title='x > y'>Hello</p><br/>world", "Hello world"},
        HtmlCase{"InlineElementsJoinWords", "Br<b>ü</b>cke", "Brücke"},
        HtmlCase{"ScriptStyleCommentDropped",
                 "a<script type=\"text/javascript\">var hidden = '</p>';</script>b<STYLE>.x{}</STYLE>c<!-- no -->d",
                 "a b c d"},
        HtmlCase{"References", "Fish &amp; chips &uuml;ber &#382;&#x10D; &nbsp;x", "Fish & chips über žč  x"},
        HtmlCase{"UnknownReferenceStays", "&bogus; & &#;", "&bogus; & &#;"},
        HtmlCase{"LessThanInText", "a < b <3", "a < b <3"},
        HtmlCase{"UnclosedTagEndsTheText", "text <a href=\"x", "text "},
        HtmlCase{"ControlCharactersAreSpaces", "a\x02" "b\x03" "c\td", "a b c d"}),
    test::RowName{});

// The same reading cut into the blocks a printed page sets.
TEST(VisibleBlocks, CutWhereABrowserStartsALineAndKeepPicturesInPlace)
{
    using K = TextBlock::Kind;
    const auto blocks =
        visibleBlocks("<h2>Mlýn</h2>Intro <b>text</b><br>next&nbsp;line<ul><li>one</li><li>two <i>x</i></li></ul>"
                      "<p>a <img alt=x SRC = \"http://e.org/p.jpg?a=1&amp;b=2\"> b</p><script>var s = 'x';</script>"
                      "<img src=''><div>  spaced \n  out  </div>");
    const std::vector<std::pair<K, std::string>> expected = {
        {K::Heading, "Mlýn"},   {K::Paragraph, "Intro text"}, {K::Paragraph, "next line"},
        {K::ListItem, "one"},   {K::ListItem, "two x"},       {K::Paragraph, "a"},
        {K::Image, "http://e.org/p.jpg?a=1&b=2"}, {K::Paragraph, "b"}, {K::Paragraph, "spaced out"}};
    ASSERT_EQ(blocks.size(), expected.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].kind, expected[i].first) << i;
        EXPECT_EQ(blocks[i].text, expected[i].second) << i;
    }
    const auto plain = plainBlocks("first  line\n\n\tsecond\n");
    ASSERT_EQ(plain.size(), 2u);
    EXPECT_EQ(plain[1].text, "second");
}

// Caches with texts in every field, through the store as the program writes
// them.
class FullTextTest : public test::StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        if (!fulltext::Supported())
            GTEST_SKIP() << "this SQLite has no FTS5";
        ASSERT_TRUE(fulltext::Ready(db)) << "a new database has the index";
        CGeocache bridge = cache("GC1A");
        bridge.name = "Stará Brücke";
        bridge.longDesc = "<p style=\"color:red\">The <b>magnet</b>ic plaque on the bench by the zámek.</p>"
                          "<script>hiddenScript()</script>";
        bridge.longDescHtml = 1;
        bridge.hint = "under the stone<br>left";
        bridge.comment = "my own words";
        addLog(bridge, "Finder1", "Found it near the old oak");
        ASSERT_TRUE(cacheStore.InsertCache(bridge));
        bridgeKey = bridge.key;

        CGeocache mill = cache("GC2B");
        mill.name = "Old mill";
        mill.text = "Magnetic is the word, plaque comes later";
        mill.hint = "stone wall";
        addLog(mill, "Walker", "a bench in the shade");
        ASSERT_TRUE(cacheStore.InsertCache(mill));
    }

    static void addLog(CGeocache& c, const std::string& finder, const std::string& text)
    {
        auto log = std::make_unique<CGeoLog>();
        log->finder = finder;
        log->text = text;
        log->date = 20240101;
        c.logs.push_back(std::move(log));
    }

    V found(std::string_view query, TextFields fields = 0)
    {
        V codes;
        for (const auto& hit : fulltext::Search(db, query, fields, 50))
            codes.push_back(hit.code);
        std::sort(codes.begin(), codes.end());
        return codes;
    }

    // Every word of the index, where it is: document, column and place.
    V indexedWords()
    {
        V words;
        SQLite::Statement q(db, "SELECT `term` || ' ' || `doc` || ' ' || `col` || ' ' || `offset` FROM "
                                "temp.`cachetext_words` ORDER BY `doc`, `col`, `offset`");
        while (q.Next())
            words.push_back(q.ColumnText(0));
        return words;
    }

    // The index holds exactly the words of the rows it was made of: the
    // same as the index made again from them.
    void expectIndexWhole()
    {
        EXPECT_EQ(db.Exec("INSERT INTO `cachetext` (`cachetext`) VALUES ('integrity-check')"), SQLITE_OK)
            << db.errorText();
        EXPECT_TRUE(fulltext::Ready(db));
        ASSERT_EQ(db.Exec("CREATE VIRTUAL TABLE IF NOT EXISTS temp.`cachetext_words` USING fts5vocab(main, "
                          "`cachetext`, 'instance')"),
                  SQLITE_OK)
            << db.errorText();
        const V kept = indexedWords();
        EXPECT_FALSE(kept.empty());
        ASSERT_EQ(db.Exec("SAVEPOINT rebuilt; INSERT INTO `cachetext` (`cachetext`) VALUES ('rebuild')"), SQLITE_OK)
            << db.errorText();
        EXPECT_EQ(indexedWords(), kept);
        ASSERT_EQ(db.Exec("ROLLBACK TO rebuilt; RELEASE rebuilt"), SQLITE_OK);
    }

    void dropIndex()
    {
        ASSERT_EQ(db.Exec("DROP TABLE `cachetext_state`; DROP TABLE `cachetext`; DROP VIEW `cachetext_source`;"),
                  SQLITE_OK)
            << db.errorText();
    }

    bool indexTableExists()
    {
        return count("SELECT count(*) FROM sqlite_master WHERE name = 'cachetext'") == 1;
    }

    // Caches of varied lengths whose few words repeat in every field.
    void addVariedCaches(int count)
    {
        const char* const words[] = {"potok", "les", "most", "kámen", "cesta", "mlýn"};
        unsigned state = 7;
        auto next = [&state] {
            state = state * 1103515245u + 12345u;
            return (state >> 16) % 1000;
        };
        auto text = [&](unsigned n) {
            std::string out;
            for (unsigned i = 0; i < n; ++i)
                out += std::string(words[next() % std::size(words)]) + " ";
            return out;
        };
        for (int i = 0; i < count; ++i) {
            CGeocache c = cache("GCR" + std::to_string(i));
            c.name = text(1 + next() % 3);
            c.longDesc = text(next() % 60);
            c.hint = i % 7 ? "" : text(2);
            addLog(c, "Finder", text(next() % 12));
            ASSERT_TRUE(cacheStore.InsertCache(c));
        }
    }

    CacheStore cacheStore{db, categories};
    int bridgeKey = 0;
};

TEST_F(FullTextTest, FindsWordsWhateverTheirDiacriticsCaseAndField)
{
    EXPECT_EQ(found("brucke"), V{"GC1A"});
    EXPECT_EQ(found("ZAMEK"), V{"GC1A"});
    EXPECT_EQ(found("stara"), V{"GC1A"});
    EXPECT_EQ(found("magnet*"), (V{"GC1A", "GC2B"}));
    EXPECT_EQ(found("magnetic"), (V{"GC1A", "GC2B"})) << "'<b>magnet</b>ic' is one word to a reader";
    EXPECT_EQ(found("magnet"), V{});
    EXPECT_EQ(found("\"magnetic plaque\""), V{"GC1A"});
    EXPECT_EQ(found("\"plaque magnetic\""), V{});
    EXPECT_EQ(found("bench -zamek"), V{"GC2B"});
    EXPECT_EQ(found("finder1"), V{"GC1A"});
    EXPECT_EQ(found("oak own"), V{"GC1A"}) << "a log and the note";
    EXPECT_EQ(found("gc2b"), V{"GC2B"});
    EXPECT_EQ(found("gc*"), (V{"GC1A", "GC2B"}));
    EXPECT_TRUE(found("\"").empty());
}

TEST_F(FullTextTest, FieldsRestrictWhereAWordMayBe)
{
    EXPECT_EQ(found("stone"), (V{"GC1A", "GC2B"}));
    EXPECT_EQ(found("stone", TextField::Listing | TextField::Logs), V{});
    EXPECT_EQ(found("stone", TextField::Hint), (V{"GC1A", "GC2B"}));
    EXPECT_EQ(found("hint:\"under the stone\""), V{"GC1A"});
    EXPECT_EQ(found("\"stone left\""), V{"GC1A"}) << "the hint's line break separates words";
    EXPECT_EQ(found("bench", TextField::Logs), V{"GC2B"});
    EXPECT_EQ(found("logs:bench"), V{"GC2B"});
    EXPECT_EQ(found("listing:bench"), V{"GC1A"});
    EXPECT_EQ(found("name:mill -hint:wall"), V{});
    EXPECT_EQ(found("owner:owner code:gc1a"), V{"GC1A"});
}

TEST_F(FullTextTest, ListingHtmlGivesOnlyTheWordsAReaderSees)
{
    EXPECT_EQ(found("color"), V{});
    EXPECT_EQ(found("red"), V{});
    EXPECT_EQ(found("style"), V{});
    EXPECT_EQ(found("hiddenscript"), V{});
    EXPECT_EQ(found("p"), V{});
    EXPECT_EQ(found("plaque"), (V{"GC1A", "GC2B"}));
}

TEST_F(FullTextTest, SnippetMarksTheMatchedWords)
{
    const auto hits = fulltext::Search(db, "zamek", 0, 10);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].key, bridgeKey);
    EXPECT_EQ(hits[0].name, "Stará Brücke");
    EXPECT_NE(hits[0].snippet.find("\x02zámek\x03"), std::string::npos) << hits[0].snippet;
    // The best match first: the word in the name counts more than in a log.
    CGeocache named = cache("GC3C");
    named.name = "Bench";
    ASSERT_TRUE(cacheStore.InsertCache(named));
    const auto ranked = fulltext::Search(db, "bench", 0, 10);
    ASSERT_EQ(ranked.size(), 3u);
    EXPECT_EQ(ranked[0].code, "GC3C");
    EXPECT_EQ(fulltext::Search(db, "bench", 0, 2).size(), 2u);
    EXPECT_TRUE(fulltext::Search(db, "-bench", 0, 10).empty());
}

// Search keeps only the best rows of a common word without reading the
// length of the others; what it finds and in which order is still the
// index's bm25 over every match. Caches of varied lengths whose words
// repeat in every field, so that many rows tie, many lose and many pass.
TEST_F(FullTextTest, SearchFindsTheBestOfBm25OverEveryMatch)
{
    addVariedCaches(300);
    SQLite::Statement reference(db, "SELECT `rowid` FROM `cachetext` WHERE `cachetext` MATCH ? ORDER BY `rank`, "
                                    "`rowid` LIMIT ?");
    for (const char* query : {"potok", "kamen mlyn", "\"most les\"", "ces*", "potok -les", "hint:cesta"}) {
        for (const int limit : {1, 7, 50, 400}) {
            reference.Reset();
            reference.BindText(1, fulltext::MatchExpression(query));
            reference.BindInt(2, limit);
            std::vector<long long> expected;
            while (reference.Next())
                expected.push_back(reference.columnInt64(0));
            std::vector<long long> keys;
            for (const auto& hit : fulltext::Search(db, query, 0, limit))
                keys.push_back(hit.key);
            EXPECT_EQ(keys, expected) << query << ", " << limit;
        }
    }
    // Rows that cannot reach the best are ranked by a bound, never above
    // their score; the best carry their score.
    SQLite::Statement both(db, "SELECT tw_bestof(`cachetext`, 3, 1.0, 8.0, 6.0, 3.0, 2.0, 0.5, 3.0, 1.0), `rank` "
                               "FROM `cachetext` WHERE `cachetext` MATCH 'potok' ORDER BY `rowid`");
    int bounded = 0, rows = 0;
    while (both.Next()) {
        ++rows;
        EXPECT_LE(both.ColumnDouble(0), both.ColumnDouble(1));
        bounded += both.ColumnDouble(0) != both.ColumnDouble(1);
    }
    EXPECT_GT(rows, 100);
    EXPECT_GE(rows - bounded, 3) << "bm25 itself for at least the best three";
    EXPECT_GT(bounded, rows / 4) << "the bound spares the reads of most lengths";
}

TEST_F(FullTextTest, EveryWriterKeepsTheIndexCurrent)
{
    auto bridge = LoadCacheByCode(db, "GC1A");
    ASSERT_TRUE(bridge);
    ASSERT_TRUE(cacheStore.SetComment(*bridge, "pod lavičkou"));
    EXPECT_EQ(found("lavick*"), V{"GC1A"});
    EXPECT_EQ(found("own"), V{}) << "the old note is gone from the index";

    CWaypoint parking = waypoint("GC1A", WaypointType::Parking, 50.1, 14.4, 0);
    parking.name = "Parkoviště";
    parking.comment = "behind the church";
    ASSERT_TRUE(cacheStore.InsertWaypoint(parking));
    EXPECT_EQ(found("waypoints:church"), V{"GC1A"});
    parking.comment = "by the school";
    ASSERT_TRUE(cacheStore.UpdateWaypoint(parking));
    EXPECT_EQ(found("church"), V{});
    EXPECT_EQ(found("parkoviste school"), V{"GC1A"});
    ASSERT_TRUE(cacheStore.DeleteWaypoint(parking));
    EXPECT_EQ(found("school"), V{});

    CGeoLog log;
    log.finder = "Latecomer";
    log.text = "signed with a pencil";
    cacheStore.InsertLog(log, "GC2B");
    EXPECT_EQ(found("pencil"), V{"GC2B"});

    CGeocache renamed = cache("GC2B");
    renamed.name = "Windmill";
    CacheStore replacing(db, categories, 0);
    EXPECT_EQ(replacing.UpdateCacheBasics(renamed), ImportResult::Replaced);
    EXPECT_EQ(found("windmill"), V{"GC2B"});
    EXPECT_EQ(found("mill"), V{});

    CGeocache newer = cache("GC1A");
    newer.longDesc = "A new listing about a fountain";
    ASSERT_TRUE(cacheStore.ReplaceCache(newer));
    EXPECT_EQ(found("fountain"), V{"GC1A"});
    EXPECT_EQ(found("zamek"), V{});
    EXPECT_EQ(found("lavick*"), V{"GC1A"}) << "the user's note survives the new copy";
    expectIndexWhole();

    ASSERT_TRUE(cacheStore.DeleteCache(*LoadCacheByCode(db, "GC1A"), false));
    EXPECT_EQ(found("fountain"), V{});
    EXPECT_EQ(found("gc*"), V{"GC2B"});
    expectIndexWhole();
}

TEST_F(FullTextTest, ImportedCachesAndWaypointsAreIndexedInTheirTransaction)
{
    CacheStore importing(db, categories, 0);
    CGeocache fresh = cache("GC4D");
    fresh.longDesc = "<ul><li>first&nbsp;stage</li></ul>";
    fresh.longDescHtml = 1;
    EXPECT_EQ(importing.StoreImportedCache(fresh), ImportResult::NewCache);
    CGeocache again = cache("GC4D");
    again.longDesc = "second copy";
    EXPECT_EQ(importing.StoreImportedCache(again), ImportResult::Replaced);
    CWaypoint stage = waypoint("S14D", WaypointType::Stage, 50.0, 14.0, 1);
    stage.name = "Vyhlídka";
    EXPECT_EQ(importing.StoreImportedWaypoint(stage), ImportResult::NewWaypoint);
    EXPECT_EQ(found("stage"), V{});
    EXPECT_EQ(found("second vyhlidka"), V{"GC4D"});
    // A batch rolled back takes its documents with it.
    ASSERT_EQ(db.beginBatch(), SQLITE_OK);
    CGeocache lost = cache("GC5E");
    lost.name = "Vanished";
    EXPECT_EQ(importing.StoreImportedCache(lost), ImportResult::NewCache);
    ASSERT_EQ(db.Exec("ROLLBACK"), SQLITE_OK);
    db.endBatch();
    EXPECT_EQ(found("vanished"), V{});
    expectIndexWhole();
}

// In a batch the new documents wait for its commit; what a record rolled
// back, replaced or deleted meanwhile must not reach the index.
TEST_F(FullTextTest, ABatchIndexesItsCachesAtItsCommit)
{
    CacheStore importing(db, categories, 0);
    ASSERT_EQ(db.beginBatch(), SQLITE_OK);
    CGeocache fresh = cache("GC4D");
    fresh.longDesc = "first copy";
    EXPECT_EQ(importing.StoreImportedCache(fresh), ImportResult::NewCache);
    fresh.longDesc = "second copy";
    EXPECT_EQ(importing.StoreImportedCache(fresh), ImportResult::Replaced);
    CWaypoint stage = waypoint("S14D", WaypointType::Stage, 50.0, 14.0, 1);
    stage.name = "Vyhlídka";
    EXPECT_EQ(importing.StoreImportedWaypoint(stage), ImportResult::NewWaypoint);

    ASSERT_EQ(db.Begin(), SQLITE_OK); // the record's savepoint, rolled back
    CGeocache failed = cache("GC5E");
    failed.name = "Vanished";
    EXPECT_EQ(importing.StoreImportedCache(failed), ImportResult::NewCache);
    ASSERT_EQ(db.Rollback(), SQLITE_OK);

    CGeocache gone = cache("GC6F");
    gone.name = "Shortlived";
    EXPECT_EQ(importing.StoreImportedCache(gone), ImportResult::NewCache);
    ASSERT_TRUE(importing.DeleteCache(*LoadCacheByCode(db, "GC6F"), false));

    CGeocache newer = cache("GC1A"); // indexed before the batch
    newer.longDesc = "A new listing about a fountain";
    EXPECT_EQ(importing.StoreImportedCache(newer), ImportResult::Replaced);
    EXPECT_EQ(found("zamek"), V{}) << "the old document left at once";
    ASSERT_EQ(db.endBatch(), SQLITE_OK) << db.errorText();

    EXPECT_EQ(found("second vyhlidka"), V{"GC4D"});
    EXPECT_EQ(found("first"), V{});
    EXPECT_EQ(found("vanished"), V{});
    EXPECT_EQ(found("shortlived"), V{});
    EXPECT_EQ(found("fountain"), V{"GC1A"});
    EXPECT_EQ(fulltext::waitingDocuments(db), 0u);
    expectIndexWhole();

    // Documents made from the texts at hand read as the rows do: logs by
    // date, descriptions with and without HTML, the hint's breaks, the
    // waypoints in the order stored. Past the batch's limit on what it
    // holds back the documents go into the index before the next record,
    // all but the newest, which still takes its cache's waypoints.
    ASSERT_EQ(db.beginBatch(), SQLITE_OK);
    CGeocache full = cache("GC8B");
    full.text = "short <i>desc</i>ription";
    full.shortDescHtml = 0;
    full.longDesc = "<p>&quot;Gr&uuml;n<b>e</b>&quot; w&auml;nde</p><br>ende";
    full.longDescHtml = 1;
    full.hint = "at<br>the<br><br>tree";
    full.importedNote = "from the file";
    full.hasOriginalPosition = true;
    addLog(full, "Later", "second visit");
    addLog(full, "", "an anonymous one");
    full.logs.back()->date = 20230101;
    addLog(full, "Same Day", "also second");
    EXPECT_EQ(importing.StoreImportedCache(full), ImportResult::NewCache);
    CWaypoint parking = waypoint("PK8B", WaypointType::Parking, 50.0, 14.0, 1);
    parking.name = "Parkoviště";
    parking.text = "by the road";
    EXPECT_EQ(importing.StoreImportedWaypoint(parking), ImportResult::NewWaypoint);
    CWaypoint stage2 = waypoint("S28B", WaypointType::Stage, 50.0, 14.0, 1);
    stage2.comment = "own comment";
    EXPECT_EQ(importing.StoreImportedWaypoint(stage2), ImportResult::NewWaypoint);
    CGeocache huge = cache("GC9C");
    huge.longDesc.assign(SQLite::Database::kBatchWorkLimit + 1000, 'x');
    huge.longDesc += " hugeword";
    EXPECT_EQ(importing.StoreImportedCache(huge), ImportResult::NewCache);
    CWaypoint late = waypoint("FN9C", WaypointType::Final, 50.0, 14.0, 1);
    late.name = "Finale";
    EXPECT_EQ(importing.StoreImportedWaypoint(late), ImportResult::NewWaypoint);
    EXPECT_EQ(found("grune wande parkoviste road own"), V{"GC8B"}) << "in the index before the waypoint";
    EXPECT_EQ(fulltext::waitingDocuments(db), 1u) << "the newest waits for its waypoints";
    CGeocache after = cache("GCAD");
    after.name = "Afterwards";
    EXPECT_EQ(importing.StoreImportedCache(after), ImportResult::NewCache);
    CGeocache last = cache("GCBE");
    last.name = "Lastone";
    EXPECT_EQ(importing.StoreImportedCache(last), ImportResult::NewCache);
    EXPECT_EQ(found("finale hugeword"), V{"GC9C"});
    EXPECT_EQ(fulltext::waitingDocuments(db), 2u);
    ASSERT_EQ(db.endBatch(), SQLITE_OK) << db.errorText();
    EXPECT_EQ(found("finale afterwards"), V{});
    EXPECT_EQ(found("afterwards"), V{"GCAD"});
    EXPECT_EQ(found("lastone"), V{"GCBE"});
    expectIndexWhole();

    // The next batch starts empty and its caches are found as well.
    ASSERT_EQ(db.beginBatch(), SQLITE_OK);
    CGeocache later = cache("GC7A");
    later.name = "Latecomer";
    EXPECT_EQ(importing.StoreImportedCache(later), ImportResult::NewCache);
    ASSERT_EQ(db.endBatch(), SQLITE_OK);
    EXPECT_EQ(found("latecomer"), V{"GC7A"});
    expectIndexWhole();
}

// A record rolled back to its savepoint gives a waiting document back as it
// was before the record: its waypoints, the copy it replaced, the one it
// deleted. A batch that SQLite ends by itself leaves nothing waiting.
TEST_F(FullTextTest, ARecordRolledBackRestoresTheDocumentsWaiting)
{
    CacheStore importing(db, categories, 0);
    ASSERT_EQ(db.beginBatch(), SQLITE_OK);
    CGeocache waiting = cache("GC4D");
    waiting.longDesc = "first copy";
    EXPECT_EQ(importing.StoreImportedCache(waiting), ImportResult::NewCache);
    CWaypoint kept = waypoint("S14D", WaypointType::Stage, 50.0, 14.0, 1);
    kept.name = "Keptstage";
    EXPECT_EQ(importing.StoreImportedWaypoint(kept), ImportResult::NewWaypoint);

    auto undone = [&](const std::function<void()>& record) {
        ASSERT_EQ(db.Begin(), SQLITE_OK);
        record();
        ASSERT_EQ(db.Rollback(), SQLITE_OK);
    };
    undone([&] {
        CWaypoint lost = waypoint("P14D", WaypointType::Parking, 50.0, 14.0, 1);
        lost.name = "Lostparking";
        EXPECT_EQ(importing.StoreImportedWaypoint(lost), ImportResult::NewWaypoint);
    });
    undone([&] {
        CGeocache replaced = cache("GC4D");
        replaced.longDesc = "second copy";
        EXPECT_EQ(importing.StoreImportedCache(replaced), ImportResult::Replaced);
    });
    undone([&] { EXPECT_TRUE(importing.DeleteCache(*LoadCacheByCode(db, "GC4D"), false)); });
    EXPECT_EQ(fulltext::waitingDocuments(db), 1u);
    // Kept after all that, a waypoint still joins the waiting document.
    CWaypoint later = waypoint("F14D", WaypointType::Final, 50.0, 14.0, 1);
    later.name = "Laterfinal";
    EXPECT_EQ(importing.StoreImportedWaypoint(later), ImportResult::NewWaypoint);
    ASSERT_EQ(db.endBatch(), SQLITE_OK) << db.errorText();
    EXPECT_EQ(found("first keptstage laterfinal"), V{"GC4D"});
    EXPECT_EQ(found("lostparking"), V{});
    EXPECT_EQ(found("second"), V{});
    expectIndexWhole();

    ASSERT_EQ(db.beginBatch(), SQLITE_OK);
    for (const char* code : {"GC5E", "GC5F"}) { // the second's key is not used again
        CGeocache gone = cache(code);
        gone.name = "Vanished";
        EXPECT_EQ(importing.StoreImportedCache(gone), ImportResult::NewCache);
    }
    ASSERT_EQ(db.Exec("ROLLBACK"), SQLITE_OK);
    EXPECT_EQ(db.endBatch(), SQLITE_ABORT);
    ASSERT_EQ(db.beginBatch(), SQLITE_OK);
    CGeocache next = cache("GC6F");
    next.name = "Nextone";
    EXPECT_EQ(importing.StoreImportedCache(next), ImportResult::NewCache);
    EXPECT_EQ(fulltext::waitingDocuments(db), 1u) << "the lost batch's document is gone";
    ASSERT_EQ(db.endBatch(), SQLITE_OK) << db.errorText();
    EXPECT_EQ(found("nextone"), V{"GC6F"});
    EXPECT_EQ(found("vanished"), V{});
    expectIndexWhole();
}

TEST_F(FullTextTest, ADatabaseWithoutTheIndexWorksAndBuildsItOnce)
{
    dropIndex();
    EXPECT_FALSE(fulltext::Ready(db));
    EXPECT_EQ(fulltext::checkAtOpen(db), fulltext::State::Missing);
    EXPECT_TRUE(fulltext::Search(db, "bench", 0, 10).empty());
    // Writers work on as before.
    CGeocache later = cache("GC6F");
    later.name = "Written without the index";
    ASSERT_TRUE(cacheStore.InsertCache(later));
    ASSERT_TRUE(cacheStore.SetComment(later, "a note"));

    // A cancelled build leaves no index at all.
    std::vector<long long> seen;
    EXPECT_FALSE(fulltext::Build(db, [&](long long done, long long total) {
        seen.push_back(done);
        EXPECT_EQ(total, 3);
        return false;
    }));
    EXPECT_EQ(seen, std::vector<long long>{0});
    EXPECT_FALSE(indexTableExists());
    EXPECT_FALSE(fulltext::Ready(db));

    long long last = -1;
    EXPECT_TRUE(fulltext::Build(db, [&](long long done, long long) {
        last = done;
        return true;
    }));
    EXPECT_EQ(last, 3);
    EXPECT_EQ(fulltext::checkAtOpen(db), fulltext::State::Ready);
    EXPECT_EQ(found("written note"), V{"GC6F"});
    EXPECT_EQ(found("zamek"), V{"GC1A"});
    expectIndexWhole();
}

// The previous version's index put the code first and the listing fourth.
// A database that holds it opens with the index no longer kept; built
// again, the index finds the same caches in the same order with the same
// snippets.
TEST_F(FullTextTest, AnIndexOfThePreviousVersionIsBuiltAgainAndFindsTheSame)
{
    addVariedCaches(120);
    ASSERT_EQ(db.Exec("DROP TABLE `cachetext`; CREATE VIRTUAL TABLE `cachetext` USING fts5(`code`, `name`, `owner`, "
                      "`listing`, `hint`, `logs`, `note`, `waypoints`, content='cachetext_source', "
                      "content_rowid='key', tokenize='unicode61 remove_diacritics 2'); INSERT INTO `cachetext` "
                      "(`cachetext`, `rank`) VALUES ('rank', 'bm25(8.0, 6.0, 3.0, 1.0, 2.0, 0.5, 3.0, 1.0)'); "
                      "INSERT INTO `cachetext` (`cachetext`) VALUES ('rebuild'); UPDATE `cachetext_state` SET "
                      "`value` = 1 WHERE `name` = 'version';"),
              SQLITE_OK)
        << db.errorText();
    const char* const queries[] = {"potok", "kamen mlyn", "\"most les\"", "ces*",    "potok -les",
                                   "hint:cesta", "name:most", "zamek",      "stone",   "magnet*"};
    auto results = [&] {
        V out;
        for (const char* query : queries)
            for (const auto& hit : fulltext::Search(db, query, 0, 20))
                out.push_back(std::string(query) + " " + hit.code + " " + hit.snippet);
        return out;
    };
    // What the previous version's search gave: the best by the rank, the
    // snippet of every column.
    V before;
    SQLite::Statement earlier(db, "SELECT `g`.`id`, snippet(`cachetext`, -1, char(2), char(3), '…', 12) FROM "
                                  "`cachetext` JOIN `geocache` AS `g` ON `g`.`key` = `cachetext`.`rowid` WHERE "
                                  "`cachetext` MATCH ? ORDER BY `rank`, `cachetext`.`rowid` LIMIT 20");
    for (const char* query : queries) {
        earlier.Reset();
        earlier.BindText(1, fulltext::MatchExpression(query));
        while (earlier.Next()) {
            std::string snippet = earlier.ColumnText(1);
            snippet.erase(0, snippet.find_first_not_of(' '));
            snippet.erase(snippet.find_last_not_of(' ') + 1);
            before.push_back(std::string(query) + " " + earlier.ColumnText(0) + " " + snippet);
        }
    }
    ASSERT_GT(before.size(), 100u);
    db.Close();
    ASSERT_EQ(db.OpenFile(path), SQLITE_OK);
    EXPECT_EQ(fulltext::checkAtOpen(db), fulltext::State::Missing);
    EXPECT_FALSE(fulltext::Ready(db));
    long long last = -1;
    ASSERT_TRUE(fulltext::Build(db, [&](long long done, long long) {
        last = done;
        return true;
    }));
    EXPECT_EQ(last, 122);
    EXPECT_TRUE(fulltext::Ready(db));
    EXPECT_EQ(results(), before);
    expectIndexWhole();
}

TEST_F(FullTextTest, CachesAnotherProgramWroteMakeTheIndexStale)
{
    // An older version adds a cache behind the index's back; the next open
    // sees it.
    ASSERT_EQ(db.Exec("INSERT INTO `geocache` (`id`, `name`) VALUES ('GC7G', 'Foreign')"), SQLITE_OK);
    EXPECT_TRUE(fulltext::Ready(db)) << "the caches are counted once per open, not at every search";
    db.Close();
    ASSERT_EQ(db.OpenFile(path), SQLITE_OK);
    EXPECT_FALSE(fulltext::Ready(db));
    EXPECT_EQ(fulltext::checkAtOpen(db), fulltext::State::Missing);
    EXPECT_FALSE(fulltext::maintained(db)) << "no longer kept: a delete would not find what it indexed";
    auto foreign = LoadCacheByCode(db, "GC7G");
    ASSERT_TRUE(foreign);
    EXPECT_TRUE(cacheStore.DeleteCache(*foreign, false));
    EXPECT_EQ(fulltext::checkAtOpen(db), fulltext::State::Missing) << "stays missing until built";
    ASSERT_TRUE(fulltext::Build(db, nullptr));
    expectIndexWhole();
}

TEST_F(FullTextTest, TheTemplateHoldsTheIndexBuildMakes)
{
    auto schema = [&] {
        V rows;
        SQLite::Statement q(db, "SELECT `type`, `name`, `sql` FROM `sqlite_master` WHERE `name` LIKE 'cachetext%' "
                                "ORDER BY `name`");
        while (q.Next())
            rows.push_back(q.ColumnText(0) + " " + q.ColumnText(1) + " " + q.ColumnText(2));
        SQLite::Statement config(db, "SELECT * FROM `cachetext_config` ORDER BY `k`");
        while (config.Next())
            rows.push_back(config.ColumnText(0) + "=" + config.ColumnText(1));
        return rows;
    };
    const V templateSchema = schema();
    ASSERT_TRUE(fulltext::Build(db, nullptr));
    EXPECT_EQ(schema(), templateSchema);
    EXPECT_EQ(found("zamek"), V{"GC1A"});
}

} // namespace
} // namespace tw
