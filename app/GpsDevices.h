// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tw::gpsdevice {

// A handheld GPS that mounts as USB storage: a volume with Garmin/GarminDevice.xml.
struct Device {
    std::string root;  // the volume's folder (holds Garmin/)
    std::string id;    // the unit's Id from Garmin/GarminDevice.xml, or "" when unreadable
    std::string model; // its Model/Description, or ""
};

// The description file is a few kilobytes; a larger one is not the unit's.
inline constexpr std::size_t kMaxDeviceFileBytes = 1u << 20;

// The device at a folder the user gave: the volume, its Garmin/ folder or
// Garmin/GPX/; nullopt when there is no Garmin/GarminDevice.xml there (a
// regular file, after its links).
std::optional<Device> DeviceAt(const std::string& folder);

// Where the unit reads GPX files from: root/Garmin/GPX.
std::string gpxFolder(const Device& device);

// The folders whose subfolders are volumes: /media/$USER, /run/media/$USER,
// /media and /mnt (without the $USER ones when USER is not set).
std::vector<std::string> mountParents();

// Mounted devices: every subfolder of the mount parents that is one, each
// volume once, in the order of the parents and by name within one; the
// configured folder (may be empty) first when it is one.
std::vector<Device> FindDevices(const std::string& configured);
std::vector<Device> FindDevices(const std::string& configured, const std::vector<std::string>& parents);

// The Id and Model/Description of a GarminDevice.xml text.
void readDeviceXml(const std::string& bytes, Device& device);

} // namespace tw::gpsdevice
