// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MapAreaCaches.h"

#include "platform/Notifier.h"

namespace tw {

bool MapAreaCaches::frameComposed()
{
    if (m_state != State::Changed)
        return false;
    m_state = State::Shown;
    return true;
}

bool MapAreaCaches::reload(bool readList)
{
    if (m_state != State::Shown)
        return false;
    m_state = State::Settled;
    if (!readList)
        return false;
    // Waypoints stay loaded: any change of them announces itself.
    m_reloading = true;
    m_list.readCaches();
    m_reloading = false;
    m_notifier.stateChanged(Topic::CacheList);
    return true;
}

} // namespace tw
