// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ImagePrefetch.h"

namespace fs = std::filesystem;

namespace tw::listing {

bool ImagePrefetch::request(const std::string& url, const fs::path& path)
{
    if (m_requested.insert(url).second && m_enqueue)
        m_enqueue(url, path);
    return true;
}

} // namespace tw::listing
