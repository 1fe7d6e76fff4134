// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class GpsReceiver;

struct PortInfo {
    std::string name;        // what Start() takes: a device path or a gpsd:/replay: name
    std::string description; // product name, "Bluetooth", or empty
};

// Where the ports are looked for; tests point these at a folder of their own.
struct PortScanRoots {
    std::filesystem::path dev = "/dev";
    std::filesystem::path sysClassTty = "/sys/class/tty";
};

// The serial ports of this machine for the GPS settings: the stable names in
// dev/serial/by-id first, then USB and ACM devices not covered by them (with
// the USB product name), then dev/rfcomm* as "Bluetooth". A configured
// gpsd:// or replay: port is listed as well.
std::vector<PortInfo> EnumeratePorts(const std::string& configuredPort = {}, const PortScanRoots& roots = {});

// Tries every port at 4800 to 115200 bit/s (virtual ports once) until one
// delivers sentences within 2.5 s and leaves that connection running; its
// name and speed are returned. When none answers, the receiver is started on
// the fallback and nothing is returned.
struct DetectedPort {
    std::string name;
    unsigned baudRate = 0;
};
std::optional<DetectedPort> DetectGps(GpsReceiver& receiver, const std::vector<PortInfo>& ports,
                                      const std::string& fallbackPort, unsigned fallbackBaud);

} // namespace tw
