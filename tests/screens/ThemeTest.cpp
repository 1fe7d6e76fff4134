// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "geo/GeoMath.h"
#include "gps/CTrackLogger.h"
#include "maps/MapCanvas.h"
#include "platform/IniFile.h"
#include "screens/CMapScreen.h"
#include "screens/CacheListScreen.h"
#include "screens/COptionsScr.h"
#include "screens/ListingColours.h"
#include "screens/MainWindow.h"
#include "screens/MapOverlays.h"
#include "screens/Theme.h"
#include "tests/screens/ScreenWorld.h"

#include <QComboBox>
#include <QMenu>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

using namespace tw;
using test::child;
using test::ScreenWorld;

namespace {

const ScreenWorld::Options kThemeWorld{.settingsGroups = SettingsGroup::All, .everyCache = true, .ownInstall = true};

int storedTheme(const ScreenWorld& w, const char* key = "Theme")
{
    return IniFile(w.global->settingsPath()).getInt("Options", key).value_or(-1);
}

// Map source 0 over stored tiles around home, nothing to download.
void storedMap(ScreenWorld& w)
{
    w.mapFromSimulator(1, "", "folder");
    w.global->mapSources[0].basic[0].maxAvailZoom = 0;
    w.makeTiles();
}

void pressNightKey(MainWindow& window)
{
    QTest::keyClick(&window, Qt::Key_T, Qt::ControlModifier);
}

// The mean luminance of a picture, 0 to 1, from every 7th pixel.
double meanLuminance(const QImage& image)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < image.height(); y += 7)
        for (int x = 0; x < image.width(); x += 7, ++n)
            sum += luminance(image.pixelColor(x, y));
    return n ? sum / n : 0;
}

// The colour of the text at the first place the words stand in the document.
QColor textColourOf(const QTextDocument& doc, const QString& words)
{
    const QTextCursor found = doc.find(words);
    if (found.isNull())
        qFatal("no text %s", qPrintable(words));
    QTextCursor at(found);
    at.setPosition(found.selectionStart() + 1);
    const QBrush brush = at.charFormat().foreground();
    return brush.style() == Qt::NoBrush ? QColor() : brush.color();
}

QColor blockGroundOf(const QTextDocument& doc, const QString& words)
{
    return doc.find(words).block().blockFormat().background().color();
}

} // namespace

class ThemeTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { applyTheme(Theme::Day); }

    void nightChosenInTheOptionsIsStoredAppliedAndKeptForTheNextStart()
    {
        ScreenWorld w(kThemeWorld);
        // A light ground set by hand is the day's: the night must not keep it.
        w.global->settings.bgColor = 0xC0FFFF;
        {
            auto window = w.openWindow({480, 800});
            QVERIFY(luminance(window->palette().color(QPalette::Window)) > 0.5);
            openOptionsScreen(*window, *w.global);
            auto* options = qobject_cast<COptionsScr*>(window->topScreen());
            QVERIFY(options);
            auto* theme = child<QComboBox>(options, "theme");
            QCOMPARE(theme->count(), kThemeCount);
            theme->setCurrentIndex(theme->findData(static_cast<int>(Theme::Night)));
            options->mainAction();
            QCOMPARE(window->topScreen(), static_cast<Screen*>(window->cacheList()));
            QCOMPARE(w.global->settings.theme, 1);
            QCOMPARE(storedTheme(w), 1);
            QCOMPARE(appliedTheme(), Theme::Night);
            QVERIFY(isDarkPalette(QApplication::palette()));
            QTRY_VERIFY(luminance(window->palette().color(QPalette::Window)) < 0.02);
            QVERIFY(luminance(window->cacheList()->palette().color(QPalette::Base)) < 0.02);
        }
        applyTheme(Theme::Day);
        w.restart();
        QCOMPARE(w.global->settings.theme, 1);
        w.global->settings.bgColor = 0xC0FFFF; // never stored: set by hand again
        auto window = w.openWindow({480, 800});
        QCOMPARE(appliedTheme(), Theme::Night);
        // Back to day in the options: the hand-set ground returns.
        openOptionsScreen(*window, *w.global);
        auto* options = qobject_cast<COptionsScr*>(window->topScreen());
        child<QComboBox>(options, "theme")->setCurrentIndex(static_cast<int>(Theme::Day));
        options->mainAction();
        QCOMPARE(storedTheme(w), 0);
        QTRY_COMPARE(window->palette().color(QPalette::Window), QColor(0xFF, 0xFF, 0xC0));
    }

    void theMapKeyTogglesTheNightAndTheMapFollows()
    {
        ScreenWorld w(kThemeWorld);
        storedMap(w);
        w.global->settings.theme = static_cast<int>(Theme::Contrast);
        auto window = w.openWindow({480, 800});
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        CMapScreen* map = openMapScreen(*window, *w.global);
        const double dayLight = meanLuminance(map->renderFrame());
        QVERIFY2(dayLight > 0.5, qPrintable(QString::number(dayLight)));

        pressNightKey(*window);
        QCOMPARE(appliedTheme(), Theme::Night);
        QCOMPARE(storedTheme(w), 1);
        const double nightLight = meanLuminance(map->renderFrame());
        QVERIFY2(nightLight < 0.05, qPrintable(QString::number(nightLight)));
        // The menu names the key and shows the night on.
        QMenu menu;
        window->fillMenu(menu);
        const QString entry = QString::fromStdString(w.global->text(1365));
        QAction* night = nullptr;
        for (QAction* a : menu.actions())
            if (a->text() == entry)
                night = a;
        QVERIFY(night && night->isChecked());
        QCOMPARE(night->shortcut(), QKeySequence(CMapScreen::kNightKey));

        // Off again: back to the high contrast the day had.
        pressNightKey(*window);
        QCOMPARE(appliedTheme(), Theme::Contrast);
        QCOMPARE(storedTheme(w), 2);
        QVERIFY(meanLuminance(map->renderFrame()) > 0.5);
    }

    void theNightKeyWorksOnEveryScreenAndReturnsToTheDayOfAnEarlierRun()
    {
        ScreenWorld w(kThemeWorld);
        // Settings of an older run: high contrast, and no day theme kept yet.
        w.global->settings.theme = static_cast<int>(Theme::Contrast);
        {
            auto window = w.openWindow({480, 800});
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
            QCOMPARE(window->topScreen(), static_cast<Screen*>(window->cacheList()));
            pressNightKey(*window);
            QCOMPARE(appliedTheme(), Theme::Night);
            QCOMPARE(storedTheme(w), 1);
            QCOMPARE(storedTheme(w, "DayTheme"), 2);
            // On the options the field follows the key, and OK keeps what the key left.
            openOptionsScreen(*window, *w.global);
            auto* options = qobject_cast<COptionsScr*>(window->topScreen());
            QVERIFY(options);
            auto* theme = child<QComboBox>(options, "theme");
            QCOMPARE(theme->currentData().toInt(), 1);
            pressNightKey(*window);
            QCOMPARE(appliedTheme(), Theme::Contrast);
            QTRY_COMPARE(theme->currentData().toInt(), 2);
            pressNightKey(*window);
            QTRY_COMPARE(theme->currentData().toInt(), 1);
            options->mainAction();
            QCOMPARE(appliedTheme(), Theme::Night);
            QCOMPARE(storedTheme(w), 1);
            QCOMPARE(storedTheme(w, "DayTheme"), 2);
        }
        // The next run starts at night; the key goes back to the high contrast.
        applyTheme(Theme::Day);
        w.restart();
        auto window = w.openWindow({480, 800});
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QCOMPARE(appliedTheme(), Theme::Night);
        pressNightKey(*window);
        QCOMPARE(appliedTheme(), Theme::Contrast);
        QCOMPARE(storedTheme(w), 2);
        // Day chosen in the options is the day the key returns to from now on.
        openOptionsScreen(*window, *w.global);
        auto* options = qobject_cast<COptionsScr*>(window->topScreen());
        child<QComboBox>(options, "theme")->setCurrentIndex(static_cast<int>(Theme::Day));
        options->mainAction();
        QCOMPARE(storedTheme(w, "DayTheme"), 0);
        pressNightKey(*window);
        pressNightKey(*window);
        QCOMPARE(appliedTheme(), Theme::Day);
    }

    void atNightThePositionAndTheTrackAreRedAndTheDayKeepsTheUsersColours()
    {
        ScreenWorld w(ScreenWorld::Options{.ownInstall = true, .recordTrack = true});
        storedMap(w);
        // A track walked east, well away from the position mark at home.
        for (int i = 0; i < 12; ++i) {
            const geo::LatLon at = geo::projectPoint(w.options.home, 0.4 + 0.03 * i, 90.0);
            w.global->gpsServices.trackLogger->appendTrack(at.lat, at.lon, 250, 1, 8, 4);
            w.clock += 5;
        }
        const geo::LatLon onTrack = geo::projectPoint(w.options.home, 0.4 + 0.03 * 6, 90.0);
        const QColor userTrack = colourOf(maps::rgbFromSetting(w.global->settings.trackColor));
        CMapScreen map(*w.global, w.notifier);
        map.resize(480, 800);
        for (const Theme theme : {Theme::Day, Theme::Night, Theme::Contrast}) {
            applyTheme(theme);
            map.invalidateTiles();
            QList<QColor> dot; // the three phases of the blinking position
            QColor track;
            for (int phase = 0; phase < 3; ++phase) {
                const QImage frame = map.renderFrame();
                QVERIFY(map.shown().marker && map.screenPointOf(onTrack));
                QCOMPARE(map.shown().trackPoints, 12);
                dot << frame.pixelColor(*map.shown().marker);
                track = frame.pixelColor(*map.screenPointOf(onTrack));
            }
            const QPalette pal = QApplication::palette();
            if (theme == Theme::Day) {
                QCOMPARE(track, userTrack);
                QVERIFY(dot.contains(QColor(Qt::white)));
            } else if (theme == Theme::Night) {
                // Red to amber, nothing blue or white, none much brighter than the text.
                const QList<QColor> drawn = QList<QColor>(dot) << track;
                for (const QColor& c : drawn) {
                    QVERIFY2(c.red() > c.green() && c.green() >= c.blue() && c.blue() < 60, qPrintable(c.name()));
                    QVERIFY2(luminance(c) <= 1.5 * luminance(pal.color(QPalette::Text)), qPrintable(c.name()));
                }
                QVERIFY(track != userTrack);
            } else {
                // Dark enough to read on the steepened paper in sunlight.
                QVERIFY2(contrastRatio(track, Qt::white) >= 4.5, qPrintable(track.name()));
            }
        }
        // With a fix the dot and the arrow are blue by day and red at night.
        QImage canvas(40, 40, QImage::Format_RGB32);
        for (const bool arrow : {false, true}) {
            PositionMark mark;
            mark.at = QPoint(20, 20);
            mark.fix = true;
            mark.arrow = arrow;
            for (const Theme theme : {Theme::Day, Theme::Night}) {
                canvas.fill(Qt::black);
                QPainter painter(&canvas);
                drawPositionMark(painter, MapView{canvas.size(), QPalette(), 1.0, 44, mapInk(theme, userTrack, Qt::red)}, mark);
                painter.end();
                const QColor c = canvas.pixelColor(20, 22);
                QVERIFY2(theme == Theme::Day ? c.blue() > 200 && c.red() < 80 : c.red() > 200 && c.blue() < 60,
                         qPrintable(c.name()));
            }
        }
    }

    void aMapPannedAtNightDrawsWhatANightMapComposedAfreshDraws()
    {
        ScreenWorld w(kThemeWorld);
        storedMap(w);
        applyTheme(Theme::Night);
        CMapScreen panned(*w.global, w.notifier), fresh(*w.global, w.notifier);
        for (CMapScreen* m : {&panned, &fresh})
            m->resize(480, 800);
        QCOMPARE(panned.renderFrame(), fresh.renderFrame());
        // Each move composes only the uncovered edges, which must take the
        // look as the moved pixels already have it (and never twice).
        for (const QPoint by : {QPoint(40, 0), QPoint(0, -30), QPoint(-70, 25), QPoint(300, 0), QPoint(-256, 0)}) {
            panned.panBy(by.x(), by.y());
            fresh.panBy(by.x(), by.y());
            fresh.invalidateTiles();
            QCOMPARE(panned.renderFrame(), fresh.renderFrame());
        }
    }

    void theNightTileLookDarkensPaperBrightensLinesAndStaysInItsArea()
    {
        QImage image(40, 10, QImage::Format_RGB32);
        image.fill(QColor(245, 240, 225)); // a map's paper
        for (int x = 0; x < 40; ++x)
            image.setPixelColor(x, 5, QColor(20, 20, 20)); // a road
        const TileLook night(Theme::Night);
        night.apply(image, QRect(0, 0, 20, 10));
        QVERIFY(luminance(image.pixelColor(3, 2)) < 0.01);
        const QColor road = image.pixelColor(3, 5);
        QVERIFY(road.red() > 2 * road.green() && road.green() > road.blue() && luminance(road) > 0.08);
        QCOMPARE(image.pixelColor(30, 2), QColor(245, 240, 225));
        // Places without tiles, filled as the look asks, end as dark as paper.
        QImage empty(4, 4, QImage::Format_RGB32);
        empty.fill(QColor::fromRgb(night.background(QPalette())));
        night.apply(empty, empty.rect());
        QVERIFY(luminance(empty.pixelColor(0, 0)) < 0.01);
        // High contrast pulls the middle shades apart and keeps black and white.
        QImage grey(3, 1, QImage::Format_RGB32);
        grey.setPixelColor(0, 0, QColor(0, 0, 0));
        grey.setPixelColor(1, 0, QColor(160, 160, 160));
        grey.setPixelColor(2, 0, QColor(255, 255, 255));
        TileLook(Theme::Contrast).apply(grey, grey.rect());
        QCOMPARE(grey.pixelColor(0, 0), QColor(0, 0, 0));
        QVERIFY(grey.pixelColor(1, 0).red() > 175);
        QCOMPARE(grey.pixelColor(2, 0), QColor(255, 255, 255));
    }

    void aListingKeepsItsReadableColoursAndLosesTheUnreadableOnes()
    {
        const QString html = QStringLiteral(
            "<div style=\"background-color: white;\"><b style=\"background-color: #AFD5FF;\">Header of a log</b>"
            "<p><font color=\"#000000\">black words</font> plain words <span style=\"color: #0000ff\">blue "
            "words</span> <span style=\"color: #d03030\">red words</span> <span style=\"color: #ffff00\">yellow "
            "words</span></p></div>"
            "<table><tr><td bgcolor=\"#102040\">words in a dark cell</td></tr></table>");
        {
            applyTheme(Theme::Night);
            const QPalette pal = QApplication::palette();
            QTextDocument doc;
            doc.setHtml(html);
            fitListingColours(doc, pal);
            // The light grounds went dark, the light blue keeping a trace of blue.
            QVERIFY(luminance(blockGroundOf(doc, QStringLiteral("black words"))) < 0.03);
            const QColor header = doc.find(QStringLiteral("Header")).charFormat().background().color();
            QVERIFY(luminance(header) < 0.03 && header.blue() > header.red());
            for (const char* words : {"black words", "blue words", "red words", "yellow words", "Header", "plain words",
                                      "words in a dark cell"}) {
                const QColor c = textColourOf(doc, QLatin1String(words));
                const QColor shown = c.isValid() ? c : pal.color(QPalette::Text);
                QVERIFY2(contrastRatio(shown, pal.color(QPalette::Base)) >= kLeastTextContrast, words);
                // Nothing shines brighter than the night's own text.
                QVERIFY2(luminance(shown) <= luminance(pal.color(QPalette::Text)) * 1.35, words);
            }
            // Red and yellow stay red and yellow, only dimmer; black and blue take the theme's text.
            QCOMPARE(textColourOf(doc, QStringLiteral("red words")), QColor(0xd0, 0x30, 0x30));
            QCOMPARE(textColourOf(doc, QStringLiteral("yellow words")).hue(), 60);
            QCOMPARE(textColourOf(doc, QStringLiteral("black words")), pal.color(QPalette::Text));
            QCOMPARE(textColourOf(doc, QStringLiteral("blue words")), pal.color(QPalette::Text));
        }
        {
            applyTheme(Theme::Day);
            QPalette day;
            day.setColor(QPalette::Base, Qt::white);
            day.setColor(QPalette::Text, Qt::black);
            QTextDocument doc;
            doc.setHtml(html);
            fitListingColours(doc, day);
            // By day the author's colours stay, grounds too; only the unreadable go.
            QCOMPARE(blockGroundOf(doc, QStringLiteral("black words")), QColor(Qt::white));
            QCOMPARE(textColourOf(doc, QStringLiteral("blue words")), QColor(0, 0, 255));
            QCOMPARE(textColourOf(doc, QStringLiteral("yellow words")), QColor(Qt::black));
            QCOMPARE(textColourOf(doc, QStringLiteral("words in a dark cell")), QColor(Qt::white));
        }
    }
};

QTEST_MAIN(ThemeTest)
#include "ThemeTest.moc"
