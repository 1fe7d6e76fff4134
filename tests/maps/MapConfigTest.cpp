// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapConfig.h"
#include "maps/TileProvider.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "xml/XmlElementWalker.h"

#include <functional>

namespace fs = std::filesystem;
using namespace tw::maps;

namespace {

std::string wrap(const std::string& mapTypes, const std::string& sourceFields = "<type>Google</type>")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Tarnwick>\n<MapSource>" + sourceFields + mapTypes
           + "</MapSource>\n</Tarnwick>\n";
}

// Blank-separated words of fifty letters: a text the tokenizer hands over in
// many pieces.
std::string words(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::string(50, 'w') + ' ';
    return text;
}

} // namespace

struct ConfigCase {
    const char* name;
    std::string document;
    std::function<void(const MapSources&)> check;
};

class MapConfigFiles : public tw::test::TempDirTest, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(MapConfigFiles, ReadAsWritten)
{
    tw::test::writeFile(dir / "map-config.xml", GetParam().document);
    MapSources sources;
    readMapConfig(dir / "map-config.xml", sources);
    GetParam().check(sources);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, MapConfigFiles,
    ::testing::Values(
        ConfigCase{"MinimalFile",
                   "<Tarnwick>\n<MapSource><type>Google</type><name>Street map</name><storage>database</storage>\n"
                   "<MapType mode=\"basic\"><name>Base</name><file>street</file><url>http://t/{z}/{x}/{y}.png</url>"
                   "<minZoom>2</minZoom><maxZoom>17</maxZoom></MapType>\n<MapType mode=\"overlay\"><name>Trails</name>"
                   "<file>trails</file><url>http://u</url><invertY/></MapType>\n</MapSource>\n</Tarnwick>\n",
                   [](const MapSources& s) {
                       ASSERT_EQ(s.size(), 1u);
                       const MapSource& src = s.at(0);
                       EXPECT_EQ(src.type, "Google");
                       EXPECT_EQ(src.name, "Street map");
                       EXPECT_EQ(src.storage, "database");
                       ASSERT_EQ(src.basic.size(), 1u);
                       EXPECT_EQ(src.basic[0].name, "Base");
                       EXPECT_EQ(src.basic[0].file, "street");
                       EXPECT_EQ(src.basic[0].minZoom, 2);
                       EXPECT_EQ(src.basic[0].maxZoom, 17);
                       EXPECT_EQ(src.basic[0].maxAvailZoom, 17);
                       EXPECT_EQ(src.basic[0].defaultZoom, 12);
                       EXPECT_FALSE(src.basic[0].invertY);
                       ASSERT_EQ(src.overlay.size(), 1u);
                       EXPECT_TRUE(src.overlay[0].invertY);
                       EXPECT_EQ(getMapType(src, 3), &src.overlay[0]);
                       EXPECT_EQ(getMapType(src, 1), nullptr);
                       EXPECT_EQ(getMapType(src, 4), nullptr);
                   }},
        ConfigCase{"NoRootElement", "<Other><MapSource><type>Google</type></MapSource></Other>",
                   [](const MapSources& s) { EXPECT_TRUE(s.empty()); }},
        ConfigCase{"MaxAvailBeforeMax",
                   wrap("<MapType mode=\"basic\"><maxAvailZoom>14</maxAvailZoom><maxZoom>17</maxZoom></MapType>"
                        "<MapType mode=\"basic\"><maxZoom>17</maxZoom><maxAvailZoom>14</maxAvailZoom></MapType>"
                        "<MapType mode=\"basic\"><maxZoom>15</maxZoom></MapType>"),
                   [](const MapSources& s) {
                       ASSERT_EQ(s.at(0).basic.size(), 3u);
                       EXPECT_EQ(s.at(0).basic[0].maxAvailZoom, 14);
                       EXPECT_EQ(s.at(0).basic[1].maxAvailZoom, 14);
                       EXPECT_EQ(s.at(0).basic[2].maxAvailZoom, 15);
                   }},
        ConfigCase{"ZeroAndJunkZoomsKeepDefaults",
                   wrap("<MapType mode=\"basic\"><minZoom>0</minZoom><defaultZoom>x</defaultZoom></MapType>"),
                   [](const MapSources& s) {
                       EXPECT_EQ(s.at(0).basic[0].minZoom, 1);
                       EXPECT_EQ(s.at(0).basic[0].defaultZoom, 12);
                   }},
        ConfigCase{"DefaultZoomZeroIsTaken",
                   wrap("<MapType mode=\"basic\"><defaultZoom>0</defaultZoom></MapType>"
                        "<MapType mode=\"basic\"><defaultZoom></defaultZoom></MapType>"),
                   [](const MapSources& s) {
                       EXPECT_EQ(s.at(0).basic[0].defaultZoom, 0);
                       EXPECT_EQ(s.at(0).basic[1].defaultZoom, 12);
                       MapTypeChoice choice;
                       tw::RecordingPrompter prompter;
                       EXPECT_EQ(openMapProvider(s, 0, choice, {}, prompter)->zoom(), 0);
                   }},
        ConfigCase{"BulkDownloadAllowedUnlessSaidNo",
                   "<Tarnwick><MapSource><type>Google</type></MapSource><MapSource><type>Google</type>"
                   "<bulkDownload> No </bulkDownload></MapSource><MapSource><type>Google</type>"
                   "<bulkDownload>yes</bulkDownload></MapSource></Tarnwick>",
                   [](const MapSources& s) {
                       ASSERT_EQ(s.size(), 3u);
                       EXPECT_TRUE(s.at(0).bulkDownload);
                       EXPECT_FALSE(s.at(1).bulkDownload);
                       EXPECT_TRUE(s.at(2).bulkDownload);
                   }},
        ConfigCase{"NameKeepsLineBreaks", wrap("<MapType mode=\"basic\"><name>Two\n   lines</name></MapType>"),
                   [](const MapSources& s) { EXPECT_EQ(s.at(0).basic[0].name, "Two\n   lines"); }},
        ConfigCase{"FourthBasicAndUnknownModeDropped",
                   wrap("<MapType mode=\"basic\"><name>1</name></MapType><MapType mode=\"basic\"><name>2</name>"
                        "</MapType><MapType mode=\"bogus\"><name>x</name></MapType><MapType mode=\"basic\"><name>3"
                        "</name></MapType><MapType mode=\"basic\"><name>4</name></MapType>"),
                   [](const MapSources& s) {
                       ASSERT_EQ(s.at(0).basic.size(), 3u);
                       EXPECT_EQ(s.at(0).basic[2].name, "3");
                       EXPECT_TRUE(s.at(0).overlay.empty());
                   }},
        ConfigCase{"UnclosedSourceIsNotStored",
                   "<Tarnwick><MapSource><type>Google</type></MapSource><MapSource><type>MapyCz</type>",
                   [](const MapSources& s) {
                       ASSERT_EQ(s.size(), 1u);
                       EXPECT_EQ(s.at(0).type, "Google");
                   }},
        ConfigCase{"HugeTextIsCut",
                   wrap("<MapType mode=\"basic\"><url>" + words(20000) + "</url></MapType>"),
                   [](const MapSources& s) {
                       const std::size_t size = s.at(0).basic[0].url.size();
                       EXPECT_GE(size, tw::kMaxShortElementText);
                       EXPECT_LE(size, tw::kMaxShortElementText + 50);
                   }},
        ConfigCase{"MalformedMarkupKeepsWhatWasRead",
                   wrap("<MapType mode=\"basic\"><name>A</name><<<url>u</url></MapType>"),
                   [](const MapSources& s) {
                       ASSERT_EQ(s.size(), 1u);
                       EXPECT_EQ(s.at(0).basic[0].name, "A");
                   }}),
    [](const auto& row) { return std::string(row.param.name); });

class MapConfigLoading : public tw::test::TempDirTest {};

TEST_F(MapConfigLoading, InstallFileComesFirstThenTheMapFolderFiles)
{
    const fs::path install = dir / "install", maps = dir / "maps";
    tw::test::writeFile(install / "map-config.xml", wrap("", "<type>Google</type><name>plain</name>"));
    tw::test::writeFile(install / "map-config-cs.xml", wrap("", "<type>Google</type><name>czech</name>"));
    tw::test::writeFile(maps / "topo-map-config.xml", wrap("", "<type>Google</type><name>topo</name>"));
    tw::test::writeFile(maps / "map-config.xml", wrap("", "<type>Google</type><name>folder</name>"));
    tw::test::writeFile(maps / "map-config-en.xml", wrap("", "<type>Google</type><name>not matched</name>"));

    MapSources sources;
    loadMapConfigs(install, "cs", maps, sources);
    ASSERT_EQ(sources.size(), 3u);
    EXPECT_EQ(sources.at(0).name, "czech");
    EXPECT_EQ(sources.at(1).name, "folder");
    EXPECT_EQ(sources.at(2).name, "topo");

    MapSources english;
    loadMapConfigs(install, "en", dir / "no such folder", english);
    ASSERT_EQ(english.size(), 1u);
    EXPECT_EQ(english.at(0).name, "plain");
}

TEST_F(MapConfigLoading, TheShippedConfigurationReads)
{
    MapSources sources;
    readMapConfig(tw::test::sourceDir() / "resources" / "map-config.xml", sources);
    ASSERT_GE(sources.size(), 2u);
    for (const auto& [index, source] : sources) {
        EXPECT_TRUE(source.type == "Google" || source.type == "MapyCz") << source.name;
        ASSERT_FALSE(source.basic.empty()) << source.name;
        for (const MapType& t : source.basic) {
            EXPECT_TRUE(isSafeFileName(t.file)) << t.name;
            EXPECT_NE(t.url.find("{z}"), std::string::npos) << t.name;
            EXPECT_GE(t.maxAvailZoom, t.minZoom) << t.name;
        }
    }
    EXPECT_NE(sources.at(0).requestHeader.find("User-Agent: Tarnwick/"), std::string::npos);
    // The volunteers' servers forbid fetching areas ahead.
    EXPECT_EQ(sources.at(0).name, "OpenStreetMap");
    EXPECT_FALSE(sources.at(0).bulkDownload);
}

struct OpenCase {
    const char* name;
    int sourceIndex;
    const char* type;
    int savedMapType;
    bool opens;
    int mapTypeAfter;
};

class OpeningTheMap : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpeningTheMap, DispatchesOnTheSourceTypeAndFitsTheChoice)
{
    const OpenCase& c = GetParam();
    MapSources sources;
    MapSource s;
    s.type = c.type;
    s.basic.resize(2);
    s.basic[0].defaultZoom = 9;
    s.overlay.resize(1);
    sources[0] = s;
    MapTypeChoice choice{c.savedMapType, 1, 1, 0};
    tw::RecordingPrompter prompter;
    auto provider = openMapProvider(sources, c.sourceIndex, choice, {}, prompter);
    EXPECT_EQ(provider != nullptr, c.opens);
    if (c.opens) {
        EXPECT_TRUE(prompter.messages().empty());
        EXPECT_EQ(choice.mapType, c.mapTypeAfter);
        EXPECT_EQ(choice.overlay1, 1);
        EXPECT_EQ(choice.overlay2, 0); // the source has one overlay only
    } else {
        ASSERT_EQ(prompter.messages().size(), 1u);
        EXPECT_EQ(prompter.messages()[0].text, "Invalid map configuration");
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, OpeningTheMap,
                         ::testing::Values(OpenCase{"Mercator", 0, "Google", 1, true, 1},
                                           OpenCase{"MapyCz", 0, "MapyCz", 0, true, 0},
                                           OpenCase{"SavedTypeTheSourceLacks", 0, "Google", 2, true, 0},
                                           OpenCase{"UnknownType", 0, "Bing", 0, false, 0},
                                           OpenCase{"NoSuchSource", 3, "Google", 0, false, 0}),
                         [](const auto& row) { return std::string(row.param.name); });
