// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class GpsReceiver;

// The speeds a serial receiver is tried at and offered in the settings, bit/s.
inline constexpr std::array<unsigned, 6> kGpsSpeeds{4800, 9600, 19200, 38400, 57600, 115200};

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
// name and speed are returned. When none answers, or when cancel turns true
// (checked between two polls), the receiver is started on the fallback and
// nothing is returned. tried, when set, hears of every port and speed before
// it is tried (on the caller's thread: run it on a worker of its own).
struct DetectedPort {
    std::string name;
    unsigned baudRate = 0;
};
using DetectProgress = std::function<void(const std::string& port, unsigned baudRate)>;
std::optional<DetectedPort> DetectGps(GpsReceiver& receiver, const std::vector<PortInfo>& ports,
                                      const std::string& fallbackPort, unsigned fallbackBaud,
                                      const std::atomic<bool>* cancel = nullptr, const DetectProgress& tried = {});

} // namespace tw
