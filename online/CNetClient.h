// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/TileDownloader.h"
#include "online/HttpTransfer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tw {
class Notifier;
class Prompter;
}

namespace tw::net {

/** Largest answer of a GET or POST (API responses, update check). */
inline constexpr std::size_t kMaxResponseBytes = 32u << 20;
/** The longest a GET or POST may take, redirects included. A page of the
 *  Live API is some 100 kB: minutes even on a poor mobile line. */
inline constexpr std::chrono::seconds kRequestDeadline{120};

/** One queued download: a file (tile or listing image) or a database tile. */
struct DownloadItem {
    std::string url;
    std::string header;               // extra request header line, may be empty
    std::filesystem::path target;     // file path, possibly ending in "<ext>"
    std::filesystem::path database;   // tile database file; empty for a file
    maps::TileKey key;
    std::size_t maxBytes = maps::kMaxTileBytes;
    bool publicHostsOnly = false;     // a listing image: see enqueueListingImage
};

/** The program's one HTTP client: blocking GET and POST for the online
 *  services, and the background download queue of map tiles and listing
 *  images with its worker thread. */
class CNetClient final : public maps::TileDownloader {
public:
    CNetClient(Prompter& prompter, Notifier& notifier);
    ~CNetClient() override;
    CNetClient(const CNetClient&) = delete;
    CNetClient& operator=(const CNetClient&) = delete;

    /** The DnlOnline setting as this client sees it; a network failure
     *  switches it off (and reports Topic::Settings). */
    void setDownloadsOn(bool on) { m_downloadsOn = on; }
    bool downloadsOn() const { return m_downloadsOn; }
    /** Downloaded files must lie below this folder (the map folder). */
    void setDownloadRoot(std::filesystem::path root);
    /** How a data connection is detected; the default looks for a
     *  non-loopback interface that is up. */
    void setConnectionProbe(std::function<bool()> probe);
    /** deadline: the most one GET or POST may take as a whole. */
    void setTimeouts(std::chrono::seconds connect, std::chrono::seconds stall,
                     std::chrono::seconds deadline = kRequestDeadline);

    /** The failure messages in the user's language; "%s" of internetError
     *  takes the failure, "%d" of tooLarge the limit in MiB. */
    struct Messages {
        std::string openUrl = "Error in OpenURL";
        std::string fileOpen = "Error in FileOpen";
        std::string internetError = "Internet error: %s";
        std::string tooLarge = "The response is larger than %d MiB.";
        std::string interrupted = "The transfer was interrupted.";
        /** "%d": the HTTP status. */
        std::string httpError = "The server answered with an error (HTTP status %d).";
        /** "%s": where the server sent the request. */
        std::string redirected = "The server sent the request on to %s; it was not followed there.";
    };
    void setMessages(Messages messages);

    /** Brings up the connection; on failure switches downloads off. */
    bool connect();
    bool isConnectionUp() const;
    bool connected() const { return m_connected; }
    bool running() const { return m_running; }

    /** The whole response body of a GET; false (after a message) on failure.
     *  An HTTP status other than 2xx is a failure; redirects are followed
     *  only on the same scheme, host and port, and every request ends
     *  within the deadline (see setTimeouts). */
    bool httpGet(const std::string& url, std::string& text);
    // The same, with every "%26" of the URL sent as it stands.
    bool httpGetEscaped(const std::string& url, std::string& text);
    /** kind 0: form data, 1: XML, other: no content type. */
    bool httpPost(const std::string& url, const std::string& body, std::string& text, int kind);
    /** Escapes a query value: "a b&c" → "a%20b%26c". */
    static std::string urlEncode(std::string_view text);

    void enqueueFile(const std::string& url, const std::filesystem::path& path, const std::string& header,
                     std::size_t maxBytes = maps::kMaxImageBytes) override;
    void enqueueTile(const std::string& url, const maps::TileKey& key, const std::filesystem::path& database,
                     const std::string& header) override;
    bool downloadsAllowed() const override { return m_downloadsOn; }
    /** A listing image: the address comes from a cache listing, not from the
     *  user, so unless private hosts are allowed it is fetched only from a
     *  public address (a listing must not reach into the user's network).
     *  Anything but an http or https URL is ignored. */
    void enqueueListingImage(const std::string& url, const std::filesystem::path& path);
    /** Lets listing images come from loopback and private addresses; the
     *  default is TARNWICK_ALLOW_PRIVATE_HOSTS=1 in the environment. */
    void setPrivateHostsAllowed(bool allowed) { m_privateHostsAllowed = allowed; }
    bool privateHostsAllowed() const { return m_privateHostsAllowed; }
    /** Starts the worker when downloads are on and a connection comes up. */
    void startWorker();
    /** Asks the worker to stop, waits up to 10 s, and empties the queue. */
    void stopWorker();
    /** Empties the queue without waiting for the worker. */
    void clearQueue();
    /** Items still queued (the one being fetched not counted). */
    int queued() const;

private:
    void enqueue(DownloadItem item);
    bool request(const std::string& url, TransferRequest& request, std::string& text);
    void networkFailed(const std::string& error);
    void refreshStatus();
    void workerLoop();
    using TileDatabases = std::map<std::filesystem::path, std::unique_ptr<maps::TileDatabase>>;
    bool fetch(const DownloadItem& item, TileDatabases& databases);
    void endWorker(std::unique_lock<std::mutex>& lock);
    Messages messages() const;
    void showInternetError(const std::string& error);

    Prompter& m_prompter;
    Notifier& m_notifier;

    mutable std::mutex m_lock;
    std::condition_variable m_workerEnded;
    std::thread m_worker;
    bool m_workerAlive = false;          // guarded by m_lock
    std::deque<DownloadItem> m_queue;    // guarded by m_lock
    std::string m_currentUrl;            // being fetched; guarded by m_lock
    Messages m_messages;                 // guarded by m_lock
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_downloadsOn{false};
    std::atomic<bool> m_privateHostsAllowed{false};

    std::filesystem::path m_downloadRoot;
    std::function<bool()> m_probe;
    std::chrono::seconds m_connectTimeout{15};
    std::chrono::seconds m_stallTimeout{30};
    std::chrono::seconds m_deadline{kRequestDeadline};
};

/** True when a network interface other than loopback is up. */
bool hasNonLoopbackInterface();

/** The subtype of an accepted image content type ("image/jpeg" → "jpeg");
 *  empty for anything that is not png, jpeg, gif or webp. */
std::string imageExtension(std::string_view contentType);

} // namespace tw::net
