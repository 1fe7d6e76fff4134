// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GpsDevices.h"
#include "tests/TestSupport.h"
#include "tests/app/FakeDevice.h"

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace tw::gpsdevice {
namespace {

using GpsDevicesTest = test::TempDirTest;

TEST_F(GpsDevicesTest, TheVolumeItsGarminFolderAndItsGpxFolderNameTheSameUnit)
{
    const fs::path volume = test::makeFakeDevice(dir / "GARMIN", "3849583012", "eTrex 30");
    for (const fs::path& given : {volume, volume / "Garmin", volume / "Garmin" / "GPX", volume / "Garmin" / "GPX" / ""}) {
        const auto device = DeviceAt(given.string());
        ASSERT_TRUE(device) << given;
        EXPECT_EQ(device->root, volume.string());
        EXPECT_EQ(device->id, "3849583012"); // not the data type's Id 77
        EXPECT_EQ(device->model, "eTrex 30");
    }
    EXPECT_EQ(gpxFolder(*DeviceAt(volume.string())), (volume / "Garmin" / "GPX").string());
}

TEST_F(GpsDevicesTest, AFolderWithoutTheDescriptionFileIsNoDevice)
{
    fs::create_directories(dir / "stick" / "Garmin" / "GPX");
    EXPECT_FALSE(DeviceAt((dir / "stick").string()));
    EXPECT_FALSE(DeviceAt((dir / "stick" / "Garmin" / "GPX").string()));
    EXPECT_FALSE(DeviceAt((dir / "nowhere").string()));
    EXPECT_FALSE(DeviceAt(""));
    // A folder in the place of the file, or a link to a device file.
    fs::create_directories(dir / "odd" / "Garmin" / "GarminDevice.xml");
    EXPECT_FALSE(DeviceAt((dir / "odd").string()));
    fs::create_directories(dir / "linked" / "Garmin");
    fs::create_symlink("/dev/zero", dir / "linked" / "Garmin" / "GarminDevice.xml");
    EXPECT_FALSE(DeviceAt((dir / "linked").string()));
}

TEST_F(GpsDevicesTest, AnUnreadableDescriptionStillNamesTheDeviceWithoutIdOrModel)
{
    const fs::path big = dir / "big";
    fs::create_directories(big / "Garmin");
    test::writeFile(big / "Garmin" / "GarminDevice.xml",
                    test::deviceXml("1", "Big") + std::string(kMaxDeviceFileBytes, ' '));
    const auto device = DeviceAt(big.string());
    ASSERT_TRUE(device);
    EXPECT_EQ(device->id, "");
    EXPECT_EQ(device->model, "");

    const fs::path broken = dir / "broken";
    fs::create_directories(broken / "Garmin");
    test::writeFile(broken / "Garmin" / "GarminDevice.xml", "<Device><Model><Description>Half");
    ASSERT_TRUE(DeviceAt(broken.string()));
    EXPECT_EQ(DeviceAt(broken.string())->model, "");
}

TEST_F(GpsDevicesTest, FindDevicesListsTheMountedUnitsOnceWithTheConfiguredFirst)
{
    const fs::path media = dir / "media" / "anna";
    const fs::path mnt = dir / "mnt";
    test::makeFakeDevice(media / "B-UNIT", "2", "GPSMAP 64s");
    test::makeFakeDevice(media / "A-UNIT", "1", "eTrex 30");
    fs::create_directories(media / "USBSTICK" / "DCIM");
    test::makeFakeDevice(mnt / "card", "3", "Oregon 600");
    test::writeFile(mnt / "notes.txt", "not a volume");
    const std::vector<std::string> parents{media.string(), (dir / "run" / "media" / "anna").string(),
                                           (dir / "media").string(), mnt.string()};

    auto devices = FindDevices("", parents);
    ASSERT_EQ(devices.size(), 3u); // /media itself holds the user's folder, which is no unit
    EXPECT_EQ(devices[0].id, "1");
    EXPECT_EQ(devices[1].id, "2");
    EXPECT_EQ(devices[2].id, "3");

    // The configured folder comes first, given as its GPX folder, and only once.
    devices = FindDevices((mnt / "card" / "Garmin" / "GPX").string(), parents);
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0].id, "3");
    EXPECT_EQ(devices[1].id, "1");

    // A configured folder that is no device (any more) is left out.
    EXPECT_EQ(FindDevices((media / "USBSTICK").string(), parents).size(), 3u);
    EXPECT_TRUE(FindDevices("", {(dir / "absent").string()}).empty());
}

TEST(GpsDeviceDefaults, TheUsersMountFoldersComeBeforeTheSharedOnes)
{
    const auto parents = mountParents();
    ASSERT_GE(parents.size(), 2u);
    EXPECT_EQ(parents[parents.size() - 2], "/media");
    EXPECT_EQ(parents.back(), "/mnt");
}

} // namespace
} // namespace tw::gpsdevice
