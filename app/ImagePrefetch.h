// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>

namespace tw::listing {

/** Hands image downloads to the queue, each address once for the life of
 *  this object: a page that is rebuilt while its images are on the way (or
 *  after one was refused) does not ask for them again. */
class ImagePrefetch {
public:
    using Enqueue = std::function<void(const std::string& url, const std::filesystem::path& path)>;
    explicit ImagePrefetch(Enqueue enqueue) : m_enqueue(std::move(enqueue)) {}

    /** Queues the address unless it was queued before; true either way. */
    bool request(const std::string& url, const std::filesystem::path& path);

private:
    Enqueue m_enqueue;
    std::set<std::string> m_requested;
};

} // namespace tw::listing
