// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "online/CGcLiveClient.h"

#include <atomic>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tw {

class CGlobalData;
class JobProgress;

// The program's Live API client, made on first use and bound to the
// settings, the cache database, the language table and the log. The
// settings it reads are taken over again at every call of this function,
// so call it before each operation.
net::CGcLiveClient& liveClient(CGlobalData& global);

// The new login the client asks for when the service refuses the token:
// login runs it and returns whether a token is there afterwards (in
// settings.accessToken). Without one no login happens (batch mode).
void setLiveLogin(CGlobalData& global, std::function<bool()> login);

// Downloads caches by code into the database; the last-import marker then
// names them.
net::LiveJobResult liveDownloadCodes(CGlobalData& global, const std::vector<std::string>& codes,
                                     JobProgress* progress, const std::atomic<bool>* cancel);
// The caches nearest the point, up to MaxImpCaches, within the filter's
// distance; lite data when IsLite is on.
net::LiveJobResult liveNearest(CGlobalData& global, double lat, double lon, JobProgress* progress,
                               const std::atomic<bool>* cancel);
// Fresh data (or only the status) of the given caches.
net::LiveJobResult liveRefresh(CGlobalData& global, const std::vector<std::string>& codes, bool statusOnly,
                               JobProgress* progress, const std::atomic<bool>* cancel);
// The codes of the caches in the current list.
std::vector<std::string> listedCodes(const CGlobalData& global);

// Publishes a visit as a log; on success the cache is tagged as sent.
bool livePublishFieldNote(CGlobalData& global, CGeocache& cache, int logType, std::time_t visit,
                          const std::string& note);

// The counters' captions of an online download.
std::vector<std::string> liveCounterNames(const CGlobalData& global);

} // namespace tw
