// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "app/GpxImport.h"
#include "db/FullText.h"
#include "filter/FilterChoices.h"
#include "filter/QueryBuilder.h"
#include "platform/IniFile.h"
#include "screens/CFilterScr.h"
#include "screens/CacheListScreen.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "tests/screens/ScreenWorld.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>

using namespace tw;
using test::child;
using test::ScreenWorld;

namespace {

constexpr geo::LatLon kHome{50.08, 14.42};
const ScreenWorld::Options kFilterWorld{.home = kHome};

// Caches by "me" are the user's own; the filter starts as saved.
void startAsMe(ScreenWorld& w)
{
    w.global->settings.nickname = "me";
    w.global->list.saveFilter();
}

// A cache km from home, in a direction its code's last character picks.
void add(ScreenWorld& w, const std::string& code, double km, int type, int status = 0, int found = 0,
         const std::string& author = "someone")
{
    CGeocache c = w.cache(code, km, 45.0 * static_cast<double>(code.back()));
    c.author = author;
    c.type = type;
    c.status = status;
    c.found = found;
    w.store(c);
}

QStringList sorted(QStringList codes)
{
    codes.sort();
    return codes;
}

QStringList listedCodes(const CGlobalData& global)
{
    QStringList codes;
    for (const auto& c : global.list.caches)
        codes << QString::fromStdString(c->code);
    return sorted(codes);
}

// Types into a field as a user would, replacing what it held.
void retype(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

CFilterScr* openFilter(ScreenWorld& w, MainWindow& window)
{
    openFilterScreen(window, *w.global);
    return qobject_cast<CFilterScr*>(window.topScreen());
}

void tapOk(MainWindow& window)
{
    child<QToolButton>(&window, "actionButton")->click();
}

// Equal, allowing for the microdegrees and metres a file stores.
bool sameFilter(const CacheFilter& a, CacheFilter b)
{
    if (std::fabs(a.manLat - b.manLat) > 1e-6 || std::fabs(a.manLon - b.manLon) > 1e-6 ||
        std::fabs(a.distanceKm - b.distanceKm) > 1e-3)
        return false;
    b.manLat = a.manLat;
    b.manLon = a.manLon;
    b.distanceKm = a.distanceKm;
    return a == b;
}

} // namespace

class FilterScreensTest : public QObject {
    Q_OBJECT

private slots:
    void afterAnImportOneTapShowsAllCaches()
    {
        ScreenWorld w(kFilterWorld);
        startAsMe(w);
        add(w, "GCOLD1", 1.0, CacheType::Traditional);
        add(w, "GCOLD2", 2.0, CacheType::Multi, 2, 20120101);
        add(w, "GCOLD3", 3.0, CacheType::Event, 0, 0, "me");
        const std::filesystem::path gpx = w.root() / "pq.gpx";
        std::ofstream(gpx) << "<gpx>"
                              "<wpt lat=\"50.09\" lon=\"14.43\"><name>GCNEW1</name><groundspeak:cache>"
                              "<groundspeak:name>New one</groundspeak:name>"
                              "<groundspeak:type>Traditional Cache</groundspeak:type></groundspeak:cache></wpt>"
                              "<wpt lat=\"50.07\" lon=\"14.41\"><name>GCNEW2</name><groundspeak:cache>"
                              "<groundspeak:name>New two</groundspeak:name>"
                              "<groundspeak:type>Unknown Cache</groundspeak:type></groundspeak:cache></wpt>"
                              "</gpx>";
        QVERIFY(importGpx(*w.global, gpx, nullptr, nullptr).complete);
        // What a finished import switches the list to.
        w.global->list.filter = lastImportFilter();
        w.global->list.filter.refPoint = 3;
        w.global->list.saveFilter();

        auto window = w.openWindow();
        CacheListScreen* list = window->cacheList();
        QCOMPARE(listedCodes(*w.global), (QStringList{"GCNEW1", "GCNEW2"}));
        QWidget* bar = list->allCachesBar();
        QVERIFY(bar->isVisible());
        auto* showAll = child<QPushButton>(bar, "showAllCaches");
        QVERIFY(showAll->height() >= 44);
        QTest::mouseClick(showAll, Qt::LeftButton);

        QCOMPARE(listedCodes(*w.global), (QStringList{"GCNEW1", "GCNEW2", "GCOLD1", "GCOLD2", "GCOLD3"}));
        QCOMPARE(list->view()->model()->rowCount(), 5);
        QVERIFY(!bar->isVisible());
        QMenu menu;
        list->fillMenu(menu);
        for (QAction* a : menu.actions())
            QVERIFY(a->text() != showAll->text());
        // Saved for the next start, from the same reference point.
        CacheFilter stored;
        stored.Load(IniFile(w.global->settingsPath()));
        QCOMPARE(scopeOf(stored), FilterScope::AllCaches);
        QCOMPARE(stored.refPoint, 3);
    }

    void choicesGiveTheRowsOfTheQuery()
    {
        ScreenWorld w(kFilterWorld);
        startAsMe(w);
        add(w, "GCA0", 1.0, CacheType::Traditional);
        add(w, "GCA1", 2.0, CacheType::Multi, 1);
        add(w, "GCA2", 3.0, CacheType::Traditional, 2);
        add(w, "GCA3", 4.0, CacheType::Multi, 0, 20110101);
        add(w, "GCA4", 1.5, CacheType::Traditional, 0, 0, "me");
        add(w, "GCA5", 2.5, CacheType::Event);
        add(w, "GCA6", 12.0, CacheType::Traditional);
        add(w, "GCA7", 0.5, CacheType::Multi);
        for (const char* code : {"GCA0", "GCA1", "GCA3", "GCA4", "GCA6"})
            AddTag(w.global->db.cacheDb, code, "colour", "red");
        auto window = w.openWindow();
        CacheFilter expected = w.global->list.filter;

        CFilterScr* screen = openFilter(w, *window);
        QVERIFY(screen);
        QTabWidget* tabs = screen->tabs();
        retype(child<QLineEdit>(screen, "distance"), QStringLiteral("5"));
        child<QCheckBox>(screen, "active")->click();
        child<QCheckBox>(screen, "disabled")->click();
        child<QComboBox>(screen, "found")->setCurrentIndex(2);
        tabs->setCurrentWidget(child<QWidget>(screen, "filterTypes"));
        child<QPushButton>(screen, "noTypes")->click();
        child<QCheckBox>(screen, "cacheType0")->click();
        child<QCheckBox>(screen, "cacheType1")->click();
        tabs->setCurrentWidget(child<QWidget>(screen, "filterTags"));
        auto* categories = child<QListWidget>(screen, "categories");
        categories->setCurrentItem(categories->findItems(QStringLiteral("colour"), Qt::MatchExactly).first());
        QVERIFY(child<QRadioButton>(screen, "tagMode1")->isChecked());
        tapOk(*window);

        expected.distanceKm = 5;
        expected.active = expected.disabled = 1;
        expected.found = 2;
        expected.cacheTypes = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
        expected.useTag = 1;
        expected.tagCategory = "colour";
        QVERIFY(w.global->list.filter == expected);
        QTRY_COMPARE(window->screenDepth(), 1);

        QueryInputs inputs;
        inputs.refLat = kHome.lat;
        inputs.refLon = kHome.lon;
        inputs.nickname = "me";
        inputs.maxRows = w.global->settings.maxRows;
        inputs.tagCategoryKey = GetCategoryKey(w.global->db.cacheDb, "colour", false);
        const CacheQuery query = BuildCacheQuery(expected, inputs);
        SQLite::Statement rows(w.global->db.cacheDb, query.sql);
        query.bind(rows);
        QStringList fromQuery;
        while (rows.Next())
            fromQuery << QString::fromStdString(rows.ColumnText(1));
        QCOMPARE(sorted(fromQuery), (QStringList{"GCA0", "GCA1", "GCA3"}));
        QCOMPARE(listedCodes(*w.global), sorted(fromQuery));
        QCOMPARE(window->cacheList()->view()->model()->rowCount(), 3);
        CacheFilter stored;
        stored.Load(IniFile(w.global->settingsPath()));
        QVERIFY(sameFilter(expected, stored));
    }

    void savedFilterLoadsBackIdentically()
    {
        ScreenWorld w(kFilterWorld);
        startAsMe(w);
        add(w, "GCB0", 1.0, CacheType::Event);
        add(w, "GCB1", 1.0, CacheType::Traditional);
        auto window = w.openWindow();
        CFilterScr* screen = openFilter(w, *window);
        QTabWidget* tabs = screen->tabs();
        retype(child<QLineEdit>(screen, "name"), QStringLiteral("B"));
        retype(child<QLineEdit>(screen, "distance"), QStringLiteral("2.5"));
        child<QCheckBox>(screen, "mustHaveFinal")->click();
        retype(child<QLineEdit>(screen, "textQuery"), QStringLiteral("magnetic plaque"));
        child<QComboBox>(screen, "textFields")->setCurrentIndex(3);
        tabs->setCurrentWidget(child<QWidget>(screen, "filterTypes"));
        child<QCheckBox>(screen, "cacheType7")->click();
        child<QCheckBox>(screen, "wptType3")->click();
        tabs->setCurrentWidget(child<QWidget>(screen, "filterPosition"));
        QApplication::clipboard()->setText(QStringLiteral("S 33°52.050' E 151°12.420'"));
        auto* paste = child<QPushButton>(screen, "paste");
        QTRY_VERIFY(paste->isEnabled());
        paste->click();
        QVERIFY(child<QRadioButton>(screen, "refPoint2")->isChecked());
        const std::optional<CacheFilter> edited = screen->editedFilter();
        QVERIFY(edited);
        QVERIFY(std::fabs(edited->manLat + 33.8675) < 1e-9);

        tabs->setCurrentWidget(child<QWidget>(screen, "filterSaved"));
        QTimer answer;
        answer.setInterval(20);
        connect(&answer, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget())) {
                dialog->setTextValue(QStringLiteral("my filter #2"));
                dialog->accept();
            }
        });
        answer.start();
        child<QPushButton>(screen, "saveFilterAs")->click();
        answer.stop();
        auto* saved = child<QListWidget>(screen, "savedFilters");
        QCOMPARE(saved->currentItem()->text(), QStringLiteral("my_filter__2"));

        CacheFilter fromFile;
        QVERIFY(fromFile.LoadFromFile(w.global->list.filterFolder(), "my_filter__2"));
        fromFile.fileName = "my_filter__2";
        CacheFilter expected = *edited;
        expected.fileName = "my_filter__2";
        QVERIFY(sameFilter(expected, fromFile));
        QCOMPARE(fromFile.textQuery, std::string("magnetic plaque"));
        QCOMPARE(fromFile.textFields, unsigned{TextField::Logs});

        // Later, from another filter: Load makes the saved one current.
        window->popScreen();
        w.global->list.filter.name = "other";
        w.global->list.filter.cacheTypes.fill(1);
        screen = openFilter(w, *window);
        screen->tabs()->setCurrentWidget(child<QWidget>(screen, "filterSaved"));
        saved = child<QListWidget>(screen, "savedFilters");
        auto* load = child<QPushButton>(screen, "loadFilter");
        QVERIFY(!load->isEnabled());
        saved->setCurrentRow(0);
        QVERIFY(load->isEnabled());
        load->click();
        QVERIFY(sameFilter(expected, w.global->list.filter));
        QTRY_COMPARE(window->screenDepth(), 1);
        // The loaded filter's words are in the list's search field too.
        QCOMPARE(window->cacheList()->searchField()->text(), QStringLiteral("magnetic plaque"));
        CacheFilter stored;
        stored.Load(IniFile(w.global->settingsPath()));
        stored.fileName = expected.fileName;
        QVERIFY(sameFilter(expected, stored));

        // Delete asks first.
        screen = openFilter(w, *window);
        saved = child<QListWidget>(screen, "savedFilters");
        saved->setCurrentRow(0);
        w.prompter.queueAnswer(false);
        child<QPushButton>(screen, "deleteFilter")->click();
        QCOMPARE(saved->count(), 1);
        w.prompter.queueAnswer(true);
        child<QPushButton>(screen, "deleteFilter")->click();
        QCOMPARE(saved->count(), 0);
        QVERIFY(listFilterFiles(w.global->list.filterFolder()).empty());
        QCOMPARE(w.prompter.questions().size(), std::size_t{2});
    }

    void backChangesNothing()
    {
        ScreenWorld w(kFilterWorld);
        startAsMe(w);
        add(w, "GCC0", 1.0, CacheType::Traditional);
        add(w, "GCC1", 2.0, CacheType::Webcam);
        auto window = w.openWindow();
        const CacheFilter before = w.global->list.filter;
        const int maxRows = w.global->settings.maxRows;
        const QStringList listed = listedCodes(*w.global);
        QFile ini(QString::fromStdString(w.global->settingsPath().string()));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray stored = ini.readAll();
        ini.close();

        CFilterScr* screen = openFilter(w, *window);
        retype(child<QLineEdit>(screen, "code"), QStringLiteral("C0"));
        retype(child<QLineEdit>(screen, "maxRows"), QStringLiteral("5"));
        child<QPushButton>(screen, "noTypes")->click();
        child<QRadioButton>(screen, "refPoint0")->click();
        child<QToolButton>(window.get(), "backButton")->click();

        QTRY_COMPARE(window->screenDepth(), 1);
        QVERIFY(w.global->list.filter == before);
        QCOMPARE(w.global->settings.maxRows, maxRows);
        QCOMPARE(listedCodes(*w.global), listed);
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), stored);
    }
};

QTEST_MAIN(FilterScreensTest)
#include "FilterScreensTest.moc"
