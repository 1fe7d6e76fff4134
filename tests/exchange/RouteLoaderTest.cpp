// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/RouteLoader.h"

#include "gps/TrackExport.h"
#include "platform/Numbers.h"
#include "tests/TestSupport.h"

#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace tw {
namespace {

class RouteLoaderTest : public test::TempDirTest {
protected:
    // Each line as its number of points, e.g. {2, 3}.
    static std::vector<std::size_t> shape(const RouteLines& lines)
    {
        std::vector<std::size_t> sizes;
        for (const auto& line : lines)
            sizes.push_back(line.size());
        return sizes;
    }
    std::optional<RouteLines> load(const std::string& name, const std::string& bytes)
    {
        test::writeFile(dir / name, bytes);
        return loadRouteFile(dir / name);
    }
    // Another program's reading of a file as GPX tracks (-t) or routes (-r),
    // or an empty path when it failed.
    fs::path gpsbabel(const char* kind, const char* format, const fs::path& in, const char* outFormat, fs::path out)
    {
        const std::string command = std::string("gpsbabel ") + kind + " -i " + format + " -f '" + in.string() +
                                    "' -o " + outFormat + " -F '" + out.string() + "' 2>&1";
        if (std::system(command.c_str()) != 0 || !fs::exists(out))
            return {};
        return out;
    }
};

// The same points in the same lines, to the micro-degree the files carry.
void expectSameLines(const RouteLines& actual, const RouteLines& expected)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t l = 0; l < actual.size(); ++l) {
        ASSERT_EQ(actual[l].size(), expected[l].size()) << "line " << l;
        for (std::size_t i = 0; i < actual[l].size(); ++i) {
            EXPECT_NEAR(actual[l][i].lat, expected[l][i].lat, 1e-6) << "line " << l << " point " << i;
            EXPECT_NEAR(actual[l][i].lon, expected[l][i].lon, 1e-6) << "line " << l << " point " << i;
        }
    }
}

TEST_F(RouteLoaderTest, EveryRouteAndTrackSegmentOfAGpxFileIsALine)
{
    // GPX 1.1 with a route and a track of two segments; its waypoint is no line.
    const auto gpx11 = load("two.gpx", "<?xml version=\"1.0\"?><gpx version=\"1.1\" "
                                       "xmlns=\"http://www.topografix.com/GPX/1/1\"><wpt lat=\"1\" lon=\"1\"/>"
                                       "<rte><rtept lat=\"-33.8675\" lon=\"151.207\"/><rtept lat=\"-33.9\" lon=\"151.3\"/></rte>"
                                       "<trk><trkseg><trkpt lat=\"50.1\" lon=\"14.2\"><ele>300</ele></trkpt>"
                                       "<trkpt lat=\"50.2\" lon=\"14.3\"/></trkseg>"
                                       "<trkseg><trkpt lat=\"50.3\" lon=\"14.4\"/></trkseg></trk></gpx>");
    ASSERT_TRUE(gpx11);
    EXPECT_EQ(shape(*gpx11), (std::vector<std::size_t>{2, 2, 1}));
    EXPECT_DOUBLE_EQ((*gpx11)[0][0].lat, -33.8675);
    EXPECT_DOUBLE_EQ((*gpx11)[1][1].lon, 14.3);

    // GPX 1.0: two tracks, one without a segment element; a point without a
    // longitude and one beyond the pole are left out, not drawn at 0/0.
    const auto gpx10 = load("old.gpx", "<gpx version=\"1.0\" xmlns=\"http://www.topografix.com/GPX/1/0\">"
                                       "<trk><trkpt lat=\"1\" lon=\"2\"/><trkpt lat=\"3\"/><trkpt lat=\"95\" lon=\"2\"/>"
                                       "<trkpt lat=\" 4\" lon=\"5\"/></trk>"
                                       "<trk><trkseg><trkpt lat=\"6\" lon=\"7\"/></trkseg></trk></gpx>");
    ASSERT_TRUE(gpx10);
    EXPECT_EQ(shape(*gpx10), (std::vector<std::size_t>{2, 1}));
    EXPECT_DOUBLE_EQ((*gpx10)[0][1].lat, 4.0);
}

TEST_F(RouteLoaderTest, UnreadableFilesGiveNothing)
{
    EXPECT_FALSE(load("outside.gpx", "<rte><rtept lat=\"1\" lon=\"1\"/></rte>")) << "not a GPX root";
    EXPECT_FALSE(load("cut.gpx", "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"1\"/>"));
    EXPECT_FALSE(load("cut.kml", "<kml><Placemark><LineString><coordinates>1,2 3,4"));
    EXPECT_FALSE(load("empty.gpx", "<gpx><trk></trk></gpx>"));
    EXPECT_FALSE(load("point.kml", "<kml><Placemark><Point><coordinates>14,50</coordinates></Point></Placemark></kml>"));
    EXPECT_FALSE(load("cache.loc", "<?xml version=\"1.0\"?><loc version=\"1.0\"><waypoint><coord lat=\"1\" lon=\"2\"/>"
                                   "</waypoint></loc>"));
    EXPECT_FALSE(load("header.plt", "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\n"));
    EXPECT_FALSE(load("empty.plt", ""));
    EXPECT_FALSE(load("notes.txt", "GC12AB found it\n1,2,0,3,4\n"));
    EXPECT_FALSE(load("binary.gpx", std::string("PK\x03\x04\0\0\xFF\xFE<gpx>", 14)));
    EXPECT_FALSE(loadRouteFile(dir / "missing.gpx"));
    EXPECT_FALSE(loadRouteFile(dir));
}

// Two line strings of a multi-geometry in a folder, a gx:Track in a nested
// folder; points, polygons and comments draw no line.
constexpr const char* kNestedKml =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\" xmlns:gx=\"http://www.google.com/kml/ext/2.2\">"
    "<Document><name>trip</name><Folder><Placemark><Point><coordinates>9,9</coordinates></Point></Placemark>"
    "<Placemark><MultiGeometry><LineString><tessellate>1</tessellate><coordinates>\n"
    "\t14.1,50.1,200 14.2,50.2\n  14.3,50.3,210.5\n</coordinates></LineString>"
    "<LineString><coordinates><!-- 1,1 -->16.6,49.2 16.7,49.3</coordinates></LineString>"
    "<Polygon><outerBoundaryIs><LinearRing><coordinates>1,1 2,2 1,1</coordinates></LinearRing>"
    "</outerBoundaryIs></Polygon></MultiGeometry></Placemark>"
    "<Folder><Placemark><gx:Track><when>2010-05-28T02:02:09Z</when><when>2010-05-28T02:02:35Z</when>"
    "<gx:coord>-122.207881 37.371915 156</gx:coord><gx:coord>-122.205712  37.373288</gx:coord>"
    "</gx:Track></Placemark></Folder></Folder></Document></kml>";

TEST_F(RouteLoaderTest, KmlLinesAtAnyDepthEachOnItsOwn)
{
    const auto kml = load("doc.kml", kNestedKml);
    ASSERT_TRUE(kml);
    EXPECT_EQ(shape(*kml), (std::vector<std::size_t>{3, 2, 2}));
    EXPECT_DOUBLE_EQ((*kml)[0][2].lat, 50.3);
    EXPECT_DOUBLE_EQ((*kml)[0][2].lon, 14.3);
    EXPECT_DOUBLE_EQ((*kml)[2][1].lat, 37.373288);
    EXPECT_DOUBLE_EQ((*kml)[2][1].lon, -122.205712);
}

// One line string of 20,000 points: its text reaches the reader in many
// pieces, and a tuple cut between two of them still reads whole.
TEST_F(RouteLoaderTest, LongLineStringReadsEveryTuple)
{
    std::string kml = "<kml><Placemark><LineString><coordinates>";
    for (int i = 0; i < 20000; ++i)
        kml += num::formatFixed(14.0 + i * 1e-5, 6) + "," + num::formatFixed(50.0 + i * 1e-5, 6) + ",0 ";
    kml += "</coordinates></LineString></Placemark></kml>";
    const auto lines = load("long.kml", kml);
    ASSERT_TRUE(lines);
    ASSERT_EQ(shape(*lines), (std::vector<std::size_t>{20000}));
    for (std::size_t i = 0; i < 20000; i += 997) {
        EXPECT_NEAR((*lines)[0][i].lat, 50.0 + static_cast<double>(i) * 1e-5, 1e-9) << i;
        EXPECT_NEAR((*lines)[0][i].lon, 14.0 + static_cast<double>(i) * 1e-5, 1e-9) << i;
    }
}

TEST_F(RouteLoaderTest, HugeFileKeepsABoundedNumberOfPoints)
{
    std::string gpx = "<gpx>";
    for (std::size_t t = 0; t < 2; ++t) {
        gpx += "<trk><trkseg>";
        for (std::size_t i = 0; i < kMaxRoutePoints / 2 + 10; ++i)
            gpx += "<trkpt lat=\"50\" lon=\"14\"/>";
        gpx += "</trkseg></trk>";
    }
    // Never reached: reading ends at the bound, and what was read counts.
    gpx += "<trk><trkseg><trkpt lat=\"1\" lon=\"1\"/>";
    const auto lines = load("huge.gpx", gpx);
    ASSERT_TRUE(lines);
    EXPECT_EQ(shape(*lines), (std::vector<std::size_t>{kMaxRoutePoints / 2 + 10, kMaxRoutePoints / 2 - 10}));
}

TEST_F(RouteLoaderTest, FormatIsToldByContentNotByName)
{
    const std::string plt = "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\n"
                            "Reserved 3\r\n0,2,255,Walk,1,0,2,8421376,0\r\n4\r\n"
                            "  47.466222,   3.747318,1, 1258.8,39307.3279977, 13-Aug-07, 07:52:19\r\n"
                            "  47.466150,   3.747233,0, 1236.5,39307.3281134, 13-Aug-07, 07:52:28\r\n"
                            "  47.000000,   3.000000,1, 1236.5,39307.3281134, 13-Aug-07, 07:53:28\r\n"
                            "  47.100000,   3.100000,0, 1236.5,39307.3281134, 13-Aug-07, 07:54:28\r\n";
    // A new segment (code 1) breaks the line.
    for (const char* name : {"walk.plt", "walk.txt", "walk.gpx", "walk"}) {
        const auto lines = load(name, plt);
        ASSERT_TRUE(lines) << name;
        EXPECT_EQ(shape(*lines), (std::vector<std::size_t>{2, 2})) << name;
    }
    // A track file without the header line that names it: by its extension.
    const auto bare = load("bare.plt", "x\nx\nx\nx\nx\n1\n50.5,14.5,0,0,0,,\n");
    ASSERT_TRUE(bare);
    EXPECT_EQ(shape(*bare), (std::vector<std::size_t>{1}));

    const auto gpxAsPlt = load("route.plt", "\xEF\xBB\xBF\r\n<gpx><rte><rtept lat=\"1\" lon=\"2\"/></rte></gpx>");
    ASSERT_TRUE(gpxAsPlt);
    EXPECT_EQ(shape(*gpxAsPlt), (std::vector<std::size_t>{1}));

    // An OziExplorer route: "R," begins each route, "W," holds its points.
    const auto rte = load("r.dat", "OziExplorer Route File Version 1.0\r\nWGS 84\r\nReserved 1\r\nReserved 2\r\n"
                                   "R,  0,R0,,255\r\nW,  0,   1,   1,ACRD01, -27.4769,  153.0094, 36560.0, 0\r\n"
                                   "W,  0,   2,   2,ACRD02, -27.5, 153.1, 36560.0, 0\r\n"
                                   "R,  1,R1,,255\r\nW,  1,   1,   3,X, 50, 14, 36560.0, 0\r\n");
    ASSERT_TRUE(rte);
    EXPECT_EQ(shape(*rte), (std::vector<std::size_t>{2, 1}));
    EXPECT_DOUBLE_EQ((*rte)[0][1].lon, 153.1);
}

// Our own track exports (UTF-16 GPX and KML, 8-bit PLT) load as the route
// with every point.
TEST_F(RouteLoaderTest, OwnTrackExportsLoadBack)
{
    std::vector<TrackPoint> points;
    for (int i = 0; i < 30; ++i) {
        TrackPoint p;
        p.lat = 49.2 + i * 0.0003;
        p.lon = 16.6 - i * 0.0002;
        p.alt = 240.0;
        p.time = 1299330429 + i * 5;
        points.push_back(p);
    }
    const RouteLines expected{[&] {
        std::vector<geo::LatLon> line;
        for (const TrackPoint& p : points)
            line.push_back({p.lat, p.lon});
        return line;
    }()};
    for (const auto& [name, bytes] : {std::pair{"t.gpx", trackGpx(points)}, std::pair{"t.kml", trackKml(points)},
                                      std::pair{"t.plt", trackPlt(points)}}) {
        SCOPED_TRACE(name);
        const auto lines = load(name, bytes);
        ASSERT_TRUE(lines);
        expectSameLines(*lines, expected);
    }
}

TEST_F(RouteLoaderTest, OziTrackReadsAsAnotherProgramReadsIt)
{
    TW_REQUIRE_CORPUS();
    const fs::path tracks = test::corpusDir() / "tracks";
    const auto plt = loadRouteFile(tracks / "20070813_short.plt");
    const auto gpx = loadRouteFile(tracks / "20070813_short~plt.gpx");
    ASSERT_TRUE(plt);
    ASSERT_TRUE(gpx);
    EXPECT_EQ(shape(*plt), (std::vector<std::size_t>{44}));
    expectSameLines(*plt, *gpx);
    EXPECT_NEAR((*plt)[0][0].lat, 47.466222, 1e-9);
    EXPECT_NEAR((*plt)[0][0].lon, 3.747318, 1e-9);
}

TEST_F(RouteLoaderTest, KmlReadsAsAnotherProgramReadsIt)
{
    TW_REQUIRE_CORPUS();
    TW_REQUIRE_PROGRAM("gpsbabel");
    test::writeFile(dir / "nested.kml", kNestedKml);
    for (const fs::path& kml : {test::corpusDir() / "tracks" / "Placemark-Track-1.kml", dir / "nested.kml"}) {
        SCOPED_TRACE(kml.filename().string());
        const auto ours = loadRouteFile(kml);
        const fs::path theirs = gpsbabel("-t", "kml", kml, "gpx", dir / "theirs.gpx");
        ASSERT_TRUE(ours);
        ASSERT_FALSE(theirs.empty());
        const auto theirLines = loadRouteFile(theirs);
        ASSERT_TRUE(theirLines);
        expectSameLines(*ours, *theirLines);
    }
    EXPECT_EQ(shape(*loadRouteFile(test::corpusDir() / "tracks" / "Placemark-Track-1.kml")),
              (std::vector<std::size_t>{7}));
}

TEST_F(RouteLoaderTest, OziRouteWrittenByAnotherProgram)
{
    TW_REQUIRE_PROGRAM("gpsbabel");
    const fs::path gpx = dir / "routes.gpx";
    test::writeFile(gpx, "<?xml version=\"1.0\"?><gpx version=\"1.1\" creator=\"t\" "
                         "xmlns=\"http://www.topografix.com/GPX/1/1\">"
                         "<rte><name>A</name><rtept lat=\"50.1\" lon=\"14.2\"><name>A1</name></rtept>"
                         "<rtept lat=\"50.2\" lon=\"14.3\"><name>A2</name></rtept></rte>"
                         "<rte><name>B</name><rtept lat=\"-49.1\" lon=\"-16.2\"><name>B1</name></rtept>"
                         "<rtept lat=\"-49.2\" lon=\"-16.3\"><name>B2</name></rtept>"
                         "<rtept lat=\"-49.3\" lon=\"-16.4\"><name>B3</name></rtept></rte></gpx>");
    const fs::path rte = gpsbabel("-r", "gpx", gpx, "ozi", dir / "routes.rte");
    ASSERT_FALSE(rte.empty());
    const auto ours = loadRouteFile(gpx);
    const auto theirs = loadRouteFile(rte);
    ASSERT_TRUE(ours);
    ASSERT_TRUE(theirs) << test::readFile(rte);
    EXPECT_EQ(shape(*theirs), (std::vector<std::size_t>{2, 3}));
    expectSameLines(*theirs, *ours);
}

} // namespace
} // namespace tw
