// SPDX-License-Identifier: GPL-3.0-or-later
// The download queue of CNetClient and its worker thread.
#include "online/CNetClient.h"

#include "maps/TileProvider.h"
#include "platform/Notifier.h"
#include "platform/Prompter.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tw::net {
namespace {

constexpr auto kStopWait = std::chrono::milliseconds(10000);

bool isBelow(const fs::path& root, const fs::path& path)
{
    if (root.empty())
        return true;
    const fs::path rel = path.lexically_normal().lexically_relative(root.lexically_normal());
    return !rel.empty() && *rel.begin() != ".." && !rel.is_absolute();
}

// Writes the body beside the target and renames it into place, so that a
// stopped or broken transfer never leaves a partial tile that is then
// neither drawn nor fetched again.
bool writeWhole(const fs::path& target, const std::string& body)
{
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    const fs::path temp = target.string() + ".part" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out.write(body.data(), static_cast<std::streamsize>(body.size()));
        out.close();
        if (!out) {
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

} // namespace

std::string imageExtension(std::string_view contentType)
{
    constexpr std::string_view kPrefix = "image/";
    if (contentType.size() < kPrefix.size())
        return {};
    std::string type;
    for (const char c : contentType)
        type += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!std::string_view(type).starts_with(kPrefix))
        return {};
    std::string sub = type.substr(kPrefix.size());
    sub = sub.substr(0, sub.find_first_of("; \t"));
    for (const char* known : {"png", "jpeg", "gif", "webp"})
        if (sub == known)
            return sub;
    return {};
}

void CNetClient::enqueueFile(const std::string& url, const fs::path& path, const std::string& header,
                             std::size_t maxBytes)
{
    if (path.empty())
        return;
    DownloadItem item;
    item.url = url;
    item.header = header;
    item.target = path;
    item.maxBytes = maxBytes;
    enqueue(std::move(item));
}

void CNetClient::enqueueListingImage(const std::string& url, const fs::path& path)
{
    // A listing's address that the transfer would refuse anyway must not
    // end the worker with "Error in OpenURL".
    if (path.empty() || !prepareUrl(url))
        return;
    DownloadItem item;
    item.url = url;
    item.target = path;
    item.maxBytes = maps::kMaxImageBytes;
    item.publicHostsOnly = !m_privateHostsAllowed;
    enqueue(std::move(item));
}

void CNetClient::enqueueTile(const std::string& url, const maps::TileKey& key, const fs::path& database,
                             const std::string& header)
{
    if (database.empty())
        return;
    DownloadItem item;
    item.url = url;
    item.header = header;
    item.database = database;
    item.key = key;
    item.maxBytes = maps::kMaxTileBytes;
    enqueue(std::move(item));
}

void CNetClient::enqueue(DownloadItem item)
{
    {
        std::lock_guard lock(m_lock);
        if (item.url == m_currentUrl)
            return;
        for (const DownloadItem& queuedItem : m_queue)
            if (queuedItem.url == item.url)
                return;
        m_queue.push_back(std::move(item));
    }
    if (!m_running)
        startWorker();
}

int CNetClient::queued() const
{
    std::lock_guard lock(m_lock);
    return static_cast<int>(m_queue.size());
}

void CNetClient::startWorker()
{
    if (!m_downloadsOn || !connect())
        return;
    std::unique_lock lock(m_lock);
    m_stopRequested = false;
    m_running = true;
    // A worker that is still alive goes on with the queue; one that has
    // decided to end is about to return, so joining it is quick.
    if (m_workerAlive)
        return;
    if (m_worker.joinable()) {
        lock.unlock();
        m_worker.join();
        lock.lock();
    }
    m_workerAlive = true;
    m_worker = std::thread(&CNetClient::workerLoop, this);
}

void CNetClient::stopWorker()
{
    std::unique_lock lock(m_lock);
    if (m_worker.joinable()) {
        m_stopRequested = true;
        // The transfer in progress sees the flag and aborts.
        const bool ended = m_workerEnded.wait_for(lock, kStopWait, [this] { return !m_workerAlive; });
        lock.unlock();
        if (ended)
            m_worker.join();
        else
            m_worker.detach();
        lock.lock();
    }
    m_queue.clear();
    m_stopRequested = false;
    lock.unlock();
    m_running = false;
    m_connected = false;
    refreshStatus();
}

void CNetClient::clearQueue()
{
    m_running = false;
    m_connected = false;
    refreshStatus();
    std::lock_guard lock(m_lock);
    m_queue.clear();
}

void CNetClient::endWorker(std::unique_lock<std::mutex>& lock)
{
    m_queue.clear();
    m_currentUrl.clear();
    m_running = false;
    m_connected = false;
    m_workerAlive = false;
    m_workerEnded.notify_all();
    lock.unlock();
    refreshStatus();
}

void CNetClient::workerLoop()
{
    // The worker's own connections, one per tile database, for its lifetime.
    TileDatabases databases;
    for (;;) {
        std::unique_lock lock(m_lock);
        if (m_stopRequested || m_queue.empty()) {
            endWorker(lock);
            return;
        }
        // Taken off the queue now: a clear while it is fetched cannot make
        // the worker drop some other item in its place.
        const DownloadItem item = std::move(m_queue.front());
        m_queue.pop_front();
        m_currentUrl = item.url;
        lock.unlock();

        const bool goOn = fetch(item, databases);

        lock.lock();
        m_currentUrl.clear();
        const int remaining = static_cast<int>(m_queue.size());
        if (!goOn || m_stopRequested) {
            endWorker(lock);
            return;
        }
        lock.unlock();
        m_notifier.downloadProgress(remaining);
    }
}

// One item; false ends the worker.
bool CNetClient::fetch(const DownloadItem& item, TileDatabases& databases)
{
    TransferRequest req;
    req.url = item.url;
    if (!item.header.empty())
        req.headers.push_back(item.header);
    req.maxBytes = item.maxBytes;
    req.requiredTypePrefix = "image/";
    req.connectTimeout = m_connectTimeout;
    req.stallTimeout = m_stallTimeout;
    req.deadline = m_deadline;
    req.cancel = &m_stopRequested;
    req.publicAddressesOnly = item.publicHostsOnly;
    const TransferResult result = transfer(req);

    switch (result.status) {
    case TransferStatus::Ok:
        break;
    case TransferStatus::Cancelled:
        return false;
    case TransferStatus::BadUrl:
        m_prompter.message(messages().openUrl, MessageIcon::Exclamation);
        return false;
    case TransferStatus::Failed:
        showInternetError(result.error);
        m_downloadsOn = false;
        return false;
    case TransferStatus::Refused:
        // A listing that points into the user's network: the image stays
        // missing, and nothing else is affected.
        return true;
    case TransferStatus::WrongType:
    case TransferStatus::TooLarge:
    case TransferStatus::Redirected:
        // An error page or an oversized body: the tile stays missing and is
        // asked for again when the map needs it.
        return true;
    }
    // Only image types we know become extensions: the server's text must
    // never choose a file name.
    const std::string ext = imageExtension(result.contentType);
    if (ext.empty() || result.body.empty())
        return true;

    if (!item.database.empty()) {
        // The worker's own connection: the window thread deletes through its
        // connection at the same time, and SQLite serialises the two.
        auto& db = databases[item.database];
        if (!db)
            db = std::make_unique<maps::TileDatabase>(item.database);
        if (db->open())
            db->write(item.key, result.body.data(), result.body.size());
        return true;
    }

    fs::path target = item.target;
    const std::string name = target.filename().string();
    const std::string placeholder = std::string(".") + maps::kExtPlaceholder;
    if (name.ends_with(placeholder))
        target.replace_filename(name.substr(0, name.size() - placeholder.size()) + "." + ext);
    fs::path root;
    {
        std::lock_guard lock(m_lock);
        root = m_downloadRoot;
    }
    if (!isBelow(root, target))
        return true;
    if (!writeWhole(target, result.body)) {
        m_prompter.message(messages().fileOpen, MessageIcon::Exclamation);
        return false;
    }
    return true;
}

} // namespace tw::net
