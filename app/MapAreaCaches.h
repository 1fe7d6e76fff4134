// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CacheList.h"

#include <memory>
#include <vector>

namespace tw {

class Notifier;

// The caches the map shows, following its visible area. When the view moves
// or zooms, the next frame says that the list is loading; once that frame
// is on the screen the list is read again, measured from the map centre.
// Frames only read the list: the reading runs between them.
class MapAreaCaches {
public:
    MapAreaCaches(CacheList& list, Notifier& notifier) : m_list(list), m_notifier(notifier) {}

    // The caches of the list, and the cache open in the listing.
    const std::vector<std::unique_ptr<CGeocache>>& caches() const { return m_list.caches; }
    const CGeocache* currentCache() const { return m_list.currentCache(); }

    // The view moved or zoomed: the list is read again after the next frame.
    void areaChanged() { m_state = State::Changed; }
    // Caches are no longer shown: nothing is to be read.
    void forget() { m_state = State::Settled; }
    // True from a change of the area until the list has been read again.
    bool pending() const { return m_state != State::Settled; }
    // A frame has been composed. True once per change: the frame that says
    // "loading" is on its way, so the list may be read next.
    bool frameComposed();
    // Reads the list again, when a frame has shown the change and readList
    // is true (caches are shown); afterwards nothing is pending. True when
    // the list was read.
    bool reload(bool readList);
    // True while reload reads the list: distances are then measured from the
    // map centre.
    bool reloading() const { return m_reloading; }

private:
    enum class State { Settled, Changed, Shown };
    CacheList& m_list;
    Notifier& m_notifier;
    State m_state = State::Settled;
    bool m_reloading = false;
};

} // namespace tw
