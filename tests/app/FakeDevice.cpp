// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/app/FakeDevice.h"

#include "tests/TestSupport.h"

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
           "        <Specification><Identifier>http://www.topografix.com/GPX/1/1</Identifier></Specification>\n"
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

} // namespace tw::test
