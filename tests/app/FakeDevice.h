// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

namespace tw::test {

// A GarminDevice.xml as units write it: the declaration, the namespace,
// data types with ids of their own below the unit's.
std::string deviceXml(const std::string& id, const std::string& model);

// Makes volume/Garmin/GarminDevice.xml (and Garmin/GPX/) of a unit; returns volume.
std::filesystem::path makeFakeDevice(const std::filesystem::path& volume, const std::string& id = "3849583012",
                                     const std::string& model = "eTrex 30");

} // namespace tw::test
