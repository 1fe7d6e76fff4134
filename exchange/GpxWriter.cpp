// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/GpxWriter.h"

#include "exchange/CGpxImporter.h"
#include "platform/Clock.h"
#include "platform/Numbers.h"
#include "platform/Text.h"
#include "xml/Utf16.h"

#include <algorithm>
#include <cstring>

namespace tw {
namespace {

std::string attributeXml(const std::string& entry)
{
    // "dogs-yes": the short name and whether the cache has it.
    const std::size_t dash = entry.rfind('-');
    if (dash == std::string::npos || dash == 0)
        return {};
    const std::string name = entry.substr(0, dash);
    const std::string flag = entry.substr(dash + 1);
    for (int id = 1; id < 100; ++id) {
        if (attributeName(id) == name)
            return "<groundspeak:attribute id=\"" + std::to_string(id) + "\" inc=\"" + (flag == "no" ? "0" : "1") +
                   "\">" + xmlEscape(name) + "</groundspeak:attribute>";
    }
    return {};
}

} // namespace

namespace {

// Control characters other than tab and line ends are not allowed anywhere
// in an XML document, not even in CDATA, and neither are surrogates and
// U+FFFE and U+FFFF; the other non-characters (U+FDD0 to U+FDEF and the last
// two code points of every plane) are dropped with them, as readers may
// refuse them too. Bytes that are not UTF-8 become U+FFFD. Line ends are
// written as LF, the form texts are stored in (an XML reader turns CR LF
// into LF anyway).
std::string withoutControls(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            const bool crBeforeLf = b0 == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
            if ((b0 >= 0x20 || b0 == '\t' || b0 == '\n' || b0 == '\r') && !crBeforeLf)
                out += static_cast<char>(b0);
            ++i;
            continue;
        }
        const std::size_t start = i;
        const char32_t c = nextUtf8(text, i);
        if (c == kNotUtf8) {
            out += "\xEF\xBF\xBD";
            continue;
        }
        const bool surrogate = c >= 0xD800 && c <= 0xDFFF;
        const bool nonCharacter = (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
        if (!surrogate && !nonCharacter)
            out.append(text.substr(start, i - start));
    }
    return out;
}

} // namespace

std::string cdata(std::string_view text)
{
    return "<![CDATA[" + text::replaceAll(withoutControls(text), "]]>", "]]]]><![CDATA[>") + "]]>";
}

std::string xmlEscape(std::string_view text)
{
    return text::replaceAll(
        text::replaceAll(text::replaceAll(withoutControls(text), "&", "&amp;"), "<", "&lt;"), ">", "&gt;");
}

std::string_view utf8Prefix(std::string_view text, std::size_t limit)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            continue; // a continuation byte
        if (characters++ == limit)
            return text.substr(0, i);
    }
    return text;
}

std::string gpxTime(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buffer;
}

bool isDayDate(int ymd)
{
    const int month = ymd / 100 % 100;
    const int day = ymd % 100;
    return ymd > 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

std::string gpxTimeOfDate(int ymd)
{
    std::tm tm{};
    tm.tm_year = ymd / 10000 - 1900;
    tm.tm_mon = ymd / 100 % 100 - 1;
    tm.tm_mday = ymd % 100;
    tm.tm_isdst = -1;
    std::time_t t = isDayDate(ymd) ? std::mktime(&tm) : 0;
    if (t == static_cast<std::time_t>(-1))
        t = 0;
    return gpxTime(t);
}

std::string ratingText(int timesTen)
{
    return timesTen % 10 == 0 ? std::to_string(timesTen / 10) : num::formatFixed(timesTen / 10.0, 1);
}

namespace {

// The whole address of a detail page: programs that read the export open
// it as it is. A guid goes onto the cache site's page; an address that an
// older import kept in its place goes out as it came; anything else is no
// address, and none is written.
std::string detailAddress(const std::string& guid, const char* path)
{
    if (guid.starts_with("http://") || guid.starts_with("https://"))
        return guid;
    if (guid.empty() || guid.find_first_of(":/?& ") != std::string::npos)
        return {};
    return std::string(kCacheSite) + path + guid;
}

} // namespace

void GpxWriter::line(const std::string& text)
{
    if (std::fwrite(text.data(), 1, text.size(), m_out) != text.size() || std::fputc('\n', m_out) == EOF)
        m_ok = false;
    m_bytes += text.size() + 1;
}

void GpxWriter::header(std::time_t now)
{
    line("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    line(std::string("<gpx xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                     "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" version=\"1.0\" "
                     "creator=\"Groundspeak Pocket Query\" xsi:schemaLocation=\"") +
         kGpx10Namespace + " " + kGpx10Schema + " " + kCache101Namespace + " " + kCache101Schema +
         "\" xmlns=\"" + kGpx10Namespace + "\">");
    line("<desc>Geocache file</desc>");
    line("<author>Tarnwick</author>");
    line("<time>" + gpxTime(now) + "</time>");
    line("<keywords>cache, geocache, groundspeak</keywords>");
}

void GpxWriter::footer()
{
    line("</gpx>");
}

void GpxWriter::cache(const CGeocache& c)
{
    const std::string difficulty = ratingText(c.difficulty);
    const std::string terrain = ratingText(c.terrain);
    line("<wpt lat=\"" + num::formatFixed(c.lat, 6) + "\" lon=\"" + num::formatFixed(c.lon, 6) + "\">");
    // A cache without a hidden date has no time: 1970 would come back as one.
    if (isDayDate(c.hidden))
        line("<time>" + gpxTimeOfDate(c.hidden) + "</time>");
    line("<name>" + xmlEscape(c.code) + "</name>");
    line("<desc>" + cdata(c.name + " by " + c.author + " (" + difficulty + "/" + terrain + ")") + "</desc>");
    if (const std::string url = detailAddress(c.guid, kCacheUrlPath); !url.empty())
        line("<url>" + xmlEscape(url) + "</url>");
    line("<urlname>" + cdata(c.name) + "</urlname>");
    line(c.found > 0 ? "<sym>Geocache Found</sym>" : "<sym>Geocache</sym>");
    line("<type>Geocache|" + cacheTypeText(c.type) + "</type>");
    line("<groundspeak:cache id=\"" + std::to_string(c.cacheId) + "\" available=\"" +
         (c.status == 1 ? "False" : "True") + "\" archived=\"" + (c.status == 2 ? "True" : "False") +
         "\" xmlns:groundspeak=\"" + kCache101Namespace + "\">");
    line("<groundspeak:name>" + cdata(c.name) + "</groundspeak:name>");
    line("<groundspeak:placed_by>" + cdata(c.author) + "</groundspeak:placed_by>");
    if (c.ownerId != 0)
        line("<groundspeak:owner id=\"" + std::to_string(c.ownerId) + "\">" + cdata(c.author) +
             "</groundspeak:owner>");
    line("<groundspeak:type>" + cacheTypeText(c.type) + "</groundspeak:type>");
    line("<groundspeak:container>" + cacheSizeText(c.size) + "</groundspeak:container>");
    std::string attributes;
    for (const auto& entry : c.attributes)
        attributes += attributeXml(entry);
    if (!attributes.empty())
        line("<groundspeak:attributes>" + attributes + "</groundspeak:attributes>");
    line("<groundspeak:difficulty>" + difficulty + "</groundspeak:difficulty>");
    line("<groundspeak:terrain>" + terrain + "</groundspeak:terrain>");
    line("<groundspeak:country>" + xmlEscape(c.country) + "</groundspeak:country>");
    line("<groundspeak:state>" + xmlEscape(c.state) + "</groundspeak:state>");
    line(std::string("<groundspeak:short_description html=\"") + (c.shortDescHtml ? "True" : "False") + "\">" +
         cdata(c.text) + "</groundspeak:short_description>");
    line(std::string("<groundspeak:long_description html=\"") + (c.longDescHtml ? "True" : "False") + "\">");
    line(cdata(c.longDesc));
    line("</groundspeak:long_description>");
    line("<groundspeak:encoded_hints>" + cdata(c.hint) + "</groundspeak:encoded_hints>");
    line("<groundspeak:logs>");
    const std::size_t logCount = m_options.maxLogs < 0 ? c.logs.size()
                                                       : std::min(c.logs.size(), std::size_t(m_options.maxLogs));
    for (std::size_t i = 0; i < logCount; ++i) {
        const auto& log = c.logs[i];
        line("<groundspeak:log id=\"" + std::to_string(log->logId) + "\">");
        line("<groundspeak:date>" + gpxTimeOfDate(log->date) + "</groundspeak:date>");
        line("<groundspeak:type>" + logTypeText(log->type) + "</groundspeak:type>");
        const std::string finderId = log->finderId != 0 ? " id=\"" + std::to_string(log->finderId) + "\"" : "";
        line("<groundspeak:finder" + finderId + ">" + cdata(log->finder) + "</groundspeak:finder>");
        line("<groundspeak:text encoded=\"False\">" + cdata(log->text) + "</groundspeak:text>");
        line("</groundspeak:log>");
    }
    line("</groundspeak:logs>");
    if (!c.travelBugs.empty()) {
        line("<groundspeak:travelbugs>");
        for (const CTravelBug& bug : c.travelBugs) {
            line("<groundspeak:travelbug id=\"" + std::to_string(bug.id) + "\" ref=\"" +
                 text::replaceAll(xmlEscape(bug.ref), "\"", "&quot;") + "\">");
            line("<groundspeak:name>" + cdata(bug.name) + "</groundspeak:name>");
            line("</groundspeak:travelbug>");
        }
        line("</groundspeak:travelbugs>");
    }
    line("</groundspeak:cache>");
    line("</wpt>");
    for (const auto& w : c.waypoints)
        waypoint(c, *w);
}

void GpxWriter::waypoint(const CGeocache& c, const CWaypoint& w)
{
    const std::string tail = c.code.size() > 2 ? c.code.substr(2) : std::string();
    // GPX has no wpt without lat and lon. A waypoint without a position goes
    // out at 0, 0, as the site's waypoint files and other exporters write
    // it; readers of such files, this program too, take that for none.
    line("<wpt lat=\"" + num::formatFixed(w.lat, 6) + "\" lon=\"" + num::formatFixed(w.lon, 6) + "\">");
    if (isDayDate(c.hidden))
        line("<time>" + gpxTimeOfDate(c.hidden) + "</time>");
    const std::string name = w.prefix + tail;
    line("<name>" +
         xmlEscape(m_options.maxWaypointNameLength ? utf8Prefix(name, m_options.maxWaypointNameLength)
                                                   : std::string_view(name)) +
         "</name>");
    line("<cmt>" + cdata(w.text) + "</cmt>");
    line("<desc>" + cdata(w.name) + "</desc>");
    if (const std::string url = detailAddress(w.guid, kWaypointUrlPath); !url.empty())
        line("<url>" + xmlEscape(url) + "</url>");
    line("<urlname>" + cdata(w.name) + "</urlname>");
    line("<sym>" + waypointTypeText(w.type) + "</sym>");
    line("<type>Waypoint|" + waypointTypeText(w.type) + "</type>");
    line("</wpt>");
    ++m_waypoints;
}

} // namespace tw
