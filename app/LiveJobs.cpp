// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LiveJobs.h"

#include "app/CGlobalData.h"
#include "app/GpxImport.h"
#include "db/Tags.h"
#include "platform/JobProgress.h"
#include "platform/Prompter.h"
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

void takeOverSettings(CGlobalData& global, net::LiveSettings& s)
{
    const Settings& in = global.settings;
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

net::CGcLiveClient& liveClient(CGlobalData& global)
{
    if (!global.liveClient) {
        global.liveClient = std::make_unique<net::CGcLiveClient>(global.netClient, global.prompter, global.db.cacheDb,
                                                                 global.db.tagCategories);
        net::CGcLiveClient& c = *global.liveClient;
        c.text = [&global](int n) { return global.text(n); };
        c.log = [&global](const std::string& line) { global.Log(line); };
        c.saveState = [&global](const net::LiveSettings& s) {
            global.settings.dnlFull = s.dnlFull;
            global.settings.dnlLite = s.dnlLite;
            global.settings.isBasic = s.isBasic;
            global.settings.limitTimestamp = s.limitTimestamp;
            global.SaveSettings(SettingsGroup::Online);
        };
    }
    net::CGcLiveClient& c = *global.liveClient;
    c.setServiceBase(net::liveServiceBase(global.settings.liveUrl));
    // A service on this machine needs no data connection to be brought up.
    if (isLoopback(c.serviceBase()))
        global.netClient.setConnectionProbe([] { return true; });
    takeOverSettings(global, c.settings());
    return c;
}

void setLiveLogin(CGlobalData& global, std::function<bool()> login)
{
    liveClient(global).relogin = [&global, login = std::move(login)]() -> std::string {
        if (!login || !login())
            return {};
        return global.settings.accessToken;
    };
}

std::vector<std::string> liveCounterNames(const CGlobalData& global)
{
    return {global.text(262), global.text(263), global.text(264), global.text(265)};
}

net::LiveJobResult liveDownloadCodes(CGlobalData& global, const std::vector<std::string>& codes, JobProgress* progress,
                                     const std::atomic<bool>* cancel)
{
    net::CGcLiveClient& c = liveClient(global);
    // The marker names the latest download only.
    clearImportMarker(global);
    net::LiveJobResult total;
    total.ok = true;
    global.Log("BEGIN: Live download by code");
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
        if (r.nothingFound) {
            // The other codes are still fetched; the run fails at the end.
            total.ok = false;
            total.nothingFound = true;
            total.message = r.message;
            if (!last)
                global.prompter.message(r.message, MessageIcon::Exclamation);
            continue;
        }
        if (!r.ok) {
            total.ok = false;
            total.message = r.message;
            if (!last && progress)
                progress->finish(r.message);
            break;
        }
    }
    global.Log("END: Live download by code");
    global.db.ReadDbCounters();
    return total;
}

net::LiveJobResult liveNearest(CGlobalData& global, double lat, double lon, JobProgress* progress,
                               const std::atomic<bool>* cancel)
{
    net::CGcLiveClient& c = liveClient(global);
    clearImportMarker(global);
    global.Log("BEGIN: Live nearest caches");
    net::LiveJobResult r =
        c.SearchNearest(lat, lon, global.list.filter.distanceKm, global.settings.isLite != 0, progress, cancel);
    global.Log("END: Live nearest caches");
    global.db.ReadDbCounters();
    return r;
}

net::LiveJobResult liveRefresh(CGlobalData& global, const std::vector<std::string>& codes, bool statusOnly,
                               JobProgress* progress, const std::atomic<bool>* cancel)
{
    net::CGcLiveClient& c = liveClient(global);
    global.Log(statusOnly ? "BEGIN: Live status refresh" : "BEGIN: Live refresh");
    net::LiveJobResult r =
        statusOnly ? c.RefreshStatus(codes, progress, cancel) : c.RefreshList(codes, false, progress, cancel);
    global.Log("END: Live refresh");
    global.db.ReadDbCounters();
    return r;
}

std::vector<std::string> listedCodes(const CGlobalData& global)
{
    std::vector<std::string> codes;
    codes.reserve(global.list.caches.size());
    for (const auto& cache : global.list.caches)
        codes.push_back(cache->code);
    return codes;
}

bool livePublishFieldNote(CGlobalData& global, CGeocache& cache, int logType, std::time_t visit,
                          const std::string& note)
{
    if (!liveClient(global).PublishFieldNote(cache, logType, visit, note))
        return false;
    int key = 0;
    SetTag(global.db.cacheDb, cache.code, global.db.tagCategories.fieldNoteSent, "x", true, key, true);
    return true;
}

} // namespace tw
