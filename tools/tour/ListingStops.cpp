// SPDX-License-Identifier: GPL-3.0-or-later
// The listing of one cache: description, logs, images, tags, attachments.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "app/ListingFiles.h"
#include "db/CacheStore.h"
#include "db/Tags.h"
#include "db/TravelBugs.h"
#include "geo/GeoMath.h"
#include "screens/CacheScreen.h"
#include "screens/MainWindow.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTabWidget>

#include <fstream>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr const char* kCode = kListingSampleCode;

// A picture that looks like a photograph of a place: sky, hills, a caption.
void writePhoto(const fs::path& path, const QString& caption, QColor sky, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, sky);
    gradient.setColorAt(1, sky.lighter(160));
    p.fillRect(image.rect(), gradient);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x55, 0x8b, 0x2f));
    p.drawEllipse(QPointF(width * 0.25, height * 1.1), width * 0.5, height * 0.5);
    p.setBrush(QColor(0x33, 0x69, 0x1e));
    p.drawEllipse(QPointF(width * 0.8, height * 1.15), width * 0.45, height * 0.55);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(height / 9);
    f.setBold(true);
    p.setFont(f);
    p.drawText(image.rect().adjusted(0, height / 12, 0, 0), Qt::AlignHCenter | Qt::AlignTop, caption);
    p.end();
    fs::create_directories(path.parent_path());
    image.save(QString::fromStdString(path.string()));
}

} // namespace

std::string addListingSample(CGlobalData& global)
{
    static bool added = false;
    if (added)
        return kCode;
    added = true;
    const fs::path mapFolder = global.paths.deviceFolder(global.settings.mapFolder);
    const std::string img = "http://img.example.org/cache/7twk/";

    CGeocache c;
    c.code = kCode;
    c.name = "Vltava Weir & the Mill";
    c.author = "Jana & Petr";
    const geo::LatLon at = geo::projectPoint({50.0875, 14.4213}, 0.6, 200.0);
    c.lat = at.lat;
    c.lon = at.lon;
    c.type = CacheType::Multi;
    c.size = CacheSize::Small;
    c.difficulty = 25;
    c.terrain = 30;
    c.hidden = 20190415;
    c.text = "<p><b>A short walk along the river to the old mill.</b></p>";
    c.shortDescHtml = 1;
    c.longDesc = "<h3>History</h3><p>The weir was built in 1892 to drive the mill wheel. The mill ground flour "
                 "until 1951; today the building is a small museum.</p>"
                 "<p><img src='" + img + "weir.jpg'></p>"
                 "<h3>Stages</h3><ol><li>At the parking, count the <i>windows</i> of the mill: A.</li>"
                 "<li>On the footbridge, read the year on the plaque: BCDE.</li></ol>"
                 "<p>The final is at N 50° 0A.BCD E 014° 2E.(A+B)(C)(D). Please put the box back "
                 "<u>exactly</u> where you found it.</p>"
                 "<p>More about the mill: <a href=\"https://example.org/mill\">the museum's page</a>.</p>";
    c.longDescHtml = 1;
    // Stored decoded, as every import stores it; the listing's key encodes it.
    c.hint = "Under the third stone from the left";
    c.comment = "A = 12, B = 1892\r\nAsk at the museum about the key.";
    c.attributes = {"dogs-yes",   "bicycles-yes", "kids-yes",    "scenic-yes", "onehour-yes", "parking-yes",
                    "night-no",   "winter-yes",   "wheelchair-no", "hike_short-yes", "water-no", "stealth-yes"};
    const char* finders[] = {"kapr&sons", "TrailMole", "Luna <3", "riverwalker"};
    const char* texts[] = {
        "Found it on a sunny morning.\nThe mill is lovely — thanks for bringing us here! TFTC",
        "Searched for half an hour at the final, <b>no luck</b>. Muggles on the bench. Will be back.",
        "Nice multi with the kids. <img src=\"http://img.example.org/smile.gif\"> The plaque is hard to read in "
        "the rain.",
        "Checked the box: dry and full. Replaced the log book.",
    };
    const int types[] = {LogType::FoundIt, LogType::DidntFindIt, LogType::FoundIt, LogType::OwnerMaintenance};
    const int dates[] = {20240612, 20240527, 20240503, 20240418};
    for (int l = 0; l < 4; ++l) {
        auto log = std::make_unique<CGeoLog>();
        log->date = dates[l];
        log->type = types[l];
        log->finder = finders[l];
        log->text = texts[l];
        log->logId = 990000 + l;
        c.logs.push_back(std::move(log));
    }
    CacheStore store(global.db.cacheDb, global.db.tagCategories, 0);
    store.InsertCache(c);
    for (int w = 0; w < 2; ++w) {
        CWaypoint wpt;
        wpt.code = kCode;
        wpt.prefix = w ? "S1" : "PK";
        wpt.name = w ? "Footbridge plaque" : "Parking at the mill";
        wpt.type = w ? WaypointType::Stage : WaypointType::Parking;
        const geo::LatLon p = geo::projectPoint(at, 0.12 * (w + 1), 60.0 + 90.0 * w);
        wpt.lat = p.lat;
        wpt.lon = p.lon;
        wpt.flag = 1;
        store.InsertWaypoint(wpt);
    }
    AddTag(global.db.cacheDb, kCode, TagCategoryName::GcImage,
           "<a href=\"" + img + "weir.jpg\">The weir in spring</a>");
    AddTag(global.db.cacheDb, kCode, TagCategoryName::GcImage,
           "<a href=\"" + img + "mill.jpg\">The mill from the bridge</a>");
    AddTag(global.db.cacheDb, kCode, TagCategoryName::GcImage,
           "<a href=\"" + img + "plaque.jpg\">The plaque (stage 2)</a>");
    AddTag(global.db.cacheDb, kCode, "walks", "riverside");
    AddTag(global.db.cacheDb, kCode, "series", "Prague mills");
    // Travel bugs resting in the cache, as a pocket query lists them.
    replaceTravelBugs(global.db.cacheDb, kCode,
                      {{1245771, "TB2X7QP", "Millwheel Turtle 🐢"}, {2803114, "TB5R1KM", "Danube to the Sea"}});

    writePhoto(listing::localImagePath(mapFolder, kCode, "weir.jpg"), QStringLiteral("The weir"),
               QColor(0x42, 0x8b, 0xca), 800, 500);
    writePhoto(listing::localImagePath(mapFolder, kCode, "mill.jpg"), QStringLiteral("The mill"),
               QColor(0xf0, 0x9a, 0x3e), 640, 420);
    writePhoto(listing::localImagePath(mapFolder, kCode, "plaque.jpg"), QStringLiteral("1892"),
               QColor(0x6d, 0x4c, 0x41), 400, 300);
    const fs::path attach = listing::attachmentFolder(mapFolder, kCode);
    fs::create_directories(attach);
    std::ofstream(attach / "stage-notes.txt") << "Stage 1: 12 windows.\n";
    writePhoto(attach / "final-area.jpg", QStringLiteral("Final area"), QColor(0x26, 0xa6, 0x9a), 320, 240);
    return kCode;
}

namespace {

TourStop listingStop(const char* name, CacheScreen::Page page)
{
    return {QString::fromLatin1(name), [page](TourContext& t) -> QWidget* {
                addListingSample(t.global);
                CacheScreen* screen = openCacheScreen(t.window, kCode);
                if (!screen)
                    return nullptr;
                screen->pages()->setCurrentIndex(page);
                return &t.window;
            }};
}

} // namespace

void addListingStops(std::vector<TourStop>& stops)
{
    stops.push_back(listingStop("cache-description", CacheScreen::DescriptionPage));
    stops.push_back(listingStop("cache-logs", CacheScreen::LogsPage));
    stops.push_back(listingStop("cache-images", CacheScreen::ImagesPage));
    stops.push_back(listingStop("cache-tags", CacheScreen::TagsPage));
    stops.push_back(listingStop("cache-attachments", CacheScreen::AttachmentsPage));
}

} // namespace tw
