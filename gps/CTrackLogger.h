// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "gps/FixSink.h"
#include "gps/PositionAveraging.h"
#include "gps/TrackPoint.h"
#include "platform/TextLookup.h"

#include <atomic>
#include <cstddef>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace SQLite {
class Database;
}

namespace tw {

class Prompter;
class ProximityAlert;

// The running statistics of the current track (the trip computer's values).
struct TrackStatistics {
    double totalDistanceKm = 0;
    double minAltitude = 0; // metres
    double maxAltitude = 0;
    double maxSpeedKmh = 0;
    std::time_t startTime = 0; // first point added in memory; 0 = none yet
    std::time_t duration = 0;  // seconds between the stored points at opening
};

// One row of the track manager: a stored track, newest first.
struct TrackListEntry {
    int trackId = 0;
    int date = 0;      // start marker, YYYYMMDD local
    int time = 0;      // HHMMSS local
    std::string name;  // as stored; empty when the user gave none
    int pointCount = 0; // including the start marker
};

// Start marker and name of one track.
struct TrackHeader {
    int date = 0;
    int time = 0;
    std::string name;
};

// Records the positions of the receiver into numbered tracks of the track
// database. appendFix runs on the receiver's thread, everything else on the
// window thread; one mutex of the logger keeps the lists, the statistics
// and the track database to one thread at a time.
class CTrackLogger final : public FixSink {
public:
    static constexpr std::size_t kMaxPoints = 5000;
    static constexpr std::size_t kMaxProfileEntries = 500;

    CTrackLogger(SQLite::Database& db, Prompter& prompter);

    using LogFunction = std::function<void(const std::string&, const std::string&)>;
    void setLog(LogFunction log);
    // The words of the logger's messages (English until set); texts must
    // outlive the logger.
    void setTexts(const TextLookup& texts);
    // The system clock unless a test sets another.
    void setClock(std::function<std::time_t()> clock);
    void setProximityAlert(ProximityAlert* alert);
    // The settings SaveTrackLog and MaxTrackBuffer.
    void setRecording(bool on) { m_recording = on; }
    bool recording() const { return m_recording; }
    void setMaxTrackBuffer(int points) { m_maxTrackBuffer = points; }

    // Creates or upgrades the tables, finds the current track (the one whose
    // newest row is latest; a fresh database gets track 1 with a start
    // marker) and rebuilds the statistics and the profile from it. False
    // when the database is not open or failed (shown to the user).
    bool openTrackLog();
    bool isOpen() const;

    // A fix of the receiver, at the time the receiver gave it.
    void appendFix(const GpsFix& fix) override;
    // A position at the clock's time; none when satsUsed is 0.
    void appendTrack(double lat, double lon, double alt, double hdop, int satsUsed, double speedKmh);
    // Writes the buffered points in one transaction; on failure they stay
    // buffered for the next attempt.
    void flushBuffer() override;
    bool dbAdd(const TrackPoint& point, bool ownTransaction);
    // Flushes and begins the next track with a start marker.
    void newTrack();
    void deleteTrack(int trackId);
    void deleteAllTracks();
    bool renameTrack(int trackId, const std::string& name);

    std::vector<TrackListEntry> listTracks();
    std::vector<int> trackIds();
    std::optional<TrackHeader> trackHeader(int trackId);
    // The points of one track in recording order, start marker excluded,
    // after flushing. ok is false when the database failed on the way (the
    // points read so far are returned).
    std::vector<TrackPoint> trackPoints(int trackId, bool* ok = nullptr);

    int currentTrackId() const;
    std::size_t bufferedPoints() const;
    // Newest first, at most max.
    std::vector<TrackPoint> recentPoints(std::size_t max = 500) const;
    TrackStatistics statistics() const;
    // Altitude (m) by step of 20 m along the track, and where it begins.
    std::map<int, double> altitudeProfile() const;
    double profileStartKm() const;
    // The statistics and the profile, unless the receiver's thread holds the
    // logger (a flush to the database): then false at once, so that a
    // repaint never waits for it.
    bool tryReadTrip(TrackStatistics& stats, std::map<int, double>& profile) const;

    // Owned by the window thread: the loaded route (each of its routes and
    // tracks a line of its own) and position averaging.
    std::vector<std::vector<geo::LatLon>> route;
    PositionAveraging averaging;

private:
    // Shows a database failure of the logger (exclamation icon).
    void showError(const std::string& reason);
    void log(const std::string& text) const;
    void flushLocked();
    // Filters the point by time and distance and records it.
    void appendLocked(const TrackPoint& point, double speedKmh);
    bool dbAddLocked(const TrackPoint& point, bool ownTransaction);
    void resetMemory();
    void deleteTrackLocked(int trackId);
    int nextTrackId();
    void rebuildProfile();
    void addToProfile(double alt);
    std::time_t now() const;

    SQLite::Database& m_db;
    Prompter& m_prompter;
    std::atomic<const TextLookup*> m_texts{&englishTexts()};
    LogFunction m_log;
    std::function<std::time_t()> m_clock;
    ProximityAlert* m_alert = nullptr;
    std::atomic<bool> m_recording{false};
    std::atomic<int> m_maxTrackBuffer{30};

    mutable std::mutex m_mutex;
    bool m_open = false;
    bool m_errorShown = false;
    std::deque<TrackPoint> m_points;      // newest first
    std::deque<TrackPoint> m_writeBuffer; // newest first
    std::map<int, double> m_profile;
    std::time_t m_lastPointTime = 0;
    int m_currentTrackId = 0;
    TrackStatistics m_stats;
    int m_profileLastStep = 0;
    double m_profileLastAltitude = 0;
    double m_profileStartKm = 0;
};

} // namespace tw
