// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/app/FakeDevice.h"

#include "app/CGlobalData.h"
#include "db/CacheStore.h"
#include "tests/TestSupport.h"

#include <sqlite3.h>

namespace fs = std::filesystem;

namespace tw::test {

std::string deviceXml(const std::string& id, const std::string& model)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?>\n"
           "<Device xmlns=\"http://www.garmin.com/xmlschemas/GarminDevice/v2\">\n"
           "  <Model>\n    <PartNumber>006-B1095-00</PartNumber>\n    <SoftwareVersion>430</SoftwareVersion>\n"
           "    <Description>" + model + "</Description>\n  </Model>\n"
           "  <Id>" + id + "</Id>\n  <DisplayName>My unit</DisplayName>\n"
           "  <MassStorageMode>\n    <DataType>\n      <Name>GPSData</Name>\n      <File>\n"
           "        <Location><BaseDirectoryPath>Garmin/GPX</BaseDirectoryPath><FileExtension>GPX</FileExtension></Location>\n"
           "        <TransferDirection>InputOutput</TransferDirection>\n      </File>\n    </DataType>\n"
           "    <DataType><Name>FitnessHistory</Name><Id>77</Id></DataType>\n"
           "  </MassStorageMode>\n</Device>\n";
}

fs::path makeFakeDevice(const fs::path& volume, const std::string& id, const std::string& model)
{
    fs::create_directories(volume / "Garmin" / "GPX");
    writeFile(volume / "Garmin" / "GarminDevice.xml", deviceXml(id, model));
    return volume;
}

void fillCacheDb(CGlobalData& global, int caches, int logs)
{
    copyTemplateDb(global.settings.dbFile);
    ASSERT_EQ(global.db.cacheDb.OpenFile(global.settings.dbFile), SQLITE_OK);
    global.db.InitTagCategories();
    CacheStore store(global.db.cacheDb, global.db.tagCategories);
    for (int i = 0; i < caches; ++i) {
        CGeocache c;
        c.code = "GC" + std::to_string(1000 + i);
        c.name = "Cache " + std::to_string(i);
        c.author = "owner";
        c.lat = 50.0 + i * 1e-4;
        c.lon = 14.0;
        c.difficulty = 15;
        c.terrain = 20;
        c.longDesc = "<p>The <b>listing</b> of cache " + std::to_string(i) + "</p>";
        c.longDescHtml = 1;
        ASSERT_TRUE(store.InsertCache(c));
        for (int n = 0; n < logs; ++n) {
            CGeoLog log;
            log.logId = i * 100 + n + 1;
            log.date = 20260101 + n % 28;
            log.type = LogType::FoundIt;
            log.finder = "finder " + std::to_string(n);
            log.text = "log " + std::to_string(n) + " of " + c.code;
            store.InsertLog(log, c.code);
        }
        CWaypoint w;
        w.prefix = "PK";
        w.code = c.code;
        w.name = "Parking";
        w.type = WaypointType::Parking;
        w.lat = c.lat + 0.001;
        w.lon = c.lon;
        ASSERT_TRUE(store.InsertWaypoint(w));
    }
    auto& filter = global.list.filter;
    filter.active = filter.disabled = filter.archived = 1;
    filter.found = filter.owned = 2;
    global.list.saveFilter();
}

} // namespace tw::test
