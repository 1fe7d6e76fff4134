// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DeviceSend.h"

#include "app/CGlobalData.h"
#include "app/GpxExport.h"
#include "exchange/GpxWriter.h"
#include "platform/AtomicFile.h"
#include "platform/JobProgress.h"
#include "platform/Numbers.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tw {

namespace {

constexpr int kTextSent = 1270;
constexpr int kTextFull = 1271;
constexpr int kTextCannotWrite = 1272;
constexpr int kTextCancelled = 1273;
constexpr int kTextUnreadable = 1274;

// Flushes, syncs and closes; false when any of them failed. errno tells why.
bool closeSynced(std::FILE* out)
{
    bool ok = std::fflush(out) == 0;
    ok = ok && ::fsync(::fileno(out)) == 0;
    const int saved = errno;
    ok = std::fclose(out) == 0 && ok;
    if (!ok && saved != 0 && errno == 0)
        errno = saved;
    return ok;
}

} // namespace

std::string megabytesText(std::uintmax_t bytes)
{
    if (bytes < 1000000)
        return num::formatFixed(static_cast<double>(bytes) / 1e3, 0) + " kB";
    return num::formatFixed(static_cast<double>(bytes) / 1e6, 1) + " MB";
}

SendSummary sendToDevice(CGlobalData& global, const gpsdevice::Device& device, JobProgress* progress,
                         const std::atomic<bool>* cancel)
{
    SendSummary summary;
    const fs::path folder = gpsdevice::gpxFolder(device);
    const fs::path path = folder / kDeviceGpxName;
    summary.file = path.string();
    auto finish = [&](std::string message) {
        summary.message = std::move(message);
        if (progress)
            progress->finish(summary.message);
        return summary;
    };
    const auto cannotWrite = [&] {
        return text::fillIn(global.lang.textOr(kTextCannotWrite, "%s could not be written; the file there before "
                                                                 "is unchanged."),
                            {summary.file});
    };
    const auto noRoom = [&](std::uintmax_t needed) {
        summary.full = true;
        return text::fillIn(global.lang.textOr(kTextFull, "The device has no room for %s (%s needed); the file "
                                                          "there before is unchanged."),
                            {summary.file, megabytesText(needed)});
    };
    if (!global.db.cacheDb.IsAvailable() || !global.db.cacheDbProblem().empty() ||
        !global.list.readCaches(CacheList::kEveryRow))
        return finish(global.lang.textOr(kTextUnreadable, "The caches could not be read from the database, so "
                                                          "nothing was sent."));

    std::error_code ec;
    fs::create_directories(folder, ec);
    removeStalePartFiles(folder, [](const std::string& name) { return name == kDeviceGpxName; });

    // The list holds names and codes only; the texts are read cache by cache.
    std::uintmax_t estimate = 1000;
    for (const auto& cache : global.list.caches)
        estimate += kSendBytesPerCache + cache->name.size() * 4;
    if (const auto room = freeBytes(folder); room && *room < estimate) {
        global.list.trimToMaxRows();
        return finish(noRoom(estimate));
    }

    const fs::path temp = partFileOf(path);
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) {
        global.list.trimToMaxRows();
        return finish(errno == ENOSPC ? noRoom(estimate) : cannotWrite());
    }
    global.Log("BEGIN: send to GPS device ", path.string());
    if (progress) {
        progress->setRange(static_cast<int>(global.list.caches.size()));
        progress->setPosition(0);
    }
    GpxWriterOptions options;
    options.maxLogs = std::max(0, global.settings.sendLogs);
    options.maxWaypointNameLength = kDeviceWaypointNameLength;
    GpxWriter writer(out, options);
    writer.header(std::time(nullptr));
    const ListedWrite end = writeListedCaches(global, writer, progress, cancel, summary.caches);
    summary.cancelled = end == ListedWrite::Cancelled;
    const bool readFailed = end == ListedWrite::Unreadable;
    global.list.trimToMaxRows();
    writer.footer();
    int failure = writer.ok() ? 0 : errno;
    bool wrote = false;
    if (writer.ok()) {
        errno = 0;
        wrote = closeSynced(out);
        failure = wrote ? 0 : errno;
    } else {
        std::fclose(out);
    }
    // A write refused for want of room, whatever errno the buffered write kept.
    const auto left = freeBytes(folder);
    const bool roomRanOut = !wrote && (failure == ENOSPC || (left && *left < kSendBytesPerCache * 4));
    const bool keep = wrote && !summary.cancelled && !readFailed;
    if (!keep || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        global.Log("END: send to GPS device, nothing replaced ", path.string());
        const std::uintmax_t written = writer.bytes();
        summary.caches = 0;
        if (summary.cancelled)
            return finish(global.lang.textOr(kTextCancelled, "The send was cancelled; the file on the device is "
                                                             "unchanged."));
        if (readFailed)
            return finish(global.lang.textOr(kTextUnreadable, "The caches could not be read from the database, "
                                                              "so nothing was sent."));
        return finish(roomRanOut ? noRoom(written) : cannotWrite());
    }
    syncFolder(folder);
    summary.written = true;
    summary.waypoints = writer.waypoints();
    summary.bytes = writer.bytes();
    global.Log("END: send to GPS device ", path.string());
    return finish(text::fillIn(global.lang.textOr(kTextSent, "%d caches, %d waypoints, %s sent to %s."),
                               {std::to_string(summary.caches), std::to_string(summary.waypoints),
                                megabytesText(summary.bytes), summary.file}));
}

} // namespace tw
