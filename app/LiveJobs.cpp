// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LiveJobs.h"

#include "app/CGlobalData.h"
#include "db/Tags.h"
#include "platform/JobProgress.h"
#include "platform/RecordingJobProgress.h"

#include <string>

namespace tw {
namespace {

bool isLoopback(const std::string& url)
{
    for (const char* host : {"://127.0.0.1", "://localhost", "://[::1]"}) {
        const std::size_t at = url.find(host);
        if (at != std::string::npos) {
            const char next = url.size() > at + std::char_traits<char>::length(host)
                                  ? url[at + std::char_traits<char>::length(host)]
                                  : '/';
            if (next == ':' || next == '/')
                return true;
        }
    }
    return false;
}

void takeOverSettings(CGlobalData& g, net::LiveSettings& s)
{
    const Settings& in = g.settings;
    s.accessToken = in.accessToken;
    s.nickname = in.nickname;
    s.isLite = in.isLite;
    s.impOnlyNew = in.impOnlyNew;
    s.impNotFound = in.impNotFound;
    s.maxImpCaches = in.maxImpCaches;
    s.dnlFull = in.dnlFull;
    s.dnlLite = in.dnlLite;
    s.isBasic = in.isBasic;
    s.limitTimestamp = in.limitTimestamp;
}

} // namespace

net::CGcLiveClient& liveClient(CGlobalData& g)
{
    if (!g.liveClient) {
        g.liveClient = std::make_unique<net::CGcLiveClient>(g.netClient, g.prompter, g.db.cacheDb, g.db.tagCategories);
        net::CGcLiveClient& c = *g.liveClient;
        c.text = [&g](int n) { return g.text(n); };
        c.log = [&g](const std::string& line) { g.Log(line); };
        c.saveState = [&g](const net::LiveSettings& s) {
            g.settings.dnlFull = s.dnlFull;
            g.settings.dnlLite = s.dnlLite;
            g.settings.isBasic = s.isBasic;
            g.settings.limitTimestamp = s.limitTimestamp;
            g.SaveSettings(SettingsGroup::Online);
        };
    }
    net::CGcLiveClient& c = *g.liveClient;
    c.setServiceBase(net::liveServiceBase(g.settings.liveUrl));
    // A service on this machine needs no data connection to be brought up.
    if (isLoopback(c.serviceBase()))
        g.netClient.setConnectionProbe([] { return true; });
    takeOverSettings(g, c.settings());
    return c;
}

void setLiveLogin(CGlobalData& g, std::function<bool()> login)
{
    liveClient(g).relogin = [&g, login = std::move(login)]() -> std::string {
        if (!login || !login())
            return {};
        return g.settings.accessToken;
    };
}

std::vector<std::string> liveCounterNames(const CGlobalData& g)
{
    return {g.text(262), g.text(263), g.text(264), g.text(265)};
}

net::LiveJobResult liveDownloadCodes(CGlobalData& g, const std::vector<std::string>& codes, JobProgress* progress,
                                     const std::atomic<bool>* cancel)
{
    net::CGcLiveClient& c = liveClient(g);
    // The marker names the latest download only.
    DeleteTagsOfCategory(g.db.cacheDb, g.db.tagCategories.lastImport);
    net::LiveJobResult total;
    total.ok = true;
    g.Log("BEGIN: Live download by code");
    for (std::size_t i = 0; i < codes.size(); ++i) {
        // Only the last download reports its end to the progress.
        const bool last = i + 1 == codes.size();
        RecordingJobProgress quiet;
        const net::LiveJobResult r = c.DownloadByCode(codes[i], last ? progress : &quiet, cancel);
        total.newCaches += r.newCaches;
        total.updated += r.updated;
        total.skipped += r.skipped;
        total.waypoints += r.waypoints;
        total.failed += r.failed;
        total.cancelled = total.cancelled || r.cancelled;
        if (!r.ok) {
            total.ok = false;
            total.message = r.message;
            if (!last && progress)
                progress->finish(r.message);
            break;
        }
    }
    g.Log("END: Live download by code");
    g.db.ReadDbCounters();
    return total;
}

net::LiveJobResult liveNearest(CGlobalData& g, double lat, double lon, JobProgress* progress,
                               const std::atomic<bool>* cancel)
{
    net::CGcLiveClient& c = liveClient(g);
    DeleteTagsOfCategory(g.db.cacheDb, g.db.tagCategories.lastImport);
    g.Log("BEGIN: Live nearest caches");
    net::LiveJobResult r = c.SearchNearest(lat, lon, g.list.filter.distanceKm, g.settings.isLite != 0, progress, cancel);
    g.Log("END: Live nearest caches");
    g.db.ReadDbCounters();
    return r;
}

net::LiveJobResult liveRefresh(CGlobalData& g, const std::vector<std::string>& codes, bool statusOnly,
                               JobProgress* progress, const std::atomic<bool>* cancel)
{
    net::CGcLiveClient& c = liveClient(g);
    g.Log(statusOnly ? "BEGIN: Live status refresh" : "BEGIN: Live refresh");
    net::LiveJobResult r =
        statusOnly ? c.RefreshStatus(codes, progress, cancel) : c.RefreshList(codes, false, progress, cancel);
    g.Log("END: Live refresh");
    g.db.ReadDbCounters();
    return r;
}

std::vector<std::string> listedCodes(const CGlobalData& g)
{
    std::vector<std::string> codes;
    codes.reserve(g.list.caches.size());
    for (const auto& cache : g.list.caches)
        codes.push_back(cache->code);
    return codes;
}

bool livePublishFieldNote(CGlobalData& g, CGeocache& cache, int logType, std::time_t visit, const std::string& note)
{
    if (!liveClient(g).PublishFieldNote(cache, logType, visit, note))
        return false;
    int key = 0;
    SetTag(g.db.cacheDb, cache.code, g.db.tagCategories.fieldNoteSent, "x", true, key, true);
    return true;
}

} // namespace tw
