// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tw {

// A usable GGA position as handed to the track logger.
struct GpsFix {
    double latitude = 0;
    double longitude = 0;
    double altitudeM = 0;
    double hdop = 0;     // from the last GSA, 0 before one came
    int satsUsed = 0;
    double speedKmh = 0; // from the last RMC
};

// What the receiver feeds: the track logger.
class FixSink {
public:
    virtual ~FixSink() = default;
    // Called on the reader thread for every usable GGA sentence.
    virtual void appendFix(const GpsFix& fix) = 0;
    // Called by Stop() after the reader has ended.
    virtual void flushBuffer() = 0;
};

} // namespace tw
