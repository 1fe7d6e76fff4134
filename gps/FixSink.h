// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <optional>

namespace tw {

// A real fix of the receiver as handed to the track logger: from GGA, or
// from RMC for a receiver that sends no GGA.
struct GpsFix {
    double latitude = 0;
    double longitude = 0;
    double altitudeM = 0; // 0 from a receiver that sends no GGA
    double hdop = 0;     // from the last GSA; from GGA when no GSA came
    int satsUsed = 0;    // 0 from receivers that send "00" with a fix
    double speedKmh = 0; // from the last RMC
    // When the receiver took the fix: seconds since 1970 (UTC) once an RMC
    // has given the date; only the UTC second of the day (0–86399) from a
    // receiver that sends no date; neither when it sent no time.
    std::optional<std::time_t> utcTime;
    std::optional<int> utcSecondOfDay;
};

// What the receiver feeds: the track logger.
class FixSink {
public:
    virtual ~FixSink() = default;
    // Called on the reader thread for every real fix, never for a position
    // the receiver marks as void, estimated or simulated.
    virtual void appendFix(const GpsFix& fix) = 0;
    // Called by Stop() after the reader has ended.
    virtual void flushBuffer() = 0;
};

} // namespace tw
