// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tw::listing {

/** Whether the description page must be built again or only its note
 *  refreshed: it is rebuilt for another cache, and for the same one while
 *  images it asked for are still missing. */
class DescriptionState {
public:
    bool needsRebuild(std::string_view code) const { return code != m_shownCode || m_pending; }
    void built(std::string_view code, bool downloadsPending)
    {
        m_shownCode = code;
        m_pending = downloadsPending;
    }
    bool pending() const { return m_pending; }

private:
    std::string m_shownCode;
    bool m_pending = false;
};

} // namespace tw::listing
