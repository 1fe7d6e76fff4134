// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/LiveApi.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

namespace sim {
namespace {

// ---- A small reader for the well-formed XML of pocket queries and requests.

struct Node {
    std::string name; // without prefix
    std::map<std::string, std::string> attrs;
    std::string text;
    std::vector<std::unique_ptr<Node>> children;

    const Node* child(const std::string& n) const
    {
        for (const auto& c : children)
            if (c->name == n)
                return c.get();
        return nullptr;
    }
    std::string childText(const std::string& n) const
    {
        const Node* c = child(n);
        return c ? c->text : std::string();
    }
    // Every descendant of that name, in document order.
    void collect(const std::string& n, std::vector<const Node*>& out) const
    {
        for (const auto& c : children) {
            if (c->name == n)
                out.push_back(c.get());
            c->collect(n, out);
        }
    }
};

void appendUtf8(std::string& out, unsigned long cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string decode(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '&') {
            out += s[i];
            continue;
        }
        const std::size_t end = s.find(';', i);
        if (end == std::string::npos) {
            out += s[i];
            continue;
        }
        const std::string e = s.substr(i + 1, end - i - 1);
        if (e == "amp") out += '&';
        else if (e == "lt") out += '<';
        else if (e == "gt") out += '>';
        else if (e == "quot") out += '"';
        else if (e == "apos") out += '\'';
        else if (!e.empty() && e[0] == '#')
            appendUtf8(out, e.size() > 1 && (e[1] == 'x' || e[1] == 'X') ? std::stoul(e.substr(2), nullptr, 16)
                                                                         : std::stoul(e.substr(1)));
        else
            out += "&" + e + ";";
        i = end;
    }
    return out;
}

std::string localName(const std::string& qname)
{
    const std::size_t colon = qname.find(':');
    return colon == std::string::npos ? qname : qname.substr(colon + 1);
}

// Nothing when the text is not well formed enough to read.
std::unique_ptr<Node> parseXml(const std::string& xml)
{
    auto root = std::make_unique<Node>();
    std::vector<Node*> stack{root.get()};
    std::size_t i = 0;
    try {
        while (i < xml.size()) {
            const std::size_t lt = xml.find('<', i);
            if (lt == std::string::npos) break;
            stack.back()->text += decode(xml.substr(i, lt - i));
            if (xml.compare(lt, 4, "<!--") == 0) {
                i = xml.find("-->", lt);
                if (i == std::string::npos) return nullptr;
                i += 3;
                continue;
            }
            if (xml.compare(lt, 9, "<![CDATA[") == 0) {
                const std::size_t e = xml.find("]]>", lt);
                if (e == std::string::npos) return nullptr;
                stack.back()->text += xml.substr(lt + 9, e - lt - 9);
                i = e + 3;
                continue;
            }
            const std::size_t gt = xml.find('>', lt);
            if (gt == std::string::npos) return nullptr;
            std::string tag = xml.substr(lt + 1, gt - lt - 1);
            i = gt + 1;
            if (tag.empty() || tag[0] == '?' || tag[0] == '!')
                continue;
            if (tag[0] == '/') {
                if (stack.size() < 2) return nullptr;
                stack.pop_back();
                continue;
            }
            const bool empty = tag.back() == '/';
            if (empty) tag.pop_back();
            auto node = std::make_unique<Node>();
            std::size_t p = tag.find_first_of(" \t\r\n");
            node->name = localName(tag.substr(0, p));
            while (p != std::string::npos && p < tag.size()) {
                const std::size_t eq = tag.find('=', p);
                if (eq == std::string::npos) break;
                std::string key = tag.substr(p, eq - p);
                key.erase(0, key.find_first_not_of(" \t\r\n"));
                key.erase(key.find_last_not_of(" \t\r\n") + 1);
                const std::size_t q1 = tag.find_first_of("\"'", eq);
                if (q1 == std::string::npos) break;
                const std::size_t q2 = tag.find(tag[q1], q1 + 1);
                if (q2 == std::string::npos) return nullptr;
                node->attrs[localName(key)] = decode(tag.substr(q1 + 1, q2 - q1 - 1));
                p = q2 + 1;
            }
            Node* raw = node.get();
            stack.back()->children.push_back(std::move(node));
            if (!empty)
                stack.push_back(raw);
        }
    } catch (const std::exception&) {
        return nullptr;
    }
    return root;
}

// ---- The data served.

struct SimLog {
    long id = 0;
    std::string date, type, finder, text;
};

struct SimWaypoint {
    std::string code, name, comment, sym, guid;
    double lat = 0, lon = 0;
};

struct SimTrackable {
    long id = 0;
    std::string code, name;
};

struct SimCache {
    std::string code, guid, name, owner, typeName, container, hidden, country, state;
    std::string shortDesc, longDesc, hints;
    bool shortHtml = false, longHtml = false, available = true, archived = false;
    double lat = 0, lon = 0, difficulty = 1, terrain = 1;
    std::vector<std::pair<int, bool>> attributes;
    std::vector<SimLog> logs;
    std::vector<SimWaypoint> waypoints;
    std::vector<SimTrackable> trackables;
};

int typeId(const std::string& name)
{
    static const std::map<std::string, int> ids = {
        {"Traditional Cache", 2}, {"Multi-cache", 3},   {"Virtual Cache", 4},  {"Letterbox Hybrid", 5},
        {"Event Cache", 6},       {"Unknown Cache", 8}, {"Webcam Cache", 11},  {"Earthcache", 137},
        {"Wherigo Cache", 1858}};
    const auto it = ids.find(name);
    return it == ids.end() ? 8 : it->second;
}

int containerId(const std::string& name)
{
    static const std::map<std::string, int> ids = {{"Not chosen", 1}, {"Micro", 2}, {"Regular", 3}, {"Large", 4},
                                                   {"Virtual", 5},    {"Other", 6}, {"Small", 8}};
    const auto it = ids.find(name);
    return it == ids.end() ? 1 : it->second;
}

int logTypeId(const std::string& name)
{
    static const std::map<std::string, int> ids = {
        {"Found it", 2}, {"Didn't find it", 3}, {"Write note", 4},   {"Archive", 5},         {"Needs Archived", 7},
        {"Will Attend", 9}, {"Attended", 10},    {"Webcam Photo Taken", 11}, {"Temporarily Disable Listing", 22},
        {"Enable Listing", 23}, {"Publish Listing", 24}, {"Needs Maintenance", 45}, {"Owner Maintenance", 46},
        {"Update Coordinates", 47}, {"Post Reviewer Note", 68}};
    const auto it = ids.find(name);
    return it == ids.end() ? 4 : it->second;
}

std::string logTypeName(int id)
{
    static const std::map<int, std::string> names = {
        {2, "Found it"}, {3, "Didn't find it"}, {4, "Write note"}, {5, "Archive"}, {7, "Needs Archived"},
        {9, "Will Attend"}, {10, "Attended"}, {11, "Webcam Photo Taken"}, {22, "Temporarily Disable Listing"},
        {23, "Enable Listing"}, {24, "Publish Listing"}, {45, "Needs Maintenance"}, {46, "Owner Maintenance"},
        {47, "Update Coordinates"}, {68, "Post Reviewer Note"}};
    const auto it = names.find(id);
    return it == names.end() ? "Write note" : it->second;
}

double toDouble(const std::string& s, double fallback = 0)
{
    try {
        return std::stod(s);
    } catch (const std::exception&) {
        return fallback;
    }
}

long toLong(const std::string& s, long fallback = 0)
{
    try {
        return std::stol(s);
    } catch (const std::exception&) {
        return fallback;
    }
}

std::string trim(std::string s)
{
    s.erase(0, s.find_first_not_of(" \t\r\n"));
    s.erase(s.find_last_not_of(" \t\r\n") + 1);
    return s;
}

bool readPocketQuery(const std::string& path, std::vector<SimCache>& caches)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::stringstream buf;
    buf << in.rdbuf();
    const auto doc = parseXml(buf.str());
    if (!doc)
        return false;
    std::vector<const Node*> wpts;
    doc->collect("wpt", wpts);
    std::vector<SimWaypoint> loose;
    for (const Node* w : wpts) {
        const double lat = toDouble(w->attrs.count("lat") ? w->attrs.at("lat") : "");
        const double lon = toDouble(w->attrs.count("lon") ? w->attrs.at("lon") : "");
        const Node* c = w->child("cache");
        if (!c) {
            SimWaypoint wp;
            wp.code = trim(w->childText("name"));
            wp.name = trim(w->childText("desc"));
            wp.comment = trim(w->childText("cmt"));
            wp.sym = trim(w->childText("sym"));
            wp.lat = lat;
            wp.lon = lon;
            wp.guid = "wpt-" + wp.code;
            loose.push_back(wp);
            continue;
        }
        SimCache s;
        s.code = trim(w->childText("name"));
        s.lat = lat;
        s.lon = lon;
        s.hidden = trim(w->childText("time"));
        s.guid = "guid-" + s.code;
        s.name = trim(c->childText("name"));
        s.owner = trim(c->childText("owner"));
        s.typeName = trim(c->childText("type"));
        s.container = trim(c->childText("container"));
        s.difficulty = toDouble(c->childText("difficulty"), 1);
        s.terrain = toDouble(c->childText("terrain"), 1);
        s.country = trim(c->childText("country"));
        s.state = trim(c->childText("state"));
        s.available = c->attrs.count("available") == 0 || c->attrs.at("available") != "False";
        s.archived = c->attrs.count("archived") && c->attrs.at("archived") == "True";
        if (const Node* d = c->child("short_description")) {
            s.shortDesc = trim(d->text);
            s.shortHtml = d->attrs.count("html") && d->attrs.at("html") != "False";
        }
        if (const Node* d = c->child("long_description")) {
            s.longDesc = trim(d->text);
            s.longHtml = d->attrs.count("html") && d->attrs.at("html") != "False";
        }
        s.hints = trim(c->childText("encoded_hints"));
        if (const Node* a = c->child("attributes"))
            for (const auto& at : a->children)
                if (at->name == "attribute")
                    s.attributes.emplace_back(static_cast<int>(toLong(at->attrs["id"])), at->attrs["inc"] != "0");
        if (const Node* logs = c->child("logs"))
            for (const auto& l : logs->children) {
                if (l->name != "log")
                    continue;
                SimLog log;
                log.id = toLong(l->attrs["id"]);
                log.date = trim(l->childText("date"));
                log.type = trim(l->childText("type"));
                log.finder = trim(l->childText("finder"));
                log.text = trim(l->childText("text"));
                s.logs.push_back(log);
            }
        if (const Node* bugs = c->child("travelbugs"))
            for (const auto& b : bugs->children) {
                if (b->name != "travelbug")
                    continue;
                SimTrackable t;
                t.id = toLong(b->attrs["id"]);
                t.code = b->attrs["ref"];
                t.name = trim(b->childText("name"));
                s.trackables.push_back(t);
            }
        caches.push_back(std::move(s));
    }
    for (const SimWaypoint& wp : loose) {
        if (wp.code.size() < 3)
            continue;
        const std::string cacheCode = "GC" + wp.code.substr(2);
        for (SimCache& c : caches)
            if (c.code == cacheCode)
                c.waypoints.push_back(wp);
    }
    return true;
}

// ---- Writing responses.

constexpr const char* kData = "http://www.geocaching.com/Geocaching.Live/data";
constexpr const char* kTypes = "http://schemas.datacontract.org/2004/07/Tucson.Geocaching.WCF.API.Geocaching.Types";
constexpr const char* kLimits = "http://schemas.datacontract.org/2004/07/Groundspeak.API.AuthorizationLib";
constexpr const char* kInstance = "http://www.w3.org/2001/XMLSchema-instance";

// Text as the service's serializer writes it: a line end as CR LF, the CR
// as a character reference.
std::string esc(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\r': break;
        case '\n': out += "&#xD;\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::string el(const std::string& name, const std::string& value)
{
    return "<" + name + ">" + value + "</" + name + ">";
}

// The shortest text that reads back as the same number: a pocket query's
// 13.451983 goes out as 13.451983, not rounded to six digits.
std::string num(double v)
{
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

std::string isoDate(const std::string& gpxTime)
{
    // "2011-11-24T19:30:00Z" → "2011-11-24T19:30:00"
    std::string t = gpxTime;
    if (!t.empty() && t.back() == 'Z')
        t.pop_back();
    return t.empty() ? "2000-01-01T00:00:00" : t;
}

std::string statusXml(int code, const std::string& message)
{
    return "<Status>" + el("StatusCode", std::to_string(code)) + el("StatusMessage", esc(message)) +
           "<ExceptionDetails/><Warnings/></Status>";
}

std::string geocacheXml(const SimCache& c, bool lite, int logCount)
{
    std::string x = "<a:Geocache>";
    if (!lite) {
        x += "<a:AdditionalWaypoints>";
        for (const SimWaypoint& w : c.waypoints)
            x += "<AdditionalWaypoint>" + el("Code", esc(w.code)) + el("Comment", esc(w.comment)) +
                 el("Description", esc(w.name)) + el("GUID", esc(w.guid)) + el("GeocacheCode", esc(c.code)) +
                 el("Latitude", num(w.lat)) + el("Longitude", num(w.lon)) + el("Name", esc(w.sym)) +
                 el("Type", "Waypoint|" + esc(w.sym)) + "</AdditionalWaypoint>";
        x += "</a:AdditionalWaypoints>";
    }
    x += el("a:Archived", c.archived ? "true" : "false");
    if (!lite) {
        x += "<a:Attributes>";
        for (const auto& [id, on] : c.attributes)
            x += "<a:Attribute>" + el("a:AttributeTypeID", std::to_string(id)) + el("a:IsOn", on ? "true" : "false") +
                 "</a:Attribute>";
        x += "</a:Attributes>";
    }
    x += el("a:Available", c.available ? "true" : "false");
    x += "<a:CacheType>" + el("a:GeocacheTypeId", std::to_string(typeId(c.typeName))) +
         el("a:GeocacheTypeName", esc(c.typeName)) + "</a:CacheType>";
    x += el("a:Code", esc(c.code));
    x += "<a:ContainerType>" + el("a:ContainerTypeId", std::to_string(containerId(c.container))) +
         el("a:ContainerTypeName", esc(c.container)) + "</a:ContainerType>";
    x += el("a:Country", esc(c.country));
    x += el("a:DateCreated", isoDate(c.hidden));
    x += el("a:Difficulty", num(c.difficulty));
    if (!lite)
        x += el("a:EncodedHints", esc(c.hints));
    x += el("a:FavoritePoints", std::to_string(c.logs.size()));
    x += el("a:GUID", esc(c.guid));
    if (!lite) {
        x += "<a:GeocacheLogs>";
        int n = 0;
        for (const SimLog& l : c.logs) {
            if (n++ >= logCount)
                break;
            x += "<a:GeocacheLog><a:Finder>" + el("a:UserName", esc(l.finder)) + "</a:Finder>" +
                 el("a:ID", std::to_string(l.id)) + el("a:LogText", esc(l.text)) + "<a:LogType>" +
                 el("a:WptLogTypeId", std::to_string(logTypeId(l.type))) + el("a:WptLogTypeName", esc(l.type)) +
                 "</a:LogType>" + el("a:VisitDate", isoDate(l.date)) + "</a:GeocacheLog>";
        }
        x += "</a:GeocacheLogs>";
        x += "<a:Images><a:ImageData>" + el("a:Name", "Spoiler " + esc(c.code)) +
             el("a:Url", "http://127.0.0.1/images/" + esc(c.code) + ".jpg") + "</a:ImageData></a:Images>";
    }
    x += el("a:Latitude", num(c.lat));
    if (!lite) {
        x += el("a:LongDescription", esc(c.longDesc));
        x += el("a:LongDescriptionIsHtml", c.longHtml ? "true" : "false");
    }
    x += el("a:Longitude", num(c.lon));
    x += el("a:Name", esc(c.name));
    x += "<a:Owner>" + el("a:UserName", esc(c.owner)) + "</a:Owner>";
    if (!lite) {
        x += el("a:ShortDescription", esc(c.shortDesc));
        x += el("a:ShortDescriptionIsHtml", c.shortHtml ? "true" : "false");
    }
    x += el("a:State", esc(c.state));
    x += el("a:Terrain", num(c.terrain));
    if (lite || c.trackables.empty()) {
        x += "<a:Trackables/>";
    } else {
        // With the owner and the type, as the service sends them, so that a
        // client has to tell the trackable's own code and name apart.
        x += "<a:Trackables>";
        for (const SimTrackable& t : c.trackables)
            x += "<a:Trackable>" + el("a:Code", esc(t.code)) + el("a:CurrentGeocacheCode", esc(c.code)) +
                 el("a:Id", std::to_string(t.id)) + el("a:Name", esc(t.name)) + "<a:OriginalOwner>" +
                 el("a:UserName", "owner of " + esc(t.code)) + "</a:OriginalOwner>" +
                 el("a:TrackableTypeName", "Travel Bug Dog Tag") + "</a:Trackable>";
        x += "</a:Trackables>";
    }
    x += "<a:UpgradeMessage/></a:Geocache>";
    return x;
}

double distanceMetres(double lat1, double lon1, double lat2, double lon2)
{
    const double r = 6371000.0, d2r = M_PI / 180.0;
    const double dlat = (lat2 - lat1) * d2r, dlon = (lon2 - lon1) * d2r;
    const double a = std::sin(dlat / 2) * std::sin(dlat / 2) +
                     std::cos(lat1 * d2r) * std::cos(lat2 * d2r) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * r * std::asin(std::min(1.0, std::sqrt(a)));
}

struct User {
    std::string name;
    bool premium = true;
    int fullLeft = 0, liteLeft = 0;
    // The stored search of this token: the codes in order, and whether lite.
    std::vector<std::string> search;
    bool hasSearch = false;
};

class LiveService {
public:
    explicit LiveService(LiveOptions options) : m_options(std::move(options)) {}

    bool load()
    {
        if (!m_options.pocketQuery.empty() && !readPocketQuery(m_options.pocketQuery, m_caches)) {
            std::fprintf(stderr, "tarnwick-sim: cannot read the pocket query %s\n", m_options.pocketQuery.c_str());
            return false;
        }
        for (const std::string& entry : m_options.users) {
            const std::size_t a = entry.find(':');
            const std::size_t b = entry.rfind(':');
            if (a == std::string::npos || b == a) {
                std::fprintf(stderr, "tarnwick-sim: --user wants NAME:TOKEN:premium|basic\n");
                return false;
            }
            User u;
            u.name = entry.substr(0, a);
            u.premium = entry.substr(b + 1) != "basic";
            u.fullLeft = u.premium ? m_options.fullLimit : m_options.basicFullLimit;
            u.liteLeft = m_options.liteLimit;
            m_users[entry.substr(a + 1, b - a - 1)] = u;
        }
        return true;
    }

    void handle(const std::string& method, const httplib::Request& req, httplib::Response& res)
    {
        const int n = ++m_requests;
        const bool faulty = !m_options.fault.empty() && (m_options.faultRequest == 0 || m_options.faultRequest == n);
        const std::string fault = req.has_param("fault") ? req.get_param_value("fault") : faulty ? m_options.fault : "";
        std::string body;
        {
            std::lock_guard lock(m_mutex);
            body = answer(method, req);
        }
        const char* type = "text/xml; charset=utf-8";
        if (fault == "500") {
            res.status = 500;
            res.set_content("<html><body>Internal server error</body></html>", "text/html");
        } else if (fault == "wrongtype") {
            res.set_content("<html><body>Service unavailable</body></html>", "text/html");
        } else if (fault == "truncated") {
            res.set_content(body.substr(0, body.size() / 2), type);
        } else if (fault == "slow") {
            for (int i = 0; i < m_options.slowSeconds * 20; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            res.set_content(body, type);
        } else {
            res.set_content(body, type);
        }
    }

private:
    std::string respond(const std::string& root, int code, const std::string& message, const std::string& members)
    {
        return "<" + root + " xmlns=\"" + kData + "\" xmlns:i=\"" + kInstance + "\">" + statusXml(code, message) +
               members + "</" + root + ">";
    }

    std::string answer(const std::string& method, const httplib::Request& req)
    {
        std::unique_ptr<Node> doc;
        std::string token;
        if (method == "GetAPILimits") {
            token = req.get_param_value("AccessToken");
        } else {
            doc = parseXml(req.body);
            if (!doc || doc->children.empty())
                return respond(method + "Response", 1, "The request could not be read.", "");
            token = doc->children.front()->childText("AccessToken");
        }
        const std::string root = (method == "SearchForGeocaches" || method == "GetMoreGeocaches")
                                     ? "GetGeocacheDataResponse"
                                     : method + "Response";
        const auto it = m_users.find(token);
        if (it == m_users.end())
            return respond(root, 2, "User not authorized.", "");
        User& user = it->second;
        if (method == "GetAPILimits")
            return limits(user);
        const Node& request = *doc->children.front();
        if (method == "GetYourUserProfile")
            return respond(root, 0, "OK",
                           std::string("<Profile xmlns:a=\"") + kTypes + "\"><a:User><a:MemberType>" +
                               el("a:MemberTypeId", user.premium ? "3" : "1") +
                               el("a:MemberTypeName", user.premium ? "Premium" : "Basic") + "</a:MemberType>" +
                               el("a:UserName", esc(user.name)) + "</a:User></Profile>");
        if (method == "SearchForGeocaches")
            return search(user, request);
        if (method == "GetMoreGeocaches")
            return more(user, request);
        if (method == "GetGeocacheStatus")
            return status(request);
        if (method == "CreateFieldNoteAndPublish")
            return publish(user, request);
        return respond(root, 1, "Unknown method.", "");
    }

    std::string limits(const User& user) const
    {
        return "<GetAPILimitsResponse xmlns=\"" + std::string(kData) + "\">" + statusXml(0, "OK") +
               "<Limits xmlns:a=\"" + kLimits + "\"><a:CacheLimits><a:CacheLimitPerMinute>" +
               el("a:CacheLimit", std::to_string(user.premium ? m_options.fullLimit : m_options.basicFullLimit)) +
               el("a:InMinutes", "1440") + "</a:CacheLimitPerMinute></a:CacheLimits>" +
               el("a:ForMembershipType", user.premium ? "Premium" : "Basic") +
               "<a:LiteCacheLimits><a:LiteCacheLimitPerMinute>" + el("a:CacheLimit", std::to_string(m_options.liteLimit)) +
               el("a:InMinutes", "1440") + "</a:LiteCacheLimitPerMinute></a:LiteCacheLimits></Limits>" +
               "</GetAPILimitsResponse>";
    }

    const SimCache* find(const std::string& code) const
    {
        for (const SimCache& c : m_caches)
            if (c.code == code)
                return &c;
        return nullptr;
    }

    // One page of the codes, counted against the user's window.
    std::string page(User& user, const std::vector<std::string>& codes, std::size_t start, std::size_t count,
                     bool lite, int logCount)
    {
        int& left = lite ? user.liteLeft : user.fullLeft;
        const int max = lite ? m_options.liteLimit : (user.premium ? m_options.fullLimit : m_options.basicFullLimit);
        std::vector<const SimCache*> served;
        for (std::size_t i = start; i < codes.size() && served.size() < count; ++i)
            if (const SimCache* c = find(codes[i]))
                served.push_back(c);
        if (!served.empty() && left <= 0)
            return respond("GetGeocacheDataResponse", 118, "The cache limit has been exceeded.", "");
        if (static_cast<int>(served.size()) > left)
            served.resize(static_cast<std::size_t>(left));
        left -= static_cast<int>(served.size());
        std::string members = "<Geocaches xmlns:a=\"" + std::string(kTypes) + "\">";
        for (const SimCache* c : served)
            members += geocacheXml(*c, lite, logCount);
        members += "</Geocaches><CacheLimits xmlns:a=\"" + std::string(kLimits) + "\">" +
                   el("a:CachesLeft", std::to_string(left)) +
                   el("a:CurrentCacheCount", std::to_string(max - left)) +
                   el("a:MaxCacheCount", std::to_string(max)) + "</CacheLimits>";
        return respond("GetGeocacheDataResponse", 0, "OK", members);
    }

    static std::vector<std::string> strings(const Node* n)
    {
        std::vector<std::string> out;
        std::vector<const Node*> items;
        if (n)
            n->collect("string", items);
        // An empty name stands for nobody.
        for (const Node* i : items)
            if (!trim(i->text).empty())
                out.push_back(trim(i->text));
        return out;
    }

    std::string search(User& user, const Node& r)
    {
        const bool lite = r.childText("IsLite") == "true" || (!user.premium && r.child("PointRadius"));
        const std::size_t perPage = static_cast<std::size_t>(std::max(0L, toLong(r.childText("MaxPerPage"), 5)));
        const int logCount = static_cast<int>(toLong(r.childText("GeocacheLogCount"), 5));
        std::vector<std::string> codes;
        if (const Node* byCode = r.child("CacheCode")) {
            codes = strings(byCode);
        } else if (const Node* radius = r.child("PointRadius")) {
            const Node* point = radius->child("Point");
            const double lat = point ? toDouble(point->childText("Latitude")) : 0;
            const double lon = point ? toDouble(point->childText("Longitude")) : 0;
            const double dist = toDouble(radius->childText("DistanceInMeters"), 10000);
            std::vector<long> types;
            std::vector<const Node*> longs;
            if (const Node* t = r.child("GeocacheType"))
                t->collect("long", longs);
            for (const Node* l : longs)
                types.push_back(toLong(l->text));
            const auto notFound = strings(r.child("NotFoundByUsers"));
            const auto notHidden = strings(r.child("NotHiddenByUsers"));
            const Node* ex = r.child("GeocacheExclusions");
            const bool onlyAvailable = ex && ex->childText("Available") == "true";
            const bool noArchived = ex && ex->childText("Archived") == "false";
            std::vector<std::pair<double, std::string>> found;
            for (const SimCache& c : m_caches) {
                const double d = distanceMetres(lat, lon, c.lat, c.lon);
                if (d > dist)
                    continue;
                if (!types.empty() && std::find(types.begin(), types.end(), typeId(c.typeName)) == types.end())
                    continue;
                if ((onlyAvailable && !c.available) || (noArchived && c.archived))
                    continue;
                if (std::find(notHidden.begin(), notHidden.end(), c.owner) != notHidden.end())
                    continue;
                const bool foundByUser = std::any_of(c.logs.begin(), c.logs.end(), [&](const SimLog& l) {
                    return l.type == "Found it" &&
                           std::find(notFound.begin(), notFound.end(), l.finder) != notFound.end();
                });
                if (foundByUser)
                    continue;
                found.emplace_back(d, c.code);
            }
            std::stable_sort(found.begin(), found.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            for (const auto& f : found)
                codes.push_back(f.second);
        }
        user.search = codes;
        user.hasSearch = true;
        m_searchLite[&user] = lite;
        return page(user, codes, static_cast<std::size_t>(std::max(0L, toLong(r.childText("StartIndex")))), perPage,
                    lite, logCount);
    }

    std::string more(User& user, const Node& r)
    {
        if (!user.hasSearch)
            return respond("GetGeocacheDataResponse", 55, "The stored search was not found.", "");
        const bool lite = r.childText("IsLite") == "true" || m_searchLite[&user];
        return page(user, user.search, static_cast<std::size_t>(std::max(0L, toLong(r.childText("StartIndex")))),
                    static_cast<std::size_t>(std::max(0L, toLong(r.childText("MaxPerPage"), 5))), lite,
                    static_cast<int>(toLong(r.childText("GeocacheLogCount"), 5)));
    }

    std::string status(const Node& r)
    {
        std::string members = "<GeocacheStatuses xmlns:a=\"" + std::string(kTypes) + "\">";
        for (const std::string& code : strings(r.child("CacheCodes"))) {
            const SimCache* c = find(code);
            if (!c)
                continue;
            members += "<a:GeocacheStatus>" + el("a:Archived", c->archived ? "true" : "false") +
                       el("a:Available", c->available ? "true" : "false") + el("a:CacheCode", esc(c->code)) +
                       el("a:CacheName", esc(c->name)) + el("a:CacheType", std::to_string(typeId(c->typeName))) +
                       el("a:Premium", "false") + el("a:TrackableCount", "0") + "</a:GeocacheStatus>";
        }
        members += "</GeocacheStatuses>";
        return respond("GetGeocacheStatusResponse", 0, "OK", members);
    }

    std::string publish(const User& user, const Node& r)
    {
        const std::string code = trim(r.childText("CacheCode"));
        if (!find(code))
            return respond("CreateFieldNoteAndPublishResponse", 13, "The geocache was not found.", "");
        const long id = ++m_logId;
        const int type = static_cast<int>(toLong(r.childText("WptLogTypeId"), 4));
        return respond("CreateFieldNoteAndPublishResponse", 0, "OK",
                       "<Log xmlns:a=\"" + std::string(kTypes) + "\"><a:Finder>" + el("a:UserName", esc(user.name)) +
                           "</a:Finder>" + el("a:ID", std::to_string(id)) + el("a:LogText", esc(r.childText("Note"))) +
                           "<a:LogType>" + el("a:WptLogTypeName", esc(logTypeName(type))) + "</a:LogType>" +
                           el("a:VisitDate", esc(r.childText("UTCDateLogged"))) + "</Log>");
    }

    LiveOptions m_options;
    std::vector<SimCache> m_caches;
    std::map<std::string, User> m_users;
    std::map<const User*, bool> m_searchLite;
    std::mutex m_mutex;
    std::atomic<int> m_requests{0};
    long m_logId = 900000;
};

} // namespace

bool installLiveApi(httplib::Server& server, const LiveOptions& options)
{
    auto service = std::make_shared<LiveService>(options);
    if (!service->load())
        return false;
    const std::string base = "/LiveV5/Geocaching.svc/";
    server.Post(base + R"(([A-Za-z]+))", [service](const httplib::Request& req, httplib::Response& res) {
        service->handle(req.matches[1].str(), req, res);
    });
    server.Get(base + "GetAPILimits", [service](const httplib::Request& req, httplib::Response& res) {
        service->handle("GetAPILimits", req, res);
    });
    return true;
}

} // namespace sim
