// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/PortList.h"

#include "gps/GpsReceiver.h"
#include "gps/NmeaPort.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr int kPolls = 5;
constexpr std::chrono::milliseconds kPollPause{500};

std::string firstLine(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// The USB product name sits in an ancestor of the tty's device folder: the
// interface for ACM, the port below the interface for USB serial adapters.
std::string usbProduct(const fs::path& deviceLink)
{
    std::error_code ec;
    fs::path dir = fs::canonical(deviceLink, ec);
    for (int up = 0; up < 4 && !ec && !dir.empty(); ++up, dir = dir.parent_path())
        if (fs::exists(dir / "product", ec))
            return firstLine(dir / "product");
    return {};
}

std::vector<fs::path> sorted(const fs::path& dir, const std::string& prefix)
{
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec))
        if (e.path().filename().string().rfind(prefix, 0) == 0)
            out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

std::vector<PortInfo> EnumeratePorts(const std::string& configuredPort, const PortScanRoots& roots)
{
    std::vector<PortInfo> ports;
    std::set<std::string> covered;
    std::error_code ec;
    for (const fs::path& link : sorted(roots.dev / "serial" / "by-id", "")) {
        const fs::path target = fs::canonical(link, ec);
        if (!ec)
            covered.insert(target.filename().string());
        ports.push_back({link.string(), link.filename().string()});
    }
    for (const char* prefix : {"ttyUSB", "ttyACM"}) {
        for (const fs::path& tty : sorted(roots.sysClassTty, prefix)) {
            const std::string name = tty.filename().string();
            if (covered.count(name) || !fs::exists(tty / "device", ec))
                continue;
            ports.push_back({(roots.dev / name).string(), usbProduct(tty / "device")});
        }
    }
    for (const fs::path& rfcomm : sorted(roots.dev, "rfcomm"))
        ports.push_back({rfcomm.string(), "Bluetooth"});
    if (isVirtualPortName(configuredPort))
        ports.push_back({configuredPort, configuredPort.rfind(kGpsdScheme, 0) == 0 ? "gpsd" : "Replay"});
    return ports;
}

std::optional<DetectedPort> DetectGps(GpsReceiver& receiver, const std::vector<PortInfo>& ports,
                                      const std::string& fallbackPort, unsigned fallbackBaud,
                                      const std::atomic<bool>* cancel, const DetectProgress& tried)
{
    auto cancelled = [cancel] { return cancel && cancel->load(); };
    receiver.Stop();
    for (const PortInfo& port : ports) {
        for (const unsigned speed : kGpsSpeeds) {
            if (cancelled())
                break;
            if (tried)
                tried(port.name, speed);
            if (receiver.Start(port.name, speed)) {
                for (int i = 0; i < kPolls && !cancelled(); ++i) {
                    if (receiver.receiving())
                        return DetectedPort{port.name, speed};
                    std::this_thread::sleep_for(kPollPause);
                }
                if (receiver.receiving() && !cancelled())
                    return DetectedPort{port.name, speed};
                receiver.Stop();
            }
            if (isVirtualPortName(port.name))
                break; // the speed means nothing there
        }
    }
    if (fallbackBaud != 0 && !fallbackPort.empty())
        receiver.Start(fallbackPort, fallbackBaud);
    return std::nullopt;
}

} // namespace tw
