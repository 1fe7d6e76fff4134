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

namespace tw {
class CGlobalData;
}

namespace tw::test {

// Opens a fresh copy of the template database with caches GC1000... , each
// with logs logs and a parking waypoint, and lets the saved filter through every one of them.
void fillCacheDb(CGlobalData& global, int caches, int logs);

} // namespace tw::test
