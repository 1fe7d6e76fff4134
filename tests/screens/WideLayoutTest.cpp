// SPDX-License-Identifier: GPL-3.0-or-later
// The window as wide as a desk's: list, map and listing side by side.
#include "app/CacheActions.h"
#include "geo/GeoMath.h"
#include "maps/MapComposer.h"
#include "screens/CMapScreen.h"
#include "screens/CacheItemDelegate.h"
#include "screens/CacheListModel.h"
#include "screens/CacheListScreen.h"
#include "screens/CacheScreen.h"
#include "screens/MainWindow.h"
#include "screens/MapOverlays.h"
#include "screens/Screen.h"
#include "tests/screens/ScreenWorld.h"

#include <QLabel>

#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>

using namespace tw;
using namespace tw::test;

namespace {

constexpr QSize kDesk{1280, 800};
// The narrowest window laid out in panes: a small laptop's.
constexpr QSize kLaptop{1024, 768};
constexpr QSize kHandheld{480, 800};
// Every cache listed; the window's options are read at every start, as the
// program does.
const ScreenWorld::Options kDeskWorld{.settingsGroups = SettingsGroup::User | SettingsGroup::General,
                                      .everyCache = true};

// Forty caches around home, nearest first ("GC100" at 0.3 km); the map
// source has its tiles stored there and asks no server for more.
void fillWorld(ScreenWorld& w)
{
    for (int i = 0; i < 40; ++i)
        w.addCache("GC" + std::to_string(100 + i), 0.3 + 0.05 * i, i * 37.0);
    w.mapFromSimulator(9, "/tiles/{z}/{x}/{y}.png");
    w.global->settings.dnlOnline = 0;
    w.global->netClient.setDownloadsOn(false);
    w.makeTiles();
    QVERIFY(w.global->list.readCaches());
}

std::unique_ptr<MainWindow> openAt(ScreenWorld& w, QSize size)
{
    auto window = w.openWindow(size);
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        qFatal("the window did not appear");
    return window;
}

std::string currentCode(const ScreenWorld& w)
{
    const CGeocache* cache = w.global->list.currentCache();
    return cache ? cache->code : std::string();
}

const CGeocache& listed(const ScreenWorld& w, const std::string& code)
{
    for (const auto& cache : w.global->list.caches)
        if (cache->code == code)
            return *cache;
    qFatal("%s is not listed", code.c_str());
}

int rowOf(const ScreenWorld& w, const std::string& code)
{
    const auto& caches = w.global->list.caches;
    for (std::size_t i = 0; i < caches.size(); ++i)
        if (caches[i]->code == code)
            return static_cast<int>(i);
    return -1;
}

// The listing in the right pane, null when it shows none.
CacheScreen* listingShown(const MainWindow& window)
{
    return qobject_cast<CacheScreen*>(window.topScreen());
}

// Draws the map until the list has followed its visible area.
void settleMap(CMapScreen& map)
{
    for (int i = 0; i < 3; ++i) {
        map.renderFrame();
        QTest::qWait(20);
    }
}

// Presses the splitter handle, moves it by dx and lets go, as a mouse does.
void dragHandle(QSplitterHandle* handle, int dx)
{
    const QPoint from = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    const QPoint to = from + QPoint(dx, 0);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(handle->mapToGlobal(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(handle, &move);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
}

// The cursor is somewhere the keyboard can work: a shown, enabled widget of
// the window.
bool cursorUsable(const MainWindow& window)
{
    QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == &window && focus->isVisible() && focus->isEnabled();
}

// Chooses the list's row as a tap does.
void tapRow(MainWindow& window, int row)
{
    QListView* view = window.cacheList()->view();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, 0)).center());
}

double metresBetween(geo::LatLon a, geo::LatLon b)
{
    return geo::distanceKm(a, b) * 1000.0;
}

} // namespace

class WideLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void listMapAndListingFollowEachOther()
    {
        ScreenWorld w(kDeskWorld);
        fillWorld(w);
        auto window = openAt(w, kDesk);
        QVERIFY(window->isWide());
        QListView* view = window->cacheList()->view();
        CMapScreen* map = window->paneMap();
        QVERIFY(map && map->isVisible() && view->isVisible());
        // Nothing chosen yet: the right pane says where a listing comes from.
        QCOMPARE(window->screenDepth(), 1);
        QVERIFY(child<QWidget>(window.get(), "sideEmpty")->isVisible());
        QVERIFY(!child<QPushButton>(window.get(), "sideOpenListing")->isVisible());

        // A tap on a row: the cache is current, its listing opens beside the
        // list and the map moves to it.
        const std::string tapped = w.global->list.caches[5]->code;
        const QRect rowRect = view->visualRect(view->model()->index(5, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rowRect.center());
        QCOMPARE(currentCode(w), tapped);
        QVERIFY(listingShown(*window) && listingShown(*window)->code() == tapped);
        QVERIFY(listingShown(*window)->isVisible());
        const CGeocache& chosen = listed(w, tapped);
        QVERIFY(metresBetween(map->mapCentre(), {chosen.lat, chosen.lon}) < 1.0);
        // The list was not read again from the map's new centre: the row stays.
        QCOMPARE(rowOf(w, tapped), 5);
        QCOMPARE(window->cacheList()->currentCode(), tapped);

        // A tap on another cache on the map: the list's cursor and the listing follow.
        const std::string other = w.global->list.caches[0]->code;
        const geo::LatLon near{listed(w, other).lat, listed(w, other).lon};
        map->centreOn(near);
        map->zoomIn();
        map->zoomIn();
        settleMap(*map);
        const std::optional<QPoint> at = map->screenPointOf(near);
        QVERIFY(at);
        const maps::Rect icon = maps::recordIconRect({at->x(), at->y()}, true);
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(icon.x + icon.width / 2, icon.y + icon.height / 2));
        QTRY_COMPARE(currentCode(w), other);
        QCOMPARE(window->cacheList()->currentCode(), other);
        QVERIFY(listingShown(*window) && listingShown(*window)->code() == other);
        QCOMPARE(window->screenDepth(), 2); // the listing replaced the first one

        // The keyboard: F6 walks list → map → listing, arrows move in the
        // list and the listing follows, Enter goes on to the listing.
        view->setFocus();
        QTRY_VERIFY(view->hasFocus());
        QCOMPARE(window->focusedPane(), int(MainWindow::ListPane));
        QTest::keyClick(window.get(), Qt::Key_F6);
        QCOMPARE(window->focusedPane(), int(MainWindow::MapPane));
        QTest::keyClick(window.get(), Qt::Key_F6);
        QCOMPARE(window->focusedPane(), int(MainWindow::ListingPane));
        QTest::keyClick(window.get(), Qt::Key_F6, Qt::ShiftModifier);
        QTest::keyClick(window.get(), Qt::Key_F6, Qt::ShiftModifier);
        QCOMPARE(window->focusedPane(), int(MainWindow::ListPane));
        const int row = rowOf(w, other);
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Down);
        const std::string below = w.global->list.caches[static_cast<std::size_t>(row + 2)]->code;
        QTRY_COMPARE(currentCode(w), below);
        QVERIFY(listingShown(*window) && listingShown(*window)->code() == below);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(window->focusedPane(), int(MainWindow::ListingPane));
        // Ctrl+F from anywhere goes to the list's search field.
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(window->cacheList()->searchField()->hasFocus());

        // The filter opens in the right pane; Back returns to the listing.
        QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(window->screenDepth(), 3);
        QCOMPARE(window->topScreen()->parentWidget(), child<QWidget>(window.get(), "sidePane"));
        QVERIFY(window->popScreen());
        QVERIFY(listingShown(*window) && listingShown(*window)->code() == below);
    }

    void crossingTheWidthKeepsTheCacheAndTheTypedNote()
    {
        ScreenWorld w(kDeskWorld);
        fillWorld(w);
        auto window = openAt(w, kHandheld);
        QVERIFY(!window->isWide());
        QListView* view = window->cacheList()->view();
        // Narrow, the user scrolls the list, opens a cache and types a note
        // without saving it.
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
        const int scrolled = view->verticalScrollBar()->value();
        QVERIFY(scrolled > 0);
        const std::string code = w.global->list.caches[3]->code;
        CacheScreen* screen = openCacheScreen(*window, code);
        QVERIFY(screen);
        QPlainTextEdit* note = screen->noteEdit();
        note->setFocus();
        QTest::keyClicks(note, "Under the third bench");

        window->resize(kDesk);
        QTRY_VERIFY(window->isWide());
        // The same listing, with the same text and the cursor in it, beside
        // the list (scrolled as it was) and the map.
        QCOMPARE(window->topScreen(), screen);
        QVERIFY(screen->isVisible() && note->isVisible());
        QCOMPARE(note->toPlainText(), QStringLiteral("Under the third bench"));
        QVERIFY(note->hasFocus());
        QCOMPARE(view->verticalScrollBar()->value(), scrolled);
        QCOMPARE(currentCode(w), code);
        QCOMPARE(window->cacheList()->currentCode(), code);
        QVERIFY(window->paneMap() && window->paneMap()->isVisible());
        QCOMPARE(window->screenDepth(), 2);
        QTest::keyClicks(note, ", left side");

        window->resize(kHandheld);
        QTRY_VERIFY(!window->isWide());
        QCOMPARE(window->currentScreen(), screen);
        QCOMPARE(window->screenDepth(), 2);
        QVERIFY(!window->paneMap());
        QCOMPARE(view->verticalScrollBar()->value(), scrolled);
        // Nothing was stored on the way; Back stores the note as it was typed.
        QCOMPARE(findCache(*w.global, code)->comment, std::string());
        QVERIFY(window->popScreen());
        QCOMPARE(findCache(*w.global, code)->comment, std::string("Under the third bench, left side"));
        QCOMPARE(window->currentScreen(), window->cacheList());
    }

    void paneSizesAndPanesShownSurviveARestart()
    {
        ScreenWorld w(kDeskWorld);
        fillWorld(w);
        QList<int> sizes;
        {
            auto window = openAt(w, kDesk);
            QSplitter* panes = window->panes();
            // The user drags the handle between the list and the map 120 px to the right.
            const QList<int> before = panes->sizes();
            dragHandle(panes->handle(1), 120);
            sizes = panes->sizes();
            QCOMPARE(sizes[0], before[0] + 120);
            window->setPaneShown(MainWindow::MapPane, false);
            QVERIFY(!window->paneShown(MainWindow::MapPane));
            // The last pane shown stays.
            window->setPaneShown(MainWindow::ListPane, false);
            window->setPaneShown(MainWindow::ListingPane, false);
            QVERIFY(window->paneShown(MainWindow::ListingPane));
            window->setPaneShown(MainWindow::ListPane, true);
        }
        w.restart();
        QVERIFY(w.global->list.readCaches());
        auto window = openAt(w, kDesk);
        QVERIFY(window->isWide());
        QVERIFY(window->paneShown(MainWindow::ListPane));
        QVERIFY(!window->paneShown(MainWindow::MapPane));
        QVERIFY(window->paneShown(MainWindow::ListingPane));
        // The map comes back at the width it had.
        window->setPaneShown(MainWindow::MapPane, true);
        QTRY_COMPARE(window->panes()->sizes(), sizes);
        // Below the threshold the panes are gone and the stack is back.
        window->resize(kHandheld);
        QTRY_VERIFY(!window->isWide());
        QVERIFY(!window->panes()->isVisible());
        QCOMPARE(window->currentScreen(), window->cacheList());
    }
    void atALaptopsWidthRowsAndMapKeysKeepClear()
    {
        ScreenWorld w(kDeskWorld);
        // Codes and ratings as long as they come.
        for (int i = 0; i < 6; ++i) {
            CGeocache cache = w.cache("GC7TWK" + std::to_string(i), 0.2 + 0.1 * i, 60.0 * i);
            cache.name = "Vltava Weir and the Mill by the Old Footbridge";
            cache.difficulty = 25;
            cache.terrain = 45;
            QVERIFY(w.store(cache));
        }
        fillWorld(w);
        auto window = openAt(w, kLaptop);
        QVERIFY(window->isWide());
        tapRow(*window, 0);
        QVERIFY(listingShown(*window));

        // Every row shows its code and both ratings, the terrain too.
        QListView* view = window->cacheList()->view();
        auto* delegate = qobject_cast<CacheItemDelegate*>(view->itemDelegate());
        QVERIFY(delegate);
        int longRows = 0;
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QModelIndex index = view->model()->index(row, 0);
            const QString code = index.data(CacheListModel::CodeRole).toString();
            if (!code.startsWith(QStringLiteral("GC7TWK")))
                continue;
            ++longRows;
            QStyleOptionViewItem option;
            option.initFrom(view->viewport());
            option.rect = view->visualRect(index);
            const QString shown = delegate->secondLineShown(option, index);
            // Roomy ("D 2.5 / T 4.5") or closed up ("D2.5/T4.5"), never cut.
            QVERIFY2(shown.startsWith(code) &&
                         (shown.endsWith(QStringLiteral("T 4.5")) || shown.endsWith(QStringLiteral("T4.5"))),
                     qPrintable(shown));
        }
        QCOMPARE(longRows, 6);

        // The map's scale bar keeps clear of its zoom keys at every zoom.
        CMapScreen* map = window->paneMap();
        QVERIFY(map && map->provider());
        const MapView mapView{map->size(), map->palette(), w.global->scaleFactor, touchPx(*w.global), MapInk{}};
        // Its keys are still a finger's size but leave most of the narrow map
        // to its caches.
        for (const auto key : {CMapScreen::Button::NextMapType, CMapScreen::Button::MovingMap}) {
            const QRect r = map->buttonRect(key);
            QVERIFY(r.width() >= touchPx(*w.global) && r.height() >= touchPx(*w.global));
            QVERIFY2(map->width() - r.left() <= map->width() / 4, qPrintable(QString::number(map->width())));
        }
        for (int z = map->provider()->minZoom(); z <= map->provider()->maxZoom(); ++z) {
            map->provider()->setZoom(z);
            const QRect bar = scaleBarRect(mapView, map->provider()->scale(), map->font());
            if (bar.isEmpty())
                continue;
            QVERIFY(bar.left() >= 0);
            for (const auto key : {CMapScreen::Button::ZoomOut, CMapScreen::Button::ZoomIn})
                QVERIFY2(!bar.intersects(map->buttonRect(key).adjusted(-8, -8, 8, 8)), qPrintable(QString::number(z)));
        }
    }

    void theKeyboardWalksThePanesAndComesBack()
    {
        ScreenWorld w(kDeskWorld);
        fillWorld(w);
        auto window = openAt(w, kLaptop);
        QListView* view = window->cacheList()->view();
        const std::string chosen = w.global->list.caches[2]->code;
        tapRow(*window, 2);
        QVERIFY(listingShown(*window));

        // A screen with only a text in the right pane still takes the
        // cursor: F6 goes on from it instead of sticking.
        auto* text = new Screen(*w.global);
        (new QVBoxLayout(text))->addWidget(new QLabel(QStringLiteral("Nothing to type here"), text));
        window->pushScreen(text);
        view->setFocus();
        QTest::keyClick(window.get(), Qt::Key_F6);
        QCOMPARE(window->focusedPane(), int(MainWindow::MapPane));
        QTest::keyClick(window.get(), Qt::Key_F6);
        QCOMPARE(window->focusedPane(), int(MainWindow::ListingPane));
        QTest::keyClick(window.get(), Qt::Key_F6);
        QCOMPARE(window->focusedPane(), int(MainWindow::ListPane));
        QTest::keyClick(window.get(), Qt::Key_F6, Qt::ShiftModifier);
        QCOMPARE(window->focusedPane(), int(MainWindow::ListingPane));

        // Esc there is Back: the cursor lands in the listing below, not
        // anywhere Qt picks.
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QCOMPARE(window->screenDepth(), 2);
        QVERIFY(listingShown(*window) && listingShown(*window)->code() == chosen);
        QCOMPARE(window->focusedPane(), int(MainWindow::ListingPane));
        QVERIFY(cursorUsable(*window));

        // Esc in the list or on the map leaves the listing open; from the
        // search field it goes back to the rows.
        window->cacheList()->searchField()->setFocus();
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QVERIFY(view->hasFocus());
        QTest::keyClick(window.get(), Qt::Key_Escape);
        window->paneMap()->setFocus();
        QTest::keyClick(window.get(), Qt::Key_Escape);
        QCOMPARE(window->screenDepth(), 2);
        QCOMPARE(currentCode(w), chosen);

        // Back with the listing's cursor: the list's rows take it, the cache
        // stays the chosen one.
        window->focusPane(MainWindow::ListingPane);
        QVERIFY(window->popScreen());
        QCOMPARE(window->screenDepth(), 1);
        QVERIFY(view->hasFocus());
        QCOMPARE(window->cacheList()->currentCode(), chosen);
        // The right pane names the cache the list still marks, and its key
        // brings the listing back.
        auto* note = child<QLabel>(window.get(), "sideNote");
        QVERIFY(note->isVisible());
        QVERIFY2(note->text().contains(QString::fromStdString(chosen)), qPrintable(note->text()));
        auto* again = child<QPushButton>(window.get(), "sideOpenListing");
        QVERIFY(again->isVisible());
        QTest::mouseClick(again, Qt::LeftButton);
        QVERIFY(listingShown(*window) && listingShown(*window)->code() == chosen);
        QCOMPARE(window->focusedPane(), int(MainWindow::ListingPane));
        QVERIFY(window->popScreen());

        // Enter on the map goes on to the listing of the current cache.
        window->paneMap()->setFocus();
        QTest::keyClick(window->paneMap(), Qt::Key_Return);
        QVERIFY(listingShown(*window) && listingShown(*window)->code() == chosen);
        QCOMPARE(window->focusedPane(), int(MainWindow::ListingPane));
        QVERIFY(cursorUsable(*window));
    }

    void crossingTheWidthLeavesTheCursorInAScreenShown()
    {
        ScreenWorld w(kDeskWorld);
        fillWorld(w);
        auto window = openAt(w, kLaptop);
        tapRow(*window, 4);
        const std::string chosen = currentCode(w);
        QVERIFY(listingShown(*window));
        // From each pane in turn the window narrows and widens again.
        for (const MainWindow::Pane pane : {MainWindow::ListPane, MainWindow::MapPane, MainWindow::ListingPane}) {
            window->focusPane(pane);
            QCOMPARE(window->focusedPane(), int(pane));
            window->resize(kHandheld);
            QTRY_VERIFY(!window->isWide());
            // The list and the map pane's own map are out of sight or gone:
            // the cursor is in the listing in front.
            QVERIFY2(cursorUsable(*window), qPrintable(QString::number(pane)));
            QVERIFY(window->currentScreen()->isAncestorOf(QApplication::focusWidget()));
            QCOMPARE(currentCode(w), chosen);
            window->resize(kLaptop);
            QTRY_VERIFY(window->isWide());
            QVERIFY(cursorUsable(*window));
            QCOMPARE(window->focusedPane(), int(MainWindow::ListingPane));
            QVERIFY(listingShown(*window) && listingShown(*window)->code() == chosen);
        }
    }
};

QTEST_MAIN(WideLayoutTest)
#include "WideLayoutTest.moc"
