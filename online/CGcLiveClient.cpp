// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/CGcLiveClient.h"

#include "db/CacheReader.h"
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/SqlError.h"
#include "geo/CoordFormat.h"
#include "online/CNetClient.h"
#include "online/LiveRequests.h"
#include "online/ServerText.h"
#include "platform/Numbers.h"
#include "platform/JobProgress.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace tw::net {
namespace {

// Language texts.
constexpr int kTextDone = 252;
constexpr int kTextCancelled = 261;
constexpr int kTextConnecting = 318;
constexpr int kTextCachesLeft = 377;
constexpr int kTextWarning1 = 378;
constexpr int kTextWarning2 = 379;
constexpr int kTextDatePattern = 1101; // as the language writes a date
constexpr int kTextWarning3 = 380;
constexpr int kTextNoToken = 820;
constexpr int kTextUnreadable = 821;
constexpr int kTextStopped = 822;
constexpr int kTextNoService = 823;
constexpr int kTextNoAnswer = 829;
constexpr int kTextCodeNotFound = 850;
constexpr int kTextAnswerUnreadable = 851;
constexpr int kTextStoredBefore = 852;
constexpr int kTextBadPosition = 853;

constexpr int kPageSize = 5;
constexpr std::size_t kBatchSize = 10;

bool succeeded(int status)
{
    return status == LiveStatusCode::Ok || status == LiveStatusCode::SearchExpired;
}

bool isLiveCode(const std::string& code)
{
    return code.rfind("GC", 0) == 0 && code.size() <= 7;
}

std::string upperAscii(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

std::string liveServiceBase(const std::string& setting)
{
    const char* env = std::getenv("TARNWICK_LIVE_URL");
    std::string base = env && *env ? env : setting;
    if (!base.empty() && base.back() != '/')
        base += '/';
    return base;
}

std::string redactToken(std::string url)
{
    static constexpr std::string_view kKey = "AccessToken=";
    for (std::size_t pos = url.find(kKey); pos != std::string::npos; pos = url.find(kKey, pos)) {
        pos += kKey.size();
        const std::size_t end = std::min(url.find('&', pos), url.size());
        url.replace(pos, end - pos, "…");
    }
    return url;
}

// One download: its counts, where it reports, and the quota it saw.
struct CGcLiveClient::Job {
    Job(JobProgress* p, const std::atomic<bool>* c) : progress(p), cancel(c) {}
    JobProgress* progress = nullptr;
    const std::atomic<bool>* cancel = nullptr;
    bool lite = false;
    int maxCaches = 1;
    // The codes asked for (upper case); empty for a search by position.
    // A code leaves the set when its cache has arrived: a second copy, or
    // a cache nobody asked for, is not stored.
    std::set<std::string> wanted;
    bool byCode = false;
    std::set<std::string> seen;
    int received = 0; // caches taken from the answers, at most maxCaches
    int newCaches = 0, waypoints = 0, skipped = 0, updated = 0, failed = 0;
    int cachesLeft = -1;
    int maxCacheCount = -1;
    bool requestFailed = false;
    bool cancelled() const { return cancel && cancel->load(); }
    void count(int& counter, int k)
    {
        ++counter;
        if (progress)
            progress->setCounter(k, counter);
    }
    void line(int n, const std::string& shown)
    {
        if (progress)
            progress->setText(n, printableText(shown));
    }
};

CGcLiveClient::CGcLiveClient(CNetClient& net, Prompter& prompter, SQLite::Database& db,
                             const TagCategories& categories)
    : m_net(net), m_prompter(prompter), m_db(db), m_categories(categories)
{
}

void CGcLiveClient::setServiceBase(std::string base)
{
    if (!base.empty() && base.back() != '/')
        base += '/';
    m_base = std::move(base);
}

std::string CGcLiveClient::tr(int number) const
{
    return text ? text(number) : std::string();
}

void CGcLiveClient::note(const std::string& line) const
{
    if (log)
        log(line);
}

void CGcLiveClient::saveStateValues()
{
    if (saveState)
        saveState(m_settings);
}

std::string CGcLiveClient::filled(const std::string& templ, const std::map<std::string, std::string>& extra) const
{
    std::map<std::string, std::string> values = extra;
    values["ACCESS"] = xmlEscape(m_settings.accessToken);
    values["ISLITE"] = m_settings.isLite ? "true" : "false";
    values["NICK"] = xmlEscape(m_settings.nickname);
    return fillTemplate(templ, values);
}

bool CGcLiveClient::transport(const std::string& url, const std::string& body, bool get, std::string& response)
{
    note(std::string(get ? "Live: GET " : "Live: POST ") + redactToken(url));
    const bool ok = get ? m_net.httpGet(url, response) : m_net.httpPost(url, body, response, 1);
    if (!ok)
        note("Live: no answer");
    return ok;
}

bool CGcLiveClient::send(const std::string& method, const std::string& body, bool get, std::string& response)
{
    m_unreadable = false;
    m_lastStatus = LiveStatusCode::None;
    if (m_base.empty()) {
        m_statusMessage = tr(kTextNoService);
        return false;
    }
    auto attempt = [&](const std::string& payload) {
        const std::string url = get ? payload : m_base + method;
        if (!transport(url, get ? std::string() : payload, get, response))
            return false;
        const LiveDocument doc = readLiveStatus(response);
        m_statusMessage = doc.status.message;
        m_lastStatus = doc.status.code;
        m_unreadable = !doc.wellFormed || doc.status.code == LiveStatusCode::None;
        note("Live: " + method.substr(0, method.find('?')) + " status " + std::to_string(m_lastStatus) +
             (m_unreadable ? " (unreadable)" : ""));
        return !m_unreadable;
    };
    const std::string payload = get ? m_base + method : body;
    if (!attempt(payload))
        return false;
    if (succeeded(m_lastStatus))
        return true;
    if (m_lastStatus == LiveStatusCode::NotAuthorized) {
        // The token was refused: one new login, then the same request again.
        const std::string oldToken = m_settings.accessToken;
        m_settings.accessToken = relogin ? relogin() : std::string();
        if (m_settings.accessToken.empty() || oldToken.empty())
            return false;
        const std::string resend = get ? text::replaceAll(payload, CNetClient::urlEncode(oldToken),
                                                          CNetClient::urlEncode(m_settings.accessToken))
                                       : text::replaceAll(payload, xmlEscape(oldToken),
                                                          xmlEscape(m_settings.accessToken));
        if (!attempt(resend))
            return false;
        if (succeeded(m_lastStatus))
            return true;
    }
    m_prompter.message(m_statusMessage.empty() ? tr(kTextUnreadable) : m_statusMessage, MessageIcon::Exclamation);
    return false;
}

bool CGcLiveClient::PostRequest(const std::string& method, const std::string& body, std::string& response)
{
    return send(method, body, false, response);
}

bool CGcLiveClient::GetRequest(const std::string& url, std::string& response)
{
    // url: the method and its query, after the service base.
    return send(url, {}, true, response);
}

bool CGcLiveClient::GetApiLimits()
{
    std::string response;
    if (!GetRequest("GetAPILimits?AccessToken=" + CNetClient::urlEncode(m_settings.accessToken), response))
        return false;
    const LiveLimits limits = parseLimitsResponse(response);
    m_fullLimit = limits.fullLimit;
    m_fullWindow = limits.fullWindowMinutes;
    m_liteLimit = limits.liteLimit;
    m_liteWindow = limits.liteWindowMinutes;
    if (!limits.membership.empty())
        m_membership = limits.membership;
    if (m_settings.dnlFull < 0)
        m_settings.dnlFull = m_fullLimit;
    if (m_settings.dnlLite < 0)
        m_settings.dnlLite = m_liteLimit;
    m_settings.isBasic = IsBasicMember() ? 1 : 0;
    saveStateValues();
    return true;
}

bool CGcLiveClient::GetUserProfile()
{
    if (!m_membership.empty())
        return true;
    std::string response;
    if (!PostRequest("GetYourUserProfile", filled(profileTemplate(), {}), response))
        return false;
    const LiveProfile profile = parseProfileResponse(response);
    m_membership = profile.membership;
    m_settings.isBasic = m_membership != "Premium" ? 1 : 0;
    saveStateValues();
    return true;
}

bool CGcLiveClient::IsBasicMember()
{
    GetUserProfile();
    return m_membership != "Premium";
}

std::string CGcLiveClient::basicWarningText(std::time_t now, bool& canGoOn)
{
    const std::time_t windowEnd =
        static_cast<std::time_t>(m_settings.limitTimestamp) + static_cast<std::time_t>(m_fullWindow) * 60;
    if (windowEnd < now) {
        m_settings.limitTimestamp = 0;
        m_settings.dnlFull = m_fullLimit;
    }
    const int left = m_settings.dnlFull < 2 ? 0 : m_settings.dnlFull - 1;
    // A window not yet begun ends a full window after this download.
    const std::time_t shownEnd = m_settings.limitTimestamp == 0 ? now + m_fullWindow * 60 : windowEnd;
    // The date as the program's language writes it, not the system's
    // locale (whose weekday names strftime would take).
    std::tm local{};
    localtime_r(&shownEnd, &local);
    const int day = (local.tm_year + 1900) * 10000 + (local.tm_mon + 1) * 100 + local.tm_mday;
    std::string pattern = tr(kTextDatePattern);
    if (pattern.empty())
        pattern = "%d.%m.%Y";
    char clock[16];
    std::snprintf(clock, sizeof clock, " %02d:%02d", local.tm_hour, local.tm_min);
    const std::string when = geo::formatDate(day, pattern) + clock;
    std::string second = text::replaceAll(tr(kTextWarning2), "%d", std::to_string(left));
    second = text::replaceAll(second, "%s", when);
    canGoOn = m_settings.dnlFull >= 1;
    return tr(kTextWarning1) + "\n" + second + "\n\n" + tr(kTextWarning3);
}

bool CGcLiveClient::CheckLiveAccess(std::time_t now)
{
    GetApiLimits();
    if (!IsBasicMember())
        return true;
    bool canGoOn = false;
    const std::string warning = basicWarningText(now, canGoOn);
    saveStateValues();
    if (confirmLimits)
        return confirmLimits(warning, canGoOn) && canGoOn;
    return canGoOn;
}

bool CGcLiveClient::startJob(Job& job)
{
    if (m_settings.accessToken.empty() && relogin)
        m_settings.accessToken = relogin();
    if (m_settings.accessToken.empty())
        return false;
    job.line(3, tr(kTextConnecting));
    return true;
}

void CGcLiveClient::finishJob(Job& job, LiveJobResult& result)
{
    if (m_settings.limitTimestamp == 0 && job.newCaches + job.updated + job.skipped > 0)
        m_settings.limitTimestamp = static_cast<std::int64_t>(std::time(nullptr));
    if (job.cachesLeft >= 0)
        (job.lite ? m_settings.dnlLite : m_settings.dnlFull) = job.cachesLeft;
    saveStateValues();
    result.newCaches = job.newCaches;
    result.waypoints = job.waypoints;
    result.skipped = job.skipped;
    result.updated = job.updated;
    result.failed = job.failed;
    result.cancelled = job.cancelled();
    if (result.cancelled) {
        result.ok = false;
        result.message = tr(kTextCancelled);
    } else if (job.requestFailed) {
        result.ok = false;
        // What the pages before the failure brought stays stored: say so
        // rather than that nothing was changed.
        const bool storedSome = job.newCaches + job.updated > 0;
        std::string why = m_unreadable ? tr(storedSome ? kTextAnswerUnreadable : kTextUnreadable)
                          : !m_statusMessage.empty() ? m_statusMessage
                                                     : tr(kTextNoAnswer);
        const std::string stopped = tr(kTextStopped);
        result.message = stopped.empty() ? why : text::replaceAll(stopped, "%s", why);
        if (storedSome)
            result.message += " " + text::fillIn(tr(kTextStoredBefore), {std::to_string(job.newCaches),
                                                                          std::to_string(job.updated)});
    } else if (job.byCode && job.received == 0 && job.wanted.size() == 1) {
        // Asked for one code and given nothing (or nothing that could be
        // stored): that is no success.
        result.ok = false;
        result.nothingFound = true;
        result.message = text::fillIn(tr(kTextCodeNotFound), {*job.wanted.begin()});
    } else {
        result.ok = true;
    }
    if (job.progress)
        job.progress->finish(result.ok ? tr(kTextDone) : result.message);
}

void CGcLiveClient::storeCache(Job& job, LiveCache& entry)
{
    CGeocache& c = *entry.cache;
    CacheStore store(m_db, m_categories, m_settings.impOnlyNew);
    job.line(1, c.code);
    job.line(2, c.name);
    if (job.lite) {
        const int r = store.UpdateCacheBasics(c);
        if (r == ImportResult::Replaced) {
            job.count(job.updated, kCounterUpdated);
            return;
        }
        if (r == ImportResult::NotStored) {
            job.count(job.skipped, kCounterSkipped);
            return;
        }
    }
    if (!isLiveCode(c.code)) {
        job.count(job.skipped, kCounterSkipped);
        return;
    }
    switch (store.StoreImportedCache(c)) {
    case ImportResult::NewCache: job.count(job.newCaches, kCounterNew); break;
    case ImportResult::Replaced: job.count(job.updated, kCounterUpdated); break;
    case ImportResult::NotStored: job.count(job.skipped, kCounterSkipped); break;
    default: ++job.failed; return;
    }
    for (auto& w : c.waypoints) {
        const int r = store.StoreImportedWaypoint(*w);
        if (r == ImportResult::NewWaypoint)
            job.count(job.waypoints, kCounterWaypoints);
        else if (r == ImportResult::NotStored)
            job.count(job.skipped, kCounterSkipped);
    }
    c.waypoints.clear();
    // A cache left as stored still gets its new favourite points.
    if (!c.favorites.empty()) {
        int key = FindTagKey(m_db, c.code, m_categories.favorites);
        SetTag(m_db, c.code, m_categories.favorites, c.favorites, true, key, true);
    }
    RemoveTag(m_db, c.code, TagCategoryName::GcImage, "");
    for (const std::string& image : entry.images) {
        int key = 0;
        SetTag(m_db, c.code, m_categories.gcImage, image, true, key, true);
    }
}

bool CGcLiveClient::storePage(Job& job, const std::string& response)
{
    LiveSearchPage page = parseGeocacheResponse(response, m_settings.nickname);
    if (!page.wellFormed) {
        m_unreadable = true;
        job.requestFailed = true;
        return false;
    }
    for (LiveCache& entry : page.caches) {
        if (job.cancelled() || job.received >= job.maxCaches)
            break;
        const std::string code = upperAscii(entry.cache->code);
        if (job.byCode && !job.wanted.count(code)) {
            note("Live: " + printableText(code) + " was not asked for and is not stored");
            continue;
        }
        if (!job.seen.insert(code).second)
            continue;
        ++job.received;
        storeCache(job, entry);
    }
    if (page.cachesLeft >= 0 || page.maxCacheCount >= 0) {
        job.cachesLeft = page.cachesLeft;
        job.maxCacheCount = page.maxCacheCount;
        job.line(3, tr(kTextCachesLeft) + ": " + std::to_string(job.cachesLeft) + "/" +
                        std::to_string(job.maxCacheCount));
    }
    return page.sawGeocache && !job.cancelled();
}

bool CGcLiveClient::storeStatuses(Job& job, const std::string& response)
{
    const LiveStatusPage page = parseStatusResponse(response);
    if (!page.wellFormed) {
        m_unreadable = true;
        job.requestFailed = true;
        return false;
    }
    CacheStore store(m_db, m_categories, m_settings.impOnlyNew);
    for (const LiveCacheStatus& status : page.statuses) {
        const std::string code = upperAscii(status.code);
        if (!job.wanted.count(code) || !job.seen.insert(code).second)
            continue;
        job.line(1, status.code);
        job.line(2, status.name);
        // Only these fields arrive; the rest of the basic fields stay as stored.
        auto stored = LoadCacheByCode(m_db, status.code);
        if (!stored || stored->code != status.code)
            continue;
        stored->status = status.status;
        if (!status.name.empty())
            stored->name = status.name;
        stored->type = status.type;
        const int r = store.UpdateCacheBasics(*stored);
        if (r == ImportResult::Replaced)
            job.count(job.updated, kCounterUpdated);
        else if (r == ImportResult::NotStored)
            job.count(job.skipped, kCounterSkipped);
        if (job.cancelled())
            return false;
    }
    return !page.statuses.empty();
}

LiveJobResult CGcLiveClient::runSearch(Job& job, const std::string& firstBody)
{
    LiveJobResult result;
    std::string response;
    bool more = false;
    if (PostRequest("SearchForGeocaches", firstBody, response))
        more = storePage(job, response);
    else
        job.requestFailed = true;
    // Pages are asked for until the caches asked for have arrived, and never
    // more pages than they fill: a service that serves only caches already
    // known (each one skipped) must not keep the search going.
    const int maxPages = (std::max(job.maxCaches, 1) + kPageSize - 1) / kPageSize;
    for (int start = kPageSize, pages = 1;
         more && !job.requestFailed && job.received < job.maxCaches && pages < maxPages; start += kPageSize, ++pages) {
        job.line(3, tr(kTextConnecting));
        job.line(2, "...");
        const std::string body = filled(moreTemplate(), {{"START_INDEX", std::to_string(start)},
                                                         {"MAX_PER_PAGE", std::to_string(kPageSize)}});
        if (!PostRequest("GetMoreGeocaches", body, response)) {
            job.requestFailed = true;
            break;
        }
        more = storePage(job, response);
    }
    finishJob(job, result);
    return result;
}

LiveJobResult CGcLiveClient::runBatches(Job& job, const std::vector<std::string>& codes, bool statusOnly)
{
    LiveJobResult result;
    if (job.progress)
        job.progress->setRange(static_cast<int>(codes.size()));
    for (std::size_t first = 0; first < codes.size() && !job.cancelled(); first += kBatchSize) {
        const std::vector<std::string> batch(codes.begin() + static_cast<std::ptrdiff_t>(first),
                                             codes.begin() + static_cast<std::ptrdiff_t>(
                                                                 std::min(codes.size(), first + kBatchSize)));
        std::string response;
        const bool sent = statusOnly
                              ? PostRequest("GetGeocacheStatus", filled(statusTemplate(batch), {}), response)
                              : PostRequest("SearchForGeocaches",
                                            filled(searchByCodesTemplate(batch, static_cast<int>(kBatchSize)), {}),
                                            response);
        if (!sent) {
            job.requestFailed = true;
            break;
        }
        const bool read = statusOnly ? storeStatuses(job, response) : storePage(job, response);
        if (job.progress)
            job.progress->setPosition(static_cast<int>(first + batch.size()));
        if (!read)
            break;
    }
    finishJob(job, result);
    return result;
}

LiveJobResult CGcLiveClient::DownloadByCode(const std::string& code, JobProgress* progress,
                                            const std::atomic<bool>* cancel)
{
    Job job{progress, cancel};
    job.maxCaches = 1;
    job.byCode = true;
    job.wanted = {upperAscii(code)};
    // A cache asked for by its code is always brought up to date.
    const int savedOnlyNew = m_settings.impOnlyNew;
    const int savedLite = m_settings.isLite;
    m_settings.impOnlyNew = 0;
    m_settings.isLite = 0;
    LiveJobResult result;
    if (!startJob(job)) {
        result.message = tr(kTextNoToken);
        if (progress)
            progress->finish(result.message);
    } else {
        result = runSearch(job, filled(searchByCodesTemplate({code}, 1), {}));
    }
    m_settings.impOnlyNew = savedOnlyNew;
    m_settings.isLite = savedLite;
    return result;
}

LiveJobResult CGcLiveClient::SearchNearest(double lat, double lon, double distanceKm, bool lite,
                                           JobProgress* progress, const std::atomic<bool>* cancel)
{
    Job job{progress, cancel};
    job.lite = lite;
    job.maxCaches = std::max(0, m_settings.maxImpCaches);
    if (!std::isfinite(lat) || !std::isfinite(lon) || std::abs(lat) > 90.0 || std::abs(lon) > 180.0) {
        LiveJobResult refused;
        refused.message = text::fillIn(tr(kTextBadPosition), {num::formatDouble(lat), num::formatDouble(lon)});
        if (progress)
            progress->finish(refused.message);
        return refused;
    }
    const int savedLite = m_settings.isLite;
    m_settings.isLite = lite ? 1 : 0;
    LiveJobResult result;
    if (!startJob(job)) {
        result.message = tr(kTextNoToken);
        if (progress)
            progress->finish(result.message);
    } else {
        if (m_fullLimit == 0)
            GetApiLimits();
        const std::string body =
            filled(nearestTemplate(IsBasicMember(), m_settings.impNotFound != 0),
                   {{"MAX_PER_PAGE", std::to_string(kPageSize)},
                    {"DIST", fixed0(distanceKm > 0 ? distanceKm * 1000.0 : 10000.0)},
                    {"LAT", fixed6(lat)},
                    {"LON", fixed6(lon)}});
        result = runSearch(job, body);
    }
    m_settings.isLite = savedLite;
    return result;
}

LiveJobResult CGcLiveClient::RefreshList(const std::vector<std::string>& codes, bool lite, JobProgress* progress,
                                         const std::atomic<bool>* cancel)
{
    Job job{progress, cancel};
    job.lite = lite;
    job.byCode = true;
    for (const std::string& code : codes)
        job.wanted.insert(upperAscii(code));
    job.maxCaches = static_cast<int>(job.wanted.size());
    // A refresh brings the caches it names up to date, whatever the import
    // option for new caches says: their data is paid for from the quota.
    const int savedOnlyNew = m_settings.impOnlyNew;
    const int savedLite = m_settings.isLite;
    m_settings.impOnlyNew = 0;
    m_settings.isLite = lite ? 1 : 0;
    LiveJobResult result;
    if (!startJob(job)) {
        result.message = tr(kTextNoToken);
        if (progress)
            progress->finish(result.message);
    } else {
        result = runBatches(job, codes, false);
    }
    m_settings.impOnlyNew = savedOnlyNew;
    m_settings.isLite = savedLite;
    return result;
}

LiveJobResult CGcLiveClient::RefreshStatus(const std::vector<std::string>& codes, JobProgress* progress,
                                           const std::atomic<bool>* cancel)
{
    Job job{progress, cancel};
    for (const std::string& code : codes)
        job.wanted.insert(upperAscii(code));
    LiveJobResult result;
    if (!startJob(job)) {
        result.message = tr(kTextNoToken);
        if (progress)
            progress->finish(result.message);
        return result;
    }
    const int savedOnlyNew = m_settings.impOnlyNew;
    m_settings.impOnlyNew = 0;
    result = runBatches(job, codes, true);
    m_settings.impOnlyNew = savedOnlyNew;
    return result;
}

bool CGcLiveClient::PublishFieldNote(CGeocache& cache, int logType, std::time_t visit, const std::string& note)
{
    if (m_settings.accessToken.empty() && relogin)
        m_settings.accessToken = relogin();
    if (m_settings.accessToken.empty())
        return false;
    std::tm local{};
    localtime_r(&visit, &local);
    const std::string body = filled(publishTemplate(), {{"CODE", xmlEscape(cache.code)},
                                                        {"TYPE", logTypeLiveNumber(logType)},
                                                        {"DATE", noteDate(local)},
                                                        {"TEXT", noteText(note)}});
    std::string response;
    if (!PostRequest("CreateFieldNoteAndPublish", body, response))
        return false;
    const LivePublishedLog published = parsePublishResponse(response);
    if (!published.hasLog)
        return false;
    try {
        CacheStore store(m_db, m_categories, m_settings.impOnlyNew);
        store.InsertLog(published.log, cache.code);
    } catch (const SQLite::Error& e) {
        m_db.showError(e.message);
        return false;
    }
    // Read again from the database when next shown.
    cache.waypoints.clear();
    cache.logs.clear();
    cache.waypointsLoaded = 0;
    cache.logsLoaded = 0;
    return true;
}

} // namespace tw::net
