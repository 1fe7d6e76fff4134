// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"
#include "db/Tags.h"
#include "online/LiveParsers.h"

#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace SQLite {
class Database;
}

namespace tw {
class JobProgress;
class Prompter;
} // namespace tw

namespace tw::net {

class CNetClient;

// The settings the client reads, and the State values it keeps up to date.
struct LiveSettings {
    std::string accessToken;
    std::string nickname;
    int isLite = 0;
    int impOnlyNew = 1;
    int impNotFound = 1;
    int maxImpCaches = 30;
    // State: downloads left in the current limit window (-1 until the
    // service has said), basic membership, and when the window began.
    int dnlFull = -1;
    int dnlLite = -1;
    int isBasic = 0;
    std::int64_t limitTimestamp = 0;
};

// How a download ended. The counts are those of the GPX import.
struct LiveJobResult {
    bool ok = false;        // every request was answered and read
    bool cancelled = false;
    int newCaches = 0;
    int waypoints = 0;
    int skipped = 0;
    int updated = 0;
    int failed = 0;         // caches the database did not take
    bool nothingFound = false; // a download by code got no cache of that code
    std::string message;    // why the job stopped, a sentence; empty when ok
};

// The Live API base from the environment (TARNWICK_LIVE_URL) or else the
// setting; empty means that no service is configured and nothing is sent.
// A base gets its closing '/'.
std::string liveServiceBase(const std::string& setting);

// A URL as it may appear in the log: the access token's value is replaced.
std::string redactToken(std::string url);

// The Live API client: downloads geocaches into the cache database, refreshes
// their status, reads the user's membership and download limits and
// publishes field notes. One operation at a time; a download runs on the
// caller's thread (a worker behind the progress dialog, or batch mode).
class CGcLiveClient {
public:
    CGcLiveClient(CNetClient& net, Prompter& prompter, SQLite::Database& db, const TagCategories& categories);

    void setServiceBase(std::string base);
    const std::string& serviceBase() const { return m_base; }
    LiveSettings& settings() { return m_settings; }
    const LiveSettings& settings() const { return m_settings; }

    // A new login, asked for when the service refuses the token (status 2)
    // or when there is none: returns the new token, empty when there is
    // none. May be called on a worker thread. Without it no login happens.
    std::function<std::string()> relogin;
    // Writes the State values (DnlFull, DnlLite, IsBasic, LimitTimestamp).
    std::function<void(const LiveSettings&)> saveState;
    // The limit warning of a basic member: the text and whether going on is
    // possible; true to go on. Without it a basic member goes on while
    // downloads are left.
    std::function<bool(const std::string& text, bool canGoOn)> confirmLimits;
    // A language text by number.
    std::function<std::string(int)> text;
    // A line for the diagnostic log; never carries the token.
    std::function<void(const std::string&)> log;

    // Send and check the status: true for status 0 or 55 with the response.
    bool PostRequest(const std::string& method, const std::string& body, std::string& response);
    bool GetRequest(const std::string& url, std::string& response);

    // Downloads. progress may be null; cancel is polled between caches.
    LiveJobResult DownloadByCode(const std::string& code, JobProgress* progress, const std::atomic<bool>* cancel);
    LiveJobResult SearchNearest(double lat, double lon, double distanceKm, bool lite, JobProgress* progress,
                                const std::atomic<bool>* cancel);
    // Full data for the codes, in batches of 10.
    LiveJobResult RefreshList(const std::vector<std::string>& codes, bool lite, JobProgress* progress,
                              const std::atomic<bool>* cancel);
    // Only the status (available, disabled, archived) of the codes.
    LiveJobResult RefreshStatus(const std::vector<std::string>& codes, JobProgress* progress,
                                const std::atomic<bool>* cancel);

    bool GetApiLimits();
    bool GetUserProfile();
    bool IsBasicMember();
    // Limits first; a basic member confirms the warning. now: for tests.
    bool CheckLiveAccess(std::time_t now = std::time(nullptr));
    // The warning's text and whether going on is possible.
    std::string basicWarningText(std::time_t now, bool& canGoOn);

    // Publishes a visit as a log and stores the log the service made of it.
    bool PublishFieldNote(CGeocache& cache, int logType, std::time_t visit, const std::string& note);

    const std::string& membership() const { return m_membership; }
    const std::string& statusMessage() const { return m_statusMessage; }
    int lastStatus() const { return m_lastStatus; }
    int fullLimit() const { return m_fullLimit; }
    int liteLimit() const { return m_liteLimit; }
    int fullWindowMinutes() const { return m_fullWindow; }

private:
    struct Job;
    bool send(const std::string& method, const std::string& body, bool get, std::string& response);
    bool transport(const std::string& url, const std::string& body, bool get, std::string& response);
    std::string filled(const std::string& templ, const std::map<std::string, std::string>& extra) const;
    bool startJob(Job& job);
    void finishJob(Job& job, LiveJobResult& result);
    // Reads one search page into the database; true when it held a cache
    // and the job was not cancelled.
    bool storePage(Job& job, const std::string& response);
    void storeCache(Job& job, LiveCache& entry);
    bool storeStatuses(Job& job, const std::string& response);
    LiveJobResult runSearch(Job& job, const std::string& firstBody);
    LiveJobResult runBatches(Job& job, const std::vector<std::string>& codes, bool statusOnly);
    std::string tr(int number) const;
    void note(const std::string& line) const;
    void saveStateValues();

    CNetClient& m_net;
    Prompter& m_prompter;
    SQLite::Database& m_db;
    const TagCategories& m_categories;
    std::string m_base;
    LiveSettings m_settings;
    std::string m_membership;
    std::string m_statusMessage;
    int m_lastStatus = LiveStatusCode::None;
    bool m_unreadable = false; // the last response was no whole document
    int m_fullLimit = 0;
    int m_liteLimit = 0;
    int m_fullWindow = 0;
    int m_liteWindow = 0;
};

} // namespace tw::net
