// SPDX-License-Identifier: GPL-3.0-or-later
// The waypoints of a cache, the waypoint editor and its projection and
// formula dialogs.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "db/CacheReader.h"
#include "geo/FormulaBlocks.h"
#include "geo/GeoMath.h"
#include "screens/CEvalDlg.h"
#include "screens/CProjectPointDlg.h"
#include "screens/DialogPlacement.h"
#include "screens/MainWindow.h"
#include "screens/WaypointEditor.h"
#include "screens/WaypointListScreen.h"

#include <QDialog>

#include <memory>

namespace tw {
namespace {

// A puzzle cache of the sample set with stages, a formula final and letter
// values in its note, and two waypoints of the user's own; made once.
struct PuzzleSample {
    std::string code;
    CWaypoint final;
};

const PuzzleSample& puzzleSample(CGlobalData& global)
{
    static std::unique_ptr<PuzzleSample> sample;
    if (sample)
        return *sample;
    sample = std::make_unique<PuzzleSample>();
    for (const auto& c : global.list.caches)
        if (c->type == CacheType::Unknown || c->type == CacheType::Multi) {
            sample->code = c->code;
            global.list.setCurrentCache(*c);
            break;
        }
    if (sample->code.empty()) {
        global.list.readCaches();
        for (const auto& c : global.list.caches)
            if (c->type == CacheType::Unknown) {
                sample->code = c->code;
                global.list.setCurrentCache(*c);
                break;
            }
    }
    const CGeocache* cache = global.list.currentCache();
    const geo::LatLon at = cache ? geo::LatLon{cache->lat, cache->lon} : geo::LatLon{50.0875, 14.4213};
    struct Stage {
        const char* name;
        int type;
        double km, bearing;
        const char* text;
    };
    const Stage stages[] = {
        {"Parking by the gate", WaypointType::Parking, 0.35, 200.0, "Free parking on weekends."},
        {"Stage 1: the sundial", WaypointType::Stage, 0.12, 30.0, "Count the windows of the tower: A."},
        {"Stage 2: the old gate", WaypointType::Question, 0.2, 80.0, "Year on the gate: B (last two digits)."},
        {"Trail from the river", WaypointType::Trailhead, 0.5, 260.0, ""},
    };
    // A stage the owner gives no coordinates for: it is found on the way.
    CWaypoint hidden = newWaypointFor(global, sample->code);
    hidden.name = "Stage 3: ask at the mill";
    hidden.type = WaypointType::Question;
    hidden.text = "The miller knows the number: C.";
    hidden.lat = hidden.lon = 0.0;
    storeWaypoint(global, hidden);
    for (const Stage& s : stages) {
        CWaypoint w = newWaypointFor(global, sample->code);
        w.name = s.name;
        w.type = s.type;
        const geo::LatLon p = geo::projectPoint(at, s.km, s.bearing);
        w.lat = p.lat;
        w.lon = p.lon;
        w.text = s.text;
        storeWaypoint(global, w);
    }
    CWaypoint final = newWaypointFor(global, sample->code);
    final.name = "Final";
    final.type = WaypointType::Final;
    final.comment = "Under the bench.\r\n<?\r\nN 50 05.(A*3+B)\r\nE 014 25.[B*A]0\r\n?>";
    storeWaypoint(global, final);
    sample->final = final;
    const std::string note = "Stage answers: A=7 B=12\r\nDon't forget a pen.";
    const std::size_t from = note.find("A=7");
    if (auto stored = geo::storeSelectionAsVariables(note, from, note.find("\r\n")))
        storeCacheNote(global, sample->code, *stored);

    for (const char* name : {"Car", "Bench with a view"}) {
        CWaypoint own = newWaypointFor(global, kDummyCacheCode);
        own.name = name;
        own.type = WaypointType::Reference;
        storeWaypoint(global, own);
    }
    return *sample;
}

QWidget* showDialog(QDialog* dialog, TourContext& t)
{
    placeDialog(*dialog, &t.window);
    dialog->show();
    return dialog;
}

} // namespace

void addWaypointStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("waypoint-list"), [](TourContext& t) -> QWidget* {
                         const PuzzleSample& s = puzzleSample(t.global);
                         t.window.pushScreen(new WaypointListScreen(t.global, s.code));
                         return &t.window;
                     }});
    stops.push_back({QStringLiteral("waypoint-editor"), [](TourContext& t) -> QWidget* {
                         static CWaypoint shown;
                         shown = puzzleSample(t.global).final;
                         return showDialog(new WaypointEditor(t.global, shown, false, &t.window), t);
                     }});
    stops.push_back({QStringLiteral("projection"), [](TourContext& t) -> QWidget* {
                         const CWaypoint& w = puzzleSample(t.global).final;
                         return showDialog(new CProjectPointDlg(t.global, {w.lat, w.lon}, &t.window), t);
                     }});
    stops.push_back({QStringLiteral("formula"), [](TourContext& t) -> QWidget* {
                         const PuzzleSample& s = puzzleSample(t.global);
                         auto* dialog = new CEvalDlg(t.global, s.code, s.final.comment, &t.window);
                         dialog->normalise();
                         dialog->compute();
                         return showDialog(dialog, t);
                     }});
}

} // namespace tw
