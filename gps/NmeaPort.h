// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>

struct addrinfo;

namespace tw {

// What opening a port failed at; the receiver words it for the user.
enum class PortFailure { None, Open, ReadState, WriteState, Gpsd };

// Where NMEA sentences come from. The receiver's reader waits on fd() with
// poll() and reads it with read(); an end of data or an error makes it close
// the port and open it again a second later.
class NmeaPort {
public:
    virtual ~NmeaPort() = default;
    // wakeFd becomes readable when the receiver is being stopped: an open
    // that waits (a network connect) gives up then. On failure failure()
    // says why.
    virtual bool open(int wakeFd) = 0;
    virtual void close() = 0;
    virtual int fd() const = 0;
    PortFailure failure() const { return m_failure; }

protected:
    PortFailure m_failure = PortFailure::None;
};

inline constexpr const char* kGpsdScheme = "gpsd://";
inline constexpr const char* kReplayScheme = "replay:";
inline constexpr int kGpsdDefaultPort = 2947;

// The port for a configured name: "gpsd://host[:port]" (a gpsd daemon's
// NMEA watch over TCP), "replay:/path/to/log" (a recorded log played at the
// pace of its time stamps; lines starting with '#' are skipped), or a serial
// device path opened at baudRate.
std::unique_ptr<NmeaPort> makeNmeaPort(const std::string& name, unsigned baudRate);

// How a gpsd address is turned into socket addresses: getaddrinfo(), or a
// stand-in of the same form.
using GpsdLookup = std::function<int(const char* host, const char* service, const addrinfo* hints,
                                     addrinfo** found)>;
// The port for "host[:port]" (the part after "gpsd://").
std::unique_ptr<NmeaPort> makeGpsdPort(const std::string& address, GpsdLookup lookup);

// True for the names that are not serial devices (the speed does not matter).
bool isVirtualPortName(const std::string& name);

} // namespace tw
