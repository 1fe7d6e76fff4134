// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/CTrackLogger.h"

#include "db/Database.h"
#include "db/SqlError.h"
#include "db/Statement.h"
#include "db/TrackSchema.h"
#include "db/Transaction.h"
#include "geo/GeoMath.h"
#include "gps/FixTime.h"
#include "gps/ProximityAlert.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

#include <sqlite3.h>

#include <cmath>

namespace tw {
namespace {

constexpr double kStillDeg = 0.0001;   // closer to the newest point: standing still
constexpr double kJumpDeg = 0.003;     // farther within kJumpWindowS: a jump of the receiver
constexpr std::time_t kJumpWindowS = 30;
constexpr std::time_t kMinIntervalS = 2;
constexpr int kTextSqliteError = 986;
constexpr int kStepsPerKm = 50;        // profile steps of 20 m
constexpr double kKmPerStep = 0.02;
constexpr const char* kPointsOfTrack =
    "SELECT * FROM `track_log` WHERE `trackid` = ? AND `lat` <> 0 AND `lon` <> 0 AND `lat` <> 0 ORDER BY `key` ";

double distanceKm(const TrackPoint& a, const TrackPoint& b)
{
    return geo::distanceKm({a.lat, a.lon}, {b.lat, b.lon});
}

TrackPoint pointFromRow(const SQLite::Statement& s)
{
    TrackPoint p;
    p.time = fromStoredTime(s.ColumnInt(2), s.ColumnInt(3));
    p.lat = s.ColumnDouble(4);
    p.lon = s.ColumnDouble(5);
    p.alt = s.ColumnDouble(6);
    p.hdop = s.ColumnDouble(7);
    return p;
}

int stepOf(double distanceKm)
{
    return static_cast<int>(std::trunc(distanceKm * kStepsPerKm));
}

} // namespace

CTrackLogger::CTrackLogger(SQLite::Database& db, Prompter& prompter)
    : m_db(db), m_prompter(prompter), m_clock([] { return std::time(nullptr); })
{
}

void CTrackLogger::setLog(LogFunction log)
{
    std::lock_guard lock(m_mutex);
    m_log = std::move(log);
}

void CTrackLogger::setTexts(const TextLookup& texts)
{
    m_texts = &texts;
}

void CTrackLogger::showError(const std::string& reason)
{
    m_prompter.message(
        text::fillIn(m_texts.load()->textOr(kTextSqliteError, "TrackLogger - SQLite error: %s"), {reason}),
        MessageIcon::Exclamation);
}

void CTrackLogger::setClock(std::function<std::time_t()> clock)
{
    std::lock_guard lock(m_mutex);
    m_clock = std::move(clock);
}

void CTrackLogger::setProximityAlert(ProximityAlert* alert)
{
    std::lock_guard lock(m_mutex);
    m_alert = alert;
}

void CTrackLogger::log(const std::string& text) const
{
    if (m_log)
        m_log(text, {});
}

std::time_t CTrackLogger::now() const
{
    return m_clock();
}

bool CTrackLogger::isOpen() const
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

bool CTrackLogger::openTrackLog()
{
    std::lock_guard lock(m_mutex);
    m_open = false;
    resetMemory();
    if (!m_db.opened())
        return false;
    try {
        createOrUpgradeTrackTables(m_db);
        {
            SQLite::Statement q(m_db, "SELECT `trackid` FROM `track_log` ORDER BY `date` DESC, `time` DESC LIMIT 1");
            m_currentTrackId = q.Step() == SQLITE_ROW ? q.ColumnInt(0) : 0;
        }
        m_open = true;
        if (m_currentTrackId == 0) {
            m_currentTrackId = 1;
            dbAddLocked(TrackPoint{0, 0, 0, 0, now()}, true);
        }

        m_stats = {};
        double minAlt = 99999.0, maxAlt = -99999.0;
        std::optional<TrackPoint> first, previous;
        {
            SQLite::Statement q(m_db, std::string(kPointsOfTrack) + "ASC");
            q.BindInt(1, m_currentTrackId);
            while (q.Step() == SQLITE_ROW) {
                const TrackPoint p = pointFromRow(q);
                if (!first)
                    first = p;
                if (previous)
                    m_stats.totalDistanceKm += distanceKm(*previous, p);
                if (p.alt > maxAlt)
                    maxAlt = p.alt;
                if (p.alt < minAlt || minAlt == 0.0)
                    minAlt = p.alt;
                previous = p;
            }
        }
        if (first)
            m_stats.duration = previous->time - first->time;
        m_stats.minAltitude = minAlt == 99999.0 ? 0 : minAlt;
        m_stats.maxAltitude = maxAlt == -99999.0 ? 0 : maxAlt;

        SQLite::Statement q(m_db, std::string(kPointsOfTrack) + "DESC LIMIT ?");
        q.BindInt(1, m_currentTrackId);
        q.BindInt(2, static_cast<long long>(kMaxPoints));
        while (q.Step() == SQLITE_ROW)
            m_points.push_back(pointFromRow(q));
        rebuildProfile();
    } catch (const SQLite::Error& e) {
        showError(e.message);
        return m_open;
    }
    return true;
}

void CTrackLogger::rebuildProfile()
{
    if (m_points.empty())
        return;
    double d = m_stats.totalDistanceKm;
    int previousStep = stepOf(d);
    double previousAlt = m_points.front().alt;
    m_profile[previousStep] = previousAlt;
    m_profileLastStep = previousStep;
    m_profileLastAltitude = previousAlt;
    m_profileStartKm = d;
    for (std::size_t i = 1; i < m_points.size() && m_profile.size() < kMaxProfileEntries; ++i) {
        d = std::max(0.0, d - distanceKm(m_points[i - 1], m_points[i]));
        const int step = stepOf(d);
        const double alt = m_points[i].alt;
        for (int k = step + 1; k < previousStep; ++k)
            m_profile.emplace(k, alt + static_cast<double>(k - step) / (previousStep - step) * (previousAlt - alt));
        m_profile.emplace(step, alt); // a newer point of the same step wins
        previousStep = step;
        previousAlt = alt;
        m_profileStartKm = d;
    }
}

void CTrackLogger::appendFix(const GpsFix& fix)
{
    std::lock_guard lock(m_mutex);
    if (!m_recording || !m_open)
        return;
    // The receiver's own time, so that a replayed log keeps its day; the
    // clock only dates a receiver that sends no date, or times one that
    // sends no time.
    std::time_t t = 0;
    if (fix.utcTime)
        t = *fix.utcTime;
    else if (fix.utcSecondOfDay)
        t = nmea::onNearestDay(*fix.utcSecondOfDay, now());
    else
        t = now();
    // The receiver has told it is a fix: a receiver may send "00" satellites
    // with one.
    appendLocked({fix.latitude, fix.longitude, fix.altitudeM, fix.hdop, t}, fix.speedKmh);
}

void CTrackLogger::addToProfile(double alt)
{
    const int step = stepOf(m_stats.totalDistanceKm);
    if (m_profileLastStep >= 1 && step - m_profileLastStep >= 2) {
        const int span = step - m_profileLastStep;
        for (int i = 1; i < span; ++i)
            m_profile[m_profileLastStep + i] =
                m_profileLastAltitude + static_cast<double>(i) / span * (alt - m_profileLastAltitude);
    }
    m_profile[step] = alt;
    m_profileLastStep = step;
    m_profileLastAltitude = alt;
    while (m_profile.size() > kMaxProfileEntries) {
        m_profileStartKm = m_profile.begin()->first * kKmPerStep;
        m_profile.erase(m_profile.begin());
    }
}

void CTrackLogger::appendTrack(double lat, double lon, double alt, double hdop, int satsUsed, double speedKmh)
{
    std::lock_guard lock(m_mutex);
    if (!m_recording || !m_open)
        return;
    const std::time_t t = now();
    if (t - m_lastPointTime < kMinIntervalS)
        return;
    if (satsUsed == 0) {
        log("CTrackLogger::BEGIN: appendTrack");
        log("END: CTrackLogger::appendTrack");
        return;
    }
    appendLocked({lat, lon, alt, hdop, t}, speedKmh);
}

void CTrackLogger::appendLocked(const TrackPoint& point, double speedKmh)
{
    const std::time_t t = point.time;
    // A time before the last point's (another log replayed, a receiver
    // whose clock was reset) starts afresh rather than stopping the track
    // until that time comes round again.
    const bool later = t >= m_lastPointTime;
    if (later && t - m_lastPointTime < kMinIntervalS)
        return;
    log("CTrackLogger::BEGIN: appendTrack");
    const double lat = point.lat, lon = point.lon, alt = point.alt;
    bool keep = true;
    if (m_points.empty()) {
        m_stats.startTime = t;
    } else {
        const TrackPoint& newest = m_points.front();
        const double dLat = std::abs(lat - newest.lat);
        const double dLon = std::abs(lon - newest.lon);
        if (dLat <= kStillDeg && dLon <= kStillDeg)
            keep = false;
        else if ((dLat >= kJumpDeg || dLon >= kJumpDeg) && later && t - m_lastPointTime <= kJumpWindowS)
            keep = false;
        if (keep) {
            while (m_points.size() > kMaxPoints)
                m_points.pop_back();
            m_stats.totalDistanceKm += distanceKm(newest, point);
            addToProfile(alt);
            if (alt > m_stats.maxAltitude)
                m_stats.maxAltitude = alt;
            if (alt < m_stats.minAltitude || m_stats.minAltitude == 0.0)
                m_stats.minAltitude = alt;
            if (speedKmh > m_stats.maxSpeedKmh)
                m_stats.maxSpeedKmh = speedKmh;
        }
    }
    if (keep) {
        m_writeBuffer.push_front(point);
        m_points.push_front(point);
        m_lastPointTime = t;
    }
    if (m_writeBuffer.size() > static_cast<std::size_t>(std::max(0, m_maxTrackBuffer.load())))
        flushLocked();
    if (m_alert)
        m_alert->check({lat, lon});
    log("END: CTrackLogger::appendTrack");
}

void CTrackLogger::flushBuffer()
{
    std::lock_guard lock(m_mutex);
    flushLocked();
}

void CTrackLogger::flushLocked()
{
    if (!m_open || m_writeBuffer.empty() || m_db.inTransaction())
        return;
    log("BEGIN: CTrackLogger::flushBuffer");
    log("BEGIN: CTrackLogger::flushBuffer - START TRANSACTION");
    if (m_db.Begin() != SQLITE_OK) {
        log("END: CTrackLogger::flushBuffer");
        return;
    }
    log("BEGIN: CTrackLogger::flushBuffer - inserting points");
    bool ok = true;
    for (auto it = m_writeBuffer.rbegin(); it != m_writeBuffer.rend() && ok; ++it)
        ok = dbAddLocked(*it, false);
    if (ok) {
        log("BEGIN: CTrackLogger::flushBuffer - COMMIT");
        // Only a successful commit lets the points go: a full disk fails here.
        if (m_db.Commit() == SQLITE_OK) {
            m_writeBuffer.clear();
            m_errorShown = false;
        }
    } else {
        log("BEGIN: CTrackLogger::flushBuffer - ROLLBACK");
        m_db.Rollback();
    }
    log("END: CTrackLogger::flushBuffer");
}

bool CTrackLogger::dbAdd(const TrackPoint& point, bool ownTransaction)
{
    std::lock_guard lock(m_mutex);
    return dbAddLocked(point, ownTransaction);
}

bool CTrackLogger::dbAddLocked(const TrackPoint& point, bool ownTransaction)
{
    if (ownTransaction) {
        if (m_db.inTransaction())
            return false;
        if (m_db.Begin() != SQLITE_OK)
            return false;
    }
    log("BEGIN: CTrackLogger::dbAdd - INSERT INTO `track_log`");
    try {
        SQLite::Statement insert(m_db, "INSERT INTO `track_log` (`trackid`, `date`, `time`, `lat`, `lon` , `alt`, "
                                       "`hdop`) VALUES (?, ?, ?, ?, ?, ?, ?)");
        const StoredTime st = toStoredTime(point.time);
        insert.BindInt(1, m_currentTrackId);
        insert.BindInt(2, st.date);
        insert.BindInt(3, st.time);
        insert.BindDouble(4, point.lat);
        insert.BindDouble(5, point.lon);
        insert.BindDouble(6, point.alt);
        insert.BindDouble(7, point.hdop);
        if (const int rc = insert.Step(); rc != SQLITE_DONE)
            throw SQLite::Error(rc, sqlite3_errmsg(m_db.handle()), &m_db);
        if (ownTransaction)
            return m_db.Commit() == SQLITE_OK;
        return true;
    } catch (const SQLite::Error& e) {
        if (m_db.inTransaction())
            m_db.Rollback();
        // Shown once until a write succeeds again: a failing card would
        // otherwise raise a message every two seconds.
        if (!m_errorShown)
            showError(e.message);
        m_errorShown = true;
        return false;
    }
}

void CTrackLogger::resetMemory()
{
    m_points.clear();
    m_writeBuffer.clear();
    m_profile.clear();
    m_stats = {};
    m_profileStartKm = 0;
    m_profileLastStep = 0;
    m_profileLastAltitude = 0;
}

int CTrackLogger::nextTrackId()
{
    SQLite::Statement q(m_db, "SELECT MAX(`trackid`) FROM `track_log`");
    if (q.Step() == SQLITE_ROW && !q.columnIsNull(0))
        return q.ColumnInt(0) + 1;
    return 1;
}

void CTrackLogger::newTrack()
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return;
    flushLocked();
    ++m_currentTrackId;
    deleteTrackLocked(m_currentTrackId);
}

void CTrackLogger::deleteTrack(int trackId)
{
    std::lock_guard lock(m_mutex);
    deleteTrackLocked(trackId);
}

void CTrackLogger::deleteTrackLocked(int trackId)
{
    if (!m_open)
        return;
    const bool current = trackId == m_currentTrackId;
    if (current)
        resetMemory();
    try {
        {
            SQLite::Transaction transaction(m_db);
            for (const char* sql : {"DELETE FROM `track_log` WHERE `trackid` = ?",
                                    "DELETE FROM `track_name` WHERE `trackid` = ?"}) {
                SQLite::Statement del(m_db, sql);
                del.BindInt(1, trackId);
                del.stepDone();
            }
            if (transaction.commit() != SQLITE_OK)
                return;
        }
        if (current) {
            m_currentTrackId = nextTrackId();
            dbAddLocked(TrackPoint{0, 0, 0, 0, now()}, true);
        }
    } catch (const SQLite::Error& e) {
        m_db.showPlain(e.message);
    }
}

void CTrackLogger::deleteAllTracks()
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return;
    resetMemory();
    try {
        SQLite::Transaction transaction(m_db);
        SQLite::Statement(m_db, "DELETE FROM `track_log`").stepDone();
        SQLite::Statement(m_db, "DELETE FROM `track_name`").stepDone();
        transaction.commit();
    } catch (const SQLite::Error& e) {
        m_db.showPlain(e.message);
    }
}

bool CTrackLogger::renameTrack(int trackId, const std::string& name)
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return false;
    try {
        SQLite::Transaction transaction(m_db);
        SQLite::Statement st(m_db, "INSERT OR REPLACE INTO `track_name` (`trackid`, `name`) VALUES (?, ?)");
        st.BindInt(1, trackId);
        st.BindText(2, name);
        if (st.Step() != SQLITE_DONE)
            return false;
        return transaction.commit() == SQLITE_OK;
    } catch (const SQLite::Error& e) {
        m_db.showPlain(e.message);
        return false;
    }
}

std::vector<TrackListEntry> CTrackLogger::listTracks()
{
    std::lock_guard lock(m_mutex);
    std::vector<TrackListEntry> list;
    if (!m_open)
        return list;
    flushLocked();
    try {
        SQLite::Statement q(
            m_db, "SELECT `trackid`, `date`, `time`, (SELECT `name` FROM `track_name` WHERE `track_name`.`trackid` = "
                  "`track_log`.`trackid`) AS `name`,(SELECT COUNT(*) FROM `track_log` AS `tl` WHERE `tl`.`trackid` = "
                  "`track_log`.`trackid`) AS `track_len`FROM `track_log` WHERE `key` IN (SELECT MIN(`key`) FROM "
                  "`track_log` GROUP BY `trackid`) ORDER BY `date` DESC, `time` DESC");
        while (q.Step() == SQLITE_ROW)
            list.push_back({q.ColumnInt(0), q.ColumnInt(1), q.ColumnInt(2), q.ColumnText(3), q.ColumnInt(4)});
    } catch (const SQLite::Error& e) {
        m_db.showPlain(e.message);
    }
    return list;
}

std::vector<int> CTrackLogger::trackIds()
{
    std::lock_guard lock(m_mutex);
    std::vector<int> ids;
    if (!m_open)
        return ids;
    flushLocked();
    try {
        SQLite::Statement q(m_db, "SELECT DISTINCT `trackid` FROM `track_log`");
        while (q.Step() == SQLITE_ROW)
            ids.push_back(q.ColumnInt(0));
    } catch (const SQLite::Error& e) {
        m_db.showPlain(e.message);
    }
    return ids;
}

std::optional<TrackHeader> CTrackLogger::trackHeader(int trackId)
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return std::nullopt;
    try {
        SQLite::Statement q(m_db, "SELECT `date`, `time`, (SELECT `name` FROM `track_name` WHERE "
                                  "`track_name`.`trackid` = `track_log`.`trackid`) AS `name`FROM `track_log` WHERE "
                                  "`key` IN (SELECT MIN(`key`) FROM `track_log` WHERE `trackid` = ?)");
        q.BindInt(1, trackId);
        if (q.Step() == SQLITE_ROW)
            return TrackHeader{q.ColumnInt(0), q.ColumnInt(1), q.ColumnText(2)};
    } catch (const SQLite::Error& e) {
        m_db.showPlain(e.message);
    }
    return std::nullopt;
}

std::vector<TrackPoint> CTrackLogger::trackPoints(int trackId, bool* ok)
{
    std::lock_guard lock(m_mutex);
    std::vector<TrackPoint> points;
    if (ok)
        *ok = m_open;
    if (!m_open)
        return points;
    flushLocked();
    try {
        SQLite::Statement q(m_db, "SELECT * FROM `track_log` WHERE `trackid` = ? AND `lat` <> 0 AND `lon` <> 0 AND "
                                  "`lat` <> 0");
        q.BindInt(1, trackId);
        int rc;
        while ((rc = q.Step()) == SQLITE_ROW)
            points.push_back(pointFromRow(q));
        if (rc != SQLITE_DONE)
            throw SQLite::Error(rc, sqlite3_errstr(rc), &m_db);
    } catch (const SQLite::Error& e) {
        m_db.showPlain(e.message);
        if (ok)
            *ok = false;
    }
    return points;
}

int CTrackLogger::currentTrackId() const
{
    std::lock_guard lock(m_mutex);
    return m_currentTrackId;
}

std::size_t CTrackLogger::bufferedPoints() const
{
    std::lock_guard lock(m_mutex);
    return m_writeBuffer.size();
}

std::vector<TrackPoint> CTrackLogger::recentPoints(std::size_t max) const
{
    std::lock_guard lock(m_mutex);
    const std::size_t n = std::min(max, m_points.size());
    return {m_points.begin(), m_points.begin() + static_cast<std::ptrdiff_t>(n)};
}

TrackStatistics CTrackLogger::statistics() const
{
    std::lock_guard lock(m_mutex);
    return m_stats;
}

std::map<int, double> CTrackLogger::altitudeProfile() const
{
    std::lock_guard lock(m_mutex);
    return m_profile;
}

double CTrackLogger::profileStartKm() const
{
    std::lock_guard lock(m_mutex);
    return m_profileStartKm;
}

bool CTrackLogger::tryReadTrip(TrackStatistics& stats, std::map<int, double>& profile) const
{
    std::unique_lock lock(m_mutex, std::try_to_lock);
    if (!lock.owns_lock())
        return false;
    stats = m_stats;
    profile = m_profile;
    return true;
}

} // namespace tw
