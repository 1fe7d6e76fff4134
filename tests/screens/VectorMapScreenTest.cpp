// SPDX-License-Identifier: GPL-3.0-or-later
// A vector map on the map screen: drawn by the program's renderer, repainted
// when queued tiles are ready, with the theme's style menu in the map's menu.
#include "app/CGlobalData.h"
#include "screens/CMapScreen.h"
#include "screens/MainWindow.h"
#include "screens/QtTileImage.h"
#include "tests/maps/FakeRenderer.h"
#include "tests/screens/ScreenWorld.h"

#include <QMenu>
#include <QtTest>

namespace fs = std::filesystem;
using namespace tw;
using test::FakeRenderer;
using test::ScreenWorld;

namespace {

constexpr geo::LatLon kHome{50.087, 14.421};
const QColor kDrawn(20, 40, 200);

maps::StyleLayer layer(const std::string& id, bool visible, std::vector<std::string> overlays = {})
{
    maps::StyleLayer l;
    l.id = id;
    l.visible = visible;
    l.names = {{"en", id + " (en)"}, {"cs", id + " (cs)"}};
    l.overlays = std::move(overlays);
    return l;
}

QAction* actionNamed(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

} // namespace

class VectorMapScreenTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScreenWorld> w;
    FakeRenderer* renderer = nullptr; // the last one made
    std::vector<maps::VectorMapSettings> made;
    std::vector<maps::UnreadableMapFile> unreadable;

    // A grid source and the vector source "pankow", chosen, drawn by fakes.
    void setUpSources()
    {
        maps::MapSources& sources = w->global->mapSources;
        sources.clear();
        sources[0].type = "Google";
        sources[0].name = "Grid";
        sources[0].basic.resize(1);
        sources[0].basic[0].mode = "basic";
        sources[0].basic[0].file = "grid";
        sources[1].type = "Google";
        sources[1].name = "pankow";
        sources[1].storage = maps::kVectorStorage;
        sources[1].bulkDownload = false;
        sources[1].mapFiles = {"pankow.map"};
        w->global->settings.mapSource = 1;
        w->global->settings.language = "en";
        made.clear();
        w->global->tileRenderers = [this](const maps::VectorMapSettings& settings) {
            made.push_back(settings);
            auto r = std::make_unique<FakeRenderer>([](const FakeRenderer::Tile&) {
                QImage image(256, 256, QImage::Format_RGB32);
                image.fill(kDrawn);
                return std::make_shared<QtTileImage>(image);
            });
            r->hold = true;
            r->unreadable = unreadable;
            r->menu.defaultValue = "day";
            r->menu.layers = {layer("day", true, {"trails"}), layer("night", true, {"trails", "huts"}),
                              layer("trails", false), layer("huts", false)};
            renderer = r.get();
            return r;
        };
    }

private slots:
    void init()
    {
        w = std::make_unique<ScreenWorld>(ScreenWorld::Options{.home = kHome});
        setUpSources();
    }

    void queuedTilesAreDrawnWhenReadyAndTheRendererGoesWithTheSource()
    {
        w->global->scaleFactor = 2.0;
        auto window = w->openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w->global);
        QVERIFY(map->renderer());
        QCOMPARE(made.size(), 1u);
        QCOMPARE(made[0].mapFiles, std::vector<fs::path>{w->mapFolder() / "pankow.map"});
        QCOMPARE(made[0].language, std::string("en"));
        QCOMPARE(made[0].displayScale, 2.0f);
        // Not drawn yet: the map's own background, and nothing to download.
        QImage frame = map->renderFrame();
        QCOMPARE(frame.pixelColor(240, 200), QColor(0x10, 0x20, 0x30));
        QVERIFY(!renderer->queued.empty());
        QCOMPARE(w->global->netClient.queued(), 0);

        renderer->release();
        frame = map->renderFrame();
        QCOMPARE(frame.pixelColor(240, 200), kDrawn);
        QVERIFY(w->prompter.messages().empty());

        map->selectSource(0);
        QVERIFY(!map->renderer());
    }

    void theStyleMenuChoosesAndRemembersStyleAndOverlays()
    {
        auto window = w->openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w->global);
        QMenu menu;
        map->fillMenu(menu);
        auto* styles = menu.findChild<QMenu*>(QStringLiteral("mapStyles"));
        QVERIFY(styles);
        QCOMPARE(styles->actions().size(), 2);
        QVERIFY(actionNamed(styles, QStringLiteral("day (en)"))->isChecked());
        actionNamed(styles, QStringLiteral("night (en)"))->trigger();
        QCOMPARE(renderer->style, std::string("night"));
        QCOMPARE(renderer->styleChanges, 1);
        QCOMPARE(w->global->settings.vectorStyle, std::string("night"));

        QMenu again;
        map->fillMenu(again);
        auto* overlays = again.findChild<QMenu*>(QStringLiteral("mapStyleOverlays"));
        QVERIFY(overlays);
        QCOMPARE(overlays->actions().size(), 2); // the night style's two
        actionNamed(overlays, QStringLiteral("huts (en)"))->setChecked(true);
        QCOMPARE(renderer->overlays, (std::map<std::string, bool>{{"huts", true}}));

        // The next run starts the renderer with the remembered choice.
        window.reset();
        w->restart();
        w->global->LoadSettings(SettingsGroup::All);
        setUpSources();
        auto second = w->openWindow({480, 800});
        openMapScreen(*second, *w->global);
        QVERIFY(!made.empty());
        QCOMPARE(made.back().style, std::string("night"));
        QCOMPARE(made.back().overlays, (std::map<std::string, bool>{{"huts", true}}));
    }

    void anotherThemeInTheOptionsDrawsTheMapAnew()
    {
        auto window = w->openWindow({480, 800});
        openMapScreen(*window, *w->global);
        QCOMPARE(made.size(), 1u);
        QCOMPARE(made[0].themeFile, fs::path()); // none beside the map: the built-in
        const fs::path winter = w->root() / "winter.xml";
        w->global->settings.mapTheme = winter.string();
        w->notifier.stateChanged(Topic::Settings);
        QTRY_COMPARE(made.size(), 2u);
        QCOMPARE(made[1].themeFile, winter);
    }

    void cleanup() { unreadable.clear(); }

    void whatCannotBeDrawnIsSaidOncePerOpening()
    {
        unreadable = {{w->mapFolder() / "pankow.map", maps::MapFileError::NotAMapFile}};
        w->global->settings.caches = 0; // no "loading" banner in front
        auto window = w->openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w->global);
        map->renderFrame();
        map->renderFrame();
        QCOMPARE(w->prompter.messages().size(), 1u);
        QCOMPARE(w->prompter.messages()[0].text, std::string("The map file pankow.map cannot be read (not a map file)."));

        // Without a renderer in the build the map says so, and the menu still offers the sources.
        w->global->tileRenderers = {};
        map->rebuildProvider(false);
        map->renderFrame();
        QCOMPARE(map->shown().banner, QStringLiteral("This build cannot draw vector maps: pankow shows nothing."));
        QMenu menu;
        map->fillMenu(menu);
        QVERIFY(!menu.findChild<QMenu*>(QStringLiteral("mapStyles")));
    }
};

QTEST_MAIN(VectorMapScreenTest)
#include "VectorMapScreenTest.moc"
