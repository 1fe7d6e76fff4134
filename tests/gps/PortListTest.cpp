// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/PortList.h"

#include "gps/GpsReceiver.h"
#include "platform/RecordingNotifier.h"
#include "tests/TestSupport.h"
#include "tests/gps/GpsTestSupport.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace tw {
namespace {

class PortListTest : public test::TempDirTest {};

TEST_F(PortListTest, StableNamesFirstThenUsbWithProductThenBluetooth)
{
    const PortScanRoots roots{dir / "dev", dir / "sys" / "class" / "tty"};
    fs::create_directories(roots.dev / "serial" / "by-id");
    test::writeFile(roots.dev / "ttyUSB0", "");
    test::writeFile(roots.dev / "rfcomm0", "");
    fs::create_symlink(roots.dev / "ttyUSB0", roots.dev / "serial" / "by-id" / "usb-Prolific_GPS-if00-port0");
    // sysfs: ttyACM0 below a USB device that names its product.
    const fs::path usb = dir / "sys" / "devices" / "usb1" / "1-1";
    fs::create_directories(usb / "1-1:1.0" / "tty");
    test::writeFile(usb / "product", "u-blox 7 - GPS/GNSS Receiver\n");
    fs::create_directories(roots.sysClassTty / "ttyACM0");
    fs::create_symlink(usb / "1-1:1.0", roots.sysClassTty / "ttyACM0" / "device");
    fs::create_directories(roots.sysClassTty / "ttyUSB0");
    fs::create_symlink(usb / "1-1:1.0", roots.sysClassTty / "ttyUSB0" / "device");

    const auto ports = EnumeratePorts("gpsd://localhost", roots);
    ASSERT_EQ(ports.size(), 4u);
    EXPECT_EQ(ports[0].description, "usb-Prolific_GPS-if00-port0");
    EXPECT_EQ(ports[1].name, (roots.dev / "ttyACM0").string());
    EXPECT_EQ(ports[1].description, "u-blox 7 - GPS/GNSS Receiver");
    EXPECT_EQ(ports[2].description, "Bluetooth");
    EXPECT_EQ(ports[3].name, "gpsd://localhost");
}

TEST(DetectGpsTest, FindsTheTalkingPortAndLeavesItRunning)
{
    RecordingNotifier notifier;
    GpsReceiver receiver(notifier);
    test::FakeReceiver device;
    device.send("$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53\r\n");
    testing::internal::CaptureStdout();
    const auto found = DetectGps(receiver, {{"/dev/none-tarnwick", ""}, {device.slaveName(), ""}}, "", 0);
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->name, device.slaveName());
    EXPECT_EQ(found->baudRate, 4800u);
    EXPECT_TRUE(receiver.isRunning());
    receiver.Stop();
}

} // namespace
} // namespace tw
