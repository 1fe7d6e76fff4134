// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tw {

// What changed, for the screens that show it.
enum class Topic { Gps, Counters, CacheList, Track, Settings };

// "Something changed" and "download progress", posted from any thread; the
// window side delivers them on its own thread and never blocks the caller.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void stateChanged(Topic topic) = 0;
    // remaining: number of downloads still queued.
    virtual void downloadProgress(int remaining) = 0;
};

} // namespace tw
