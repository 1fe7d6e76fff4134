// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-sim: the outside services the program talks to, on loopback only.
//
//   tarnwick-sim [--port N] [--version-reply TEXT] [--live PQ.gpx]
//                [--user NAME:TOKEN:premium|basic]... [--limit-full N]
//                [--limit-basic N] [--limit-lite N] [--fault MODE[@N]]
//                [--relay-user NAME:PASSWORD:TOKEN]... [--relay-secret HEX]
//
// Port 0 (the default) picks a free port. The first line written to stdout is
// "listening on <port>". The simulator ends on SIGTERM or SIGINT, and when
// the process that started it ends.
//
// Tile server:
//   GET /tiles/{z}/{x}/{y}.png | .jpg      a rendered tile labelled z/x/y
//   GET /mapy/{set}/{z}-{hexX}-{hexY}       the hexadecimal address form
// The same tile paths behind a failure mode, e.g. /text/tiles/13/1/2.png:
//   /text/...      an HTML error page with status 200
//   /badtype/...   a body sent as "image/x-unknown"
//   /garbage/...   bytes that are no image, sent as the image type
//   /short/...     Content-Length larger than the body, then the line closes
//   /huge/...      an image body that never ends
//   /slow/...      the tile after a pause (?delay=seconds, default 30)
//   /redirect/...  302 to the same tile without the prefix
// Listing images:
//   GET /img/{name}.png | .jpg | .gif       a rendered picture labelled with the name
//                                           (a .gif is sent as PNG data typed image/png)
// Update endpoint:
//   POST /twinfo.php                        the newest version (--version-reply)
// Live API v5 (with --live; users by --user):
//   POST /LiveV5/Geocaching.svc/<method>    SearchForGeocaches, GetMoreGeocaches,
//        GetGeocacheStatus, GetYourUserProfile, CreateFieldNoteAndPublish
//   GET  /LiveV5/Geocaching.svc/GetAPILimits?AccessToken=...
//   --fault slow|truncated|500|wrongtype spoils every Live answer, or with
//   "@N" only the N-th; "?fault=MODE" on a request spoils that one.
// Sign-in relay below /oa/ (tools/sim/Relay.h); address search at /geocode
// (tools/sim/Geocoder.h).
// Helpers:
//   ANY /echo...          the request as text: method, target, headers, body
//   GET /big?bytes=N      N bytes of UTF-8 text with two-byte characters
//   GET /_sim/log         one line per request served so far: "METHOD target"
#include "tools/sim/Geocoder.h"
#include "tools/sim/LiveApi.h"
#include "tools/sim/Relay.h"
#include "tools/sim/TileImage.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <sys/prctl.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_stopping{false};
std::atomic<bool> g_listenEnded{false};
std::mutex g_logMutex;
std::vector<std::string> g_log;

std::string tileLabelPng(const std::string& label, std::uint32_t seed, bool jpeg)
{
    static thread_local sim::TileRaster raster;
    sim::renderTile(raster, label, seed);
    return jpeg ? sim::encodeJpeg(raster) : sim::encodePng(raster);
}

std::uint32_t seedOf(long z, long x, long y)
{
    return static_cast<std::uint32_t>(z * 1000003 + x * 7919 + y);
}

bool sleepInterruptibly(int seconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (g_stopping)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Serves a tile, or fails the way `mode` says.
void serveTile(const std::string& mode, const std::string& plainPath, const std::string& label,
               std::uint32_t seed, bool jpeg, const httplib::Request& req, httplib::Response& res)
{
    const char* type = jpeg ? "image/jpeg" : "image/png";
    if (mode == "text") {
        res.set_content("<html><body>Tile not found</body></html>", "text/html");
    } else if (mode == "badtype") {
        res.set_content(tileLabelPng(label, seed, jpeg), "image/x-unknown");
    } else if (mode == "garbage") {
        std::string body(512, '\0');
        std::uint32_t x = seed | 1;
        for (char& c : body) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            c = static_cast<char>(x & 0xFF);
        }
        res.set_content(body, type);
    } else if (mode == "short") {
        auto body = std::make_shared<std::string>(tileLabelPng(label, seed, jpeg));
        const size_t promised = body->size();
        res.set_content_provider(promised, type, [body](size_t offset, size_t, httplib::DataSink& sink) {
            // Half the body, then the connection drops.
            if (offset == 0)
                sink.write(body->data(), body->size() / 2);
            return false;
        });
    } else if (mode == "huge") {
        res.set_chunked_content_provider(type, [](size_t, httplib::DataSink& sink) {
            static const std::string block(64 * 1024, '\x42');
            if (g_stopping || !sink.is_writable())
                return false;
            return sink.write(block.data(), block.size());
        });
    } else if (mode == "slow") {
        const int delay = req.has_param("delay") ? std::atoi(req.get_param_value("delay").c_str()) : 30;
        if (!sleepInterruptibly(delay))
            return;
        res.set_content(tileLabelPng(label, seed, jpeg), type);
    } else if (mode == "redirect") {
        res.set_redirect(plainPath, 302);
    } else {
        res.set_content(tileLabelPng(label, seed, jpeg), type);
    }
}

void logRequest(const httplib::Request& req)
{
    std::lock_guard lock(g_logMutex);
    g_log.push_back(req.method + " " + req.target);
}

// What the command line asks for.
struct SimOptions {
    int port = 0;
    std::string versionReply = "1.7.0.0";
    sim::LiveOptions live;
    bool withLive = false;
    sim::RelayOptions relay;
};

// False (after the usage) for an argument it does not know.
bool readOptions(int argc, char** argv, SimOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--port" && hasValue) {
            o.port = std::atoi(argv[++i]);
        } else if (arg == "--version-reply" && hasValue) {
            o.versionReply = argv[++i];
        } else if (arg == "--live" && hasValue) {
            o.live.pocketQuery = argv[++i];
            o.withLive = true;
        } else if (arg == "--user" && hasValue) {
            o.live.users.emplace_back(argv[++i]);
            o.withLive = true;
        } else if (arg == "--limit-full" && hasValue) {
            o.live.fullLimit = std::atoi(argv[++i]);
        } else if (arg == "--limit-basic" && hasValue) {
            o.live.basicFullLimit = std::atoi(argv[++i]);
        } else if (arg == "--limit-lite" && hasValue) {
            o.live.liteLimit = std::atoi(argv[++i]);
        } else if (arg == "--fault" && hasValue) {
            const std::string value = argv[++i];
            const std::size_t at = value.find('@');
            o.live.fault = value.substr(0, at);
            if (at != std::string::npos)
                o.live.faultRequest = std::atoi(value.c_str() + at + 1);
        } else if (!sim::readRelayOption(argc, argv, i, o.relay)) {
            std::fprintf(stderr, "usage: tarnwick-sim [--port N] [--version-reply TEXT] [--live PQ.gpx]\n"
                                 "       [--user NAME:TOKEN:premium|basic]... [--limit-full N] [--limit-basic N]\n"
                                 "       [--limit-lite N] [--fault slow|truncated|500|wrongtype[@N]]\n"
                                 "       [--relay-user NAME:PASSWORD:TOKEN]... [--relay-secret HEX]\n");
            return false;
        }
    }
    return true;
}

// The tile servers and the images of listings.
void addTiles(httplib::Server& server)
{
    const std::string modes = "(?:/(text|badtype|garbage|short|huge|slow|redirect))?";
    server.Get(modes + R"(/tiles/(\d{1,2})/(\d{1,9})/(\d{1,9})\.(png|jpg))",
               [](const httplib::Request& req, httplib::Response& res) {
                   const auto& m = req.matches;
                   const long z = std::atol(m[2].str().c_str());
                   const long x = std::atol(m[3].str().c_str());
                   const long y = std::atol(m[4].str().c_str());
                   const std::string label = m[2].str() + "/" + m[3].str() + "/" + m[4].str();
                   const std::string plain = "/tiles/" + label + "." + m[5].str();
                   serveTile(m[1].str(), plain, label, seedOf(z, x, y), m[5].str() == "jpg", req, res);
               });
    server.Get(modes + R"(/mapy/([A-Za-z0-9_-]{1,40})/(\d{1,2})-([0-9a-f]{1,8})-([0-9a-f]{1,8}))",
               [](const httplib::Request& req, httplib::Response& res) {
                   const auto& m = req.matches;
                   const long z = std::atol(m[3].str().c_str());
                   const long x = std::strtol(m[4].str().c_str(), nullptr, 16);
                   const long y = std::strtol(m[5].str().c_str(), nullptr, 16);
                   const std::string label = m[4].str() + "-" + m[5].str();
                   const std::string plain = "/mapy/" + m[2].str() + "/" + m[3].str() + "-" + label;
                   serveTile(m[1].str(), plain, label, seedOf(z, x, y), false, req, res);
               });
    server.Get(R"(/img/([A-Za-z0-9_.-]{1,80})\.(png|jpg|gif))", [](const httplib::Request& req, httplib::Response& res) {
        const std::string name = req.matches[1].str();
        std::uint32_t seed = 0;
        for (const char c : name)
            seed = seed * 31 + static_cast<unsigned char>(c);
        const bool jpeg = req.matches[2].str() == "jpg";
        res.set_content(tileLabelPng(name, seed, jpeg), jpeg ? "image/jpeg" : "image/png");
    });
}

// The update check, and the pages tests look at the client's requests with.
void addChecks(httplib::Server& server, const std::string& versionReply)
{
    auto twinfo = [versionReply](const httplib::Request&, httplib::Response& res) {
        res.set_content(versionReply, "text/plain");
    };
    server.Post("/twinfo.php", twinfo);
    server.Get("/twinfo.php", twinfo);
    auto echo = [](const httplib::Request& req, httplib::Response& res) {
        std::string out = req.method + " " + req.target + "\n";
        for (const auto& [name, value] : req.headers)
            out += name + ": " + value + "\n";
        out += "\n" + req.body;
        res.set_content(out, "text/plain; charset=utf-8");
    };
    server.Get(R"(/echo.*)", echo);
    server.Post(R"(/echo.*)", echo);
    server.Get("/big", [](const httplib::Request& req, httplib::Response& res) {
        const long bytes = req.has_param("bytes") ? std::atol(req.get_param_value("bytes").c_str()) : 10000;
        static const std::string unit = "0123456789\xC5\xBE\n"; // "ž" is two bytes
        std::string out;
        while (static_cast<long>(out.size() + unit.size()) <= bytes)
            out += unit;
        out.append(static_cast<std::size_t>(bytes) - out.size(), '.');
        res.set_content(out, "text/plain; charset=utf-8");
    });
    server.Get("/_sim/log", [](const httplib::Request&, httplib::Response& res) {
        std::string out;
        {
            std::lock_guard lock(g_logMutex);
            for (const std::string& line : g_log)
                out += line + "\n";
        }
        res.set_content(out, "text/plain");
    });
}

// Serves until SIGTERM or SIGINT, or until the parent is gone.
void serve(httplib::Server& server, pid_t parent, const sigset_t& signals)
{
    std::thread watcher([&server, parent, signals] {
        for (;;) {
            timespec wait{0, 200 * 1000 * 1000};
            if (g_stopping || sigtimedwait(&signals, nullptr, &wait) > 0 || ::getppid() != parent)
                break;
        }
        g_stopping = true;
        // A stop before the server has begun listening does nothing: repeat
        // it until listening has ended.
        while (!g_listenEnded) {
            server.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    server.listen_after_bind();
    g_listenEnded = true;
    g_stopping = true;
    watcher.join();
}

} // namespace

int main(int argc, char** argv)
{
    SimOptions options;
    if (!readOptions(argc, argv, options))
        return 2;

    // Ends with the test (or shell) that started it.
    const pid_t parent = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    httplib::Server server;
    // Logged before the reply goes out: a client that asks for the log right
    // after its request must find that request in it.
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        logRequest(req);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    addTiles(server);
    addChecks(server, options.versionReply);
    sim::addRelay(server, options.relay);
    sim::addGeocoder(server);
    if (options.withLive && !sim::installLiveApi(server, options.live))
        return 1;

    int port = options.port;
    if (port == 0)
        port = server.bind_to_any_port("127.0.0.1");
    else if (!server.bind_to_port("127.0.0.1", port))
        port = -1;
    if (port <= 0) {
        std::fprintf(stderr, "tarnwick-sim: cannot listen on 127.0.0.1\n");
        return 1;
    }
    std::printf("listening on %d\n", port);
    std::fflush(stdout);
    serve(server, parent, signals);
    return 0;
}
