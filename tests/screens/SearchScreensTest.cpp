// SPDX-License-Identifier: GPL-3.0-or-later
// Searching the caches' texts from the list: typing narrows it, the newest
// query wins, the listing marks what was found, and the index is offered
// and built once.
#include "app/CGlobalData.h"
#include "app/CacheList.h"
#include "app/ListSearch.h"
#include "db/FullText.h"
#include "filter/CacheFilter.h"
#include "platform/IniFile.h"
#include "screens/CProgressDlg.h"
#include "screens/CacheListModel.h"
#include "screens/CacheListScreen.h"
#include "screens/CacheScreen.h"
#include "screens/ListingBrowser.h"
#include "screens/MainWindow.h"
#include "tests/screens/ScreenWorld.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace tw;
using test::child;
using test::ScreenWorld;

namespace {

const ScreenWorld::Options kSearchWorld{.home = {50.08, 14.42}, .everyCache = true};

// Three caches whose texts differ: the plaque is in one listing and in
// another's log, the mill only in a name.
void addCaches(ScreenWorld& w)
{
    CGeocache bench = w.cache("GCBENCH", 0.5, 0.0);
    bench.name = "Park bench";
    bench.longDesc = "<p>Sit on the bench with the <b>magnetic plaque</b> by the Brücke.</p>";
    bench.longDescHtml = 1;
    bench.hint = "under the seat";
    QVERIFY(w.store(bench));

    CGeocache log = w.cache("GCLOGS", 1.0, 90.0);
    log.name = "River walk";
    log.longDesc = "A walk along the river.";
    auto found = std::make_unique<CGeoLog>();
    found->date = 20240610;
    found->type = LogType::FoundIt;
    found->finder = "kapr";
    found->text = "The plaque had fallen off.";
    log.logs.push_back(std::move(found));
    QVERIFY(w.store(log));

    CGeocache mill = w.cache("GCMILL", 2.0, 180.0);
    mill.name = "Old mill";
    mill.longDesc = "Water wheel and stones.";
    QVERIFY(w.store(mill));
}

// The template's database keeps its index as caches are stored.
void buildIndex(ScreenWorld& w)
{
    QVERIFY(fulltext::Ready(w.global->db.cacheDb));
}

QStringList listedCodes(const CGlobalData& global)
{
    QStringList codes;
    for (const auto& c : global.list.caches)
        codes << QString::fromStdString(c->code);
    return codes;
}

QStringList sortedCodes(const CGlobalData& global)
{
    QStringList codes = listedCodes(global);
    codes.sort();
    return codes;
}

CacheFilter storedFilter(ScreenWorld& w)
{
    CacheFilter stored;
    stored.Load(IniFile(w.global->settingsPath()));
    return stored;
}

} // namespace

class SearchScreensTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!fulltext::Supported())
            QSKIP("This SQLite has no FTS5: the search field says so and nothing else happens.");
    }

    void typingNarrowsTheListToTheMatchingCaches()
    {
        ScreenWorld w(kSearchWorld);
        addCaches(w);
        buildIndex(w);
        auto window = w.openWindow();
        CacheListScreen* list = window->cacheList();
        QCOMPARE(sortedCodes(*w.global), (QStringList{"GCBENCH", "GCLOGS", "GCMILL"}));

        // Ctrl+F puts the cursor into the field.
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        QLineEdit* field = list->searchField();
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClicks(field, QStringLiteral("plaque"));
        QTRY_COMPARE(sortedCodes(*w.global), (QStringList{"GCBENCH", "GCLOGS"}));
        QCOMPARE(w.global->list.filter.textQuery, std::string("plaque"));
        // Every row shows the piece that matched, the word marked.
        const QAbstractItemModel* model = list->view()->model();
        QCOMPARE(model->rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            const QString snippet = model->index(row, 0).data(CacheListModel::SnippetRole).toString();
            QVERIFY2(snippet.contains(QRegularExpression(QStringLiteral("\\x02plaque\\x03"),
                                                         QRegularExpression::CaseInsensitiveOption)),
                     qPrintable(snippet));
        }
        // The query is kept with the filter once the user is done typing.
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(storedFilter(w).textQuery, std::string("plaque"));

        // Best matches first, remembered for the next run.
        auto* relevance = list->sortMenu()->findChild<QAction*>(QStringLiteral("searchByRelevance"));
        QVERIFY(relevance);
        relevance->trigger();
        QVERIFY(w.global->list.searchByRelevance());
        QTRY_COMPARE(listedCodes(*w.global).size(), 2);

        // A word nothing has: an empty list that says so.
        QTest::keyClicks(field, QStringLiteral(" wheel"));
        QTRY_VERIFY(w.global->list.caches.empty());
        QTRY_VERIFY(child<QWidget>(list, "searchInfoBar")->isVisible());

        // Esc clears the field, the whole list comes back, the screen stays.
        QTest::keyClick(field, Qt::Key_Escape);
        QVERIFY(field->text().isEmpty());
        QTRY_COMPARE(sortedCodes(*w.global), (QStringList{"GCBENCH", "GCLOGS", "GCMILL"}));
        QCOMPARE(window->screenDepth(), 1);
        QVERIFY(!w.global->list.searched);
        QVERIFY(model->index(0, 0).data(CacheListModel::SnippetRole).isNull());
        QCOMPARE(storedFilter(w).textQuery, std::string());

        window.reset();
        w.restart();
        QVERIFY(w.global->list.searchByRelevance());
    }

    void newestQueryWinsWhenAnOlderOneFinishesLater()
    {
        ScreenWorld w(kSearchWorld);
        addCaches(w);
        buildIndex(w);
        auto window = w.openWindow();
        CacheListScreen* list = window->cacheList();
        ListSearch& search = list->listSearch();

        // The first query's result is held on the worker until the second
        // has been asked.
        std::atomic<bool> holding{false};
        std::atomic<bool> release{false};
        const std::uint64_t first = search.newest() + 1;
        search.setAfterRead([&](std::uint64_t number) {
            if (number != first)
                return;
            holding = true;
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!release && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
        });
        QSignalSpy shown(list, &CacheListScreen::searchShown);
        list->searchField()->setText(QStringLiteral("mill"));
        QTRY_VERIFY(holding);
        list->searchField()->setText(QStringLiteral("plaque"));
        release = true;

        QTRY_COMPARE(sortedCodes(*w.global), (QStringList{"GCBENCH", "GCLOGS"}));
        // The older result never reached the list, not even for a moment.
        QTest::qWait(100);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(sortedCodes(*w.global), (QStringList{"GCBENCH", "GCLOGS"}));
        search.setAfterRead({});
    }

    void listingMarksTheFoundWordsWithDiacritics()
    {
        ScreenWorld w(kSearchWorld);
        addCaches(w);
        CGeocache bridge = w.cache("GCBRIDGE", 0.2, 10.0);
        bridge.name = "Brücke";
        bridge.longDesc = "<p title=\"Brücke\">Cross the Br&uuml;cke, then <a name=\"brücke\">here</a> "
                          "look under the BRÜCKE sign; Brückenweg is elsewhere.</p>";
        bridge.longDescHtml = 1;
        QVERIFY(w.store(bridge));
        buildIndex(w);
        auto window = w.openWindow();
        CacheListScreen* list = window->cacheList();

        // The listing as it looks without a search.
        CacheScreen* plain = openCacheScreen(*window, "GCBRIDGE");
        QVERIFY(plain);
        const QString unmarked = plain->descriptionView()->page();
        window->popScreen();

        QTest::keyClicks(list->searchField(), QStringLiteral("Brucke"));
        QTRY_COMPARE(sortedCodes(*w.global), (QStringList{"GCBENCH", "GCBRIDGE"}));
        const auto row = listedCodes(*w.global).indexOf(QStringLiteral("GCBRIDGE"));
        list->view()->clicked(list->view()->model()->index(static_cast<int>(row), 0));
        auto* screen = qobject_cast<CacheScreen*>(window->topScreen());
        QVERIFY(screen);
        const QString page = screen->descriptionView()->page();

        const QRegularExpression mark(QStringLiteral("<span style=\"background-color:[^\"]*\">([^<]*)</span>"));
        QStringList marked;
        for (const auto& m : mark.globalMatch(page))
            marked << m.captured(1);
        // The name in the overview, the word written with a reference and in
        // capitals; not the longer word, not the attributes.
        QCOMPARE(marked, (QStringList{"Brücke", "Br&uuml;cke", "BRÜCKE"}));
        QVERIFY(page.contains(QStringLiteral("<p title=\"Brücke\">")));
        QVERIFY(page.contains(QStringLiteral("<a name=\"brücke\">")));
        // Nothing but the marks was added.
        QString unwrapped = page;
        unwrapped.replace(mark, QStringLiteral("\\1"));
        QCOMPARE(unwrapped, unmarked);
    }

    void buildOfferBuildsTheIndexAndACancelLeavesTheDatabaseWorking()
    {
        ScreenWorld w(kSearchWorld);
        addCaches(w);
        // A database from before the index, or written by another program.
        SQLite::Database& db = w.global->db.cacheDb;
        QCOMPARE(db.Exec("DROP TABLE `cachetext_state`"), SQLITE_OK);
        QVERIFY(!fulltext::Ready(db));
        auto window = w.openWindow();
        CacheListScreen* list = window->cacheList();

        // The first search asks; the user agrees, then cancels the build.
        w.prompter.queueAnswer(true);
        test::onNextDialog<QDialog>([](QDialog* dialog) { child<QPushButton>(dialog, "button")->click(); });
        QTest::keyClicks(list->searchField(), QStringLiteral("plaque"));
        QTRY_COMPARE(w.prompter.questions().size(), std::size_t{1});
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QVERIFY(!fulltext::Ready(db));
        // The list is as it was and still reads; the bar offers the build.
        QVERIFY(child<QWidget>(list, "searchInfoBar")->isVisible());
        QVERIFY(child<QPushButton>(list, "buildSearchIndex")->isVisible());
        list->reload();
        QCOMPARE(sortedCodes(*w.global), (QStringList{"GCBENCH", "GCLOGS", "GCMILL"}));
        // Typing on does not ask again.
        QTest::keyClicks(list->searchField(), QStringLiteral("s"));
        QTest::qWait(50);
        QCOMPARE(w.prompter.questions().size(), std::size_t{1});

        // The bar's button builds it without asking; OK confirms the end.
        test::onNextDialog<QDialog>([](QDialog* dialog) {
            auto* button = child<QPushButton>(dialog, "button");
            QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(dialog, "completion")->isVisible(), 10000);
            button->click();
        });
        list->searchField()->setText(QStringLiteral("plaque"));
        child<QPushButton>(list, "buildSearchIndex")->click();
        QVERIFY(fulltext::Ready(db));
        QCOMPARE(w.prompter.questions().size(), std::size_t{1});
        QTRY_COMPARE(sortedCodes(*w.global), (QStringList{"GCBENCH", "GCLOGS"}));
        QVERIFY(!child<QWidget>(list, "searchInfoBar")->isVisible());
    }
};

QTEST_MAIN(SearchScreensTest)
#include "SearchScreensTest.moc"
