// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LivePositionSource.h"
#include "gps/FixSink.h"
#include "gps/NmeaLineAssembler.h"
#include "platform/TextLookup.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace tw {

class Notifier;
class NmeaPort;

// One satellite of the sky view. A value missing in the sentence is -1; an
// empty slot has PRN -1 (0 after reception stopped).
struct SatelliteInfo {
    int prn = 0;
    int elevationDeg = 0;
    int azimuthDeg = 0;
    int snrDb = 0;
    bool used = false; // used in the fix
};

inline constexpr int kSatelliteSlots = 24;
using SatelliteTable = std::array<SatelliteInfo, kSatelliteSlots>;

// The receiver's state, copied under its lock.
struct GpsSnapshot {
    bool receiving = false;
    std::time_t receivingSince = 0; // when `receiving` last turned true
    int satsUsed = 0;
    int satsInView = 0;
    double utcTime = 0;   // hhmmss.ss as the receiver sent it
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    double speedKmh = 0;
    double altitudeM = 0; // above mean sea level
    double courseDeg = 0; // clockwise from north
    double pdop = 0, hdop = 0, vdop = 0; // hdop from GGA until a GSA sends one
    SatelliteTable satellites{}; // the last complete sky view
    // The last GGA or RMC was a real fix. Position and altitude are those of
    // the last real fix: a void, estimated or simulated one does not move them.
    bool hasFix = false;

    // A latitude of exactly 0 or no real fix: no usable position.
    bool hasPosition() const { return latitude != 0.0 && hasFix; }
};

// The NMEA receiver: one reader thread per connection reads the port, the
// window thread starts and stops it and reads the state with snapshot().
// Changes of the receiving state and the satellite counts are announced as
// Topic::Gps through the notifier.
class GpsReceiver final : public geo::LivePositionSource {
public:
    explicit GpsReceiver(Notifier& notifier);
    ~GpsReceiver() override;
    GpsReceiver(const GpsReceiver&) = delete;
    GpsReceiver& operator=(const GpsReceiver&) = delete;

    // Stops a running connection and starts the reader on portName (a
    // device path, "gpsd://host[:port]" or "replay:/path") at baudRate. The
    // reader opens the port, so that no port can hold up the caller; Start
    // waits up to kStartWait for the outcome. When the port fails by then it
    // prints the reason and "Error while opening GPS connection.\n" to the
    // standard output and returns false, with no reader left. A port still
    // opening then (a slow network) is the reader's: it prints the same
    // lines if the attempt fails and tries again every kReconnectPause.
    bool Start(const std::string& portName, unsigned baudRate);
    // Ends the reader (within a second even on a silent port), closes the
    // port, clears the receiving state and flushes the track logger.
    void Stop();
    bool isRunning() const;

    GpsSnapshot snapshot() const;
    // The position list distances are measured from in GPS mode.
    geo::LiveFix liveFix() const override;
    bool receiving() const { return m_receiving.load(); }
    int satsUsed() const { return m_satsUsed.load(); }
    int satsInView() const { return m_satsInView.load(); }
    std::string portName() const;
    unsigned baudRate() const;

    // The last known position, restored at start-up (degrees).
    void setPosition(double latitude, double longitude);
    void setFixSink(FixSink* sink);
    // The words of the lines the reader prints (English until set); texts
    // must outlive the receiver.
    void setTexts(const TextLookup& texts);

    // One sentence, as the reader hands it on (also for replaying without a
    // thread and for fuzzing): "$..." with or without line end.
    void dispatchLine(std::string_view line);
    // Feeds raw bytes through the line assembler, as the reader does with
    // what it read. False when a sentence overflowed the line buffer.
    bool feed(std::string_view bytes);

    // Called on the reader thread after each sentence with the state it
    // left; for monitors and tests. Set it while stopped.
    using SentenceObserver = std::function<void(std::string_view line, const GpsSnapshot& state)>;
    void setSentenceObserver(SentenceObserver observer);

    // Silence after which `receiving` turns false.
    static constexpr std::chrono::seconds kSilenceLimit{60};
    // Pause between two attempts to reopen a failed port.
    static constexpr std::chrono::milliseconds kReconnectPause{1000};
    // How long Start() waits for the port to open.
    static constexpr std::chrono::milliseconds kStartWait{500};

private:
    enum class OpenState { Pending, Opened, Failed };
    struct HeldFix {
        GpsFix fix;
        double sentAt = 0; // hhmmss.ss of its sentence
    };

    void run();
    void readerLoop();
    bool reopen(bool reported);
    void wake();
    bool waitForWake(std::chrono::milliseconds timeout);
    void setReceiving(bool on);
    void handleGga(std::string_view line);
    void handleRmc(std::string_view line);
    void handleGsa(std::string_view line);
    void handleGsv(std::string_view line);
    void swapTablesIfComplete();
    void forgetFixTimes();
    void handOn(const GpsFix& fix);
    void handOnHeld(std::optional<HeldFix>& held);
    bool gsaSaysNoFix(double sentAt) const { return m_noFixAt && *m_noFixAt == sentAt; }
    void post();
    // The lines printed when the port fails.
    std::string failureLine() const;
    std::string connectionFailedLine() const;

    Notifier& m_notifier;
    mutable std::mutex m_lock; // guards every field the reader writes
    GpsSnapshot m_state;       // its satellites are not used; the tables are
    std::array<SatelliteTable, 2> m_tables{};
    int m_front = 1; // index of the complete table; the other is being filled
    bool m_gsvComplete = false;
    bool m_gsaComplete = false;
    std::array<int, 48> m_usedPrns{}; // from the GSA sentences of this cycle
    std::size_t m_usedCount = 0;

    // The reader's view of which sentences carry the receiver's fixes and
    // their dates; forgotten when a connection starts.
    std::optional<std::time_t> m_lastFixTime; // the last dated fix (UTC)
    std::optional<HeldFix> m_heldGga; // a GGA before any date, waiting for its RMC
    std::optional<HeldFix> m_heldRmc; // an RMC fix, waiting to see if a GGA follows
    bool m_ggaSinceRmc = false;       // a GGA position came after the last RMC
    bool m_rmcSinceGga = false;       // an RMC came after the last GGA position
    bool m_gsaHdop = false;           // a GSA has sent an HDOP
    bool m_gsaNoFix = false;          // the last GSA run said "no fix"
    bool m_inGsaRun = false;          // GSAs since the last position sentence
    std::optional<double> m_lastPositionAt; // hhmmss.ss of the last GGA or RMC
    std::optional<double> m_noFixAt;  // the cycle a GSA called no fix
    std::atomic<bool> m_receiving{false};
    std::atomic<int> m_satsUsed{0};
    std::atomic<int> m_satsInView{0};

    std::string m_portName;
    unsigned m_baudRate = 0;
    std::unique_ptr<NmeaPort> m_port;
    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    int m_wakeFd = -1;
    // The first opening, handed from the reader to a waiting Start().
    std::mutex m_openMutex;
    std::condition_variable m_openChanged;
    OpenState m_openState = OpenState::Pending;
    bool m_startWaiting = false; // Start() reports a failure; else the reader does
    std::atomic<FixSink*> m_sink{nullptr};
    std::atomic<const TextLookup*> m_texts{&englishTexts()};
    SentenceObserver m_observer;
    NmeaLineAssembler m_assembler;
    std::chrono::steady_clock::time_point m_lastLine{};
};

} // namespace tw
