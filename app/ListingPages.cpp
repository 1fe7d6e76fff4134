// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ListingPages.h"

#include "app/LanguageTable.h"
#include "app/ListingFiles.h"
#include "db/CacheReader.h"
#include "db/Tags.h"
#include "geo/CoordFormat.h"
#include "geo/FormulaBlocks.h"
#include "online/ServerText.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tw::listing {
namespace {

// A date in the pattern of the user's language; without a language table
// the numbers as the Czech original writes them.
std::string shownDate(const TextLookup* names, int yyyymmdd)
{
    return geo::formatDate(yyyymmdd, names ? names->textOr(kTextDatePattern, kDefaultDatePattern)
                                           : std::string(kDefaultDatePattern));
}

constexpr std::string_view kPageHead = "<html><body style=\"margin: 0; padding: 0;\">";
constexpr std::string_view kTitleOpen =
    "<div style=\"text-align:center;font-size:14px;font-weight:bold;padding:3px;\">";

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string titledHead(std::string_view cacheName)
{
    return std::string(kPageHead) + std::string(kTitleOpen) + htmlEscape(cacheName) + "</div>";
}

// "2.5" for 25, "3" for 30.
std::string rating(int tenths)
{
    return std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "");
}

// Every "<img ...>" tag (any case) taken out of the text.
std::string withoutImages(std::string_view text)
{
    const std::string lower = lowerAscii(text);
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = lower.find("<img"); at != std::string::npos; at = lower.find("<img", from)) {
        const char next = at + 4 < lower.size() ? lower[at + 4] : '>';
        if (next != '>' && next != '/' && !std::isspace(static_cast<unsigned char>(next))) {
            out.append(text.substr(from, at + 4 - from));
            from = at + 4;
            continue;
        }
        out.append(text.substr(from, at - from));
        const std::size_t close = lower.find('>', at);
        from = close == std::string::npos ? text.size() : close + 1;
    }
    out.append(text.substr(from));
    return out;
}

} // namespace

std::optional<Listing> loadListing(SQLite::Database& db, const TagCategories& categories, const std::string& code)
{
    auto cache = LoadCacheByCode(db, code);
    if (!cache)
        return std::nullopt;
    Listing listing{std::move(*cache), {}};
    WaypointLoader(db).load(listing.cache);
    loadDetails(db, listing.cache, categories);
    loadLogs(db, listing.cache);
    listing.tags = tagsOfCache(db, code);
    return listing;
}

std::string cacheWebAddress(std::string_view base, std::string_view code)
{
    // No address is assumed: the user names the cache service's short-link
    // address (the "CacheLinkBase" value of the settings' State section).
    if (!isSafeCode(code) || base.empty())
        return {};
    return std::string(base) + std::string(code);
}

std::string htmlEscape(std::string_view text)
{
    return text::escapeMarkup(text);
}

bool isAttributeEntry(std::string_view entry)
{
    std::string_view name;
    if (entry.ends_with("-yes"))
        name = entry.substr(0, entry.size() - 4);
    else if (entry.ends_with("-no"))
        name = entry.substr(0, entry.size() - 3);
    else
        return false;
    if (name.empty() || name.size() > 40)
        return false;
    for (const char c : name)
        if (!(std::islower(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)) || c == '_' ||
              c == '-'))
            return false;
    return true;
}

namespace {

constexpr int kTextSizes = 1040;      // 1040 to 1046: not chosen, micro, small, regular, large, virtual, other
constexpr int kTextCacheTypes = 1050; // 1050 to 1059: in the order of kShownTypes
constexpr int kTextWaypointTypes = 486; // 486 to 491: the six waypoint types in their order

constexpr std::array kShownSizes{CacheSize::NotChosen, CacheSize::Micro,   CacheSize::Small, CacheSize::Regular,
                                 CacheSize::Large,     CacheSize::Virtual, CacheSize::Other};
constexpr std::array kShownTypes{CacheType::Traditional, CacheType::Multi,      CacheType::Virtual,
                                 CacheType::Letterbox,   CacheType::Event,      CacheType::Unknown,
                                 CacheType::Webcam,      CacheType::Earthcache, CacheType::Wherigo,
                                 CacheType::Other};

// The name of a vocabulary entry for the user: the language table's entry
// first + its place among numbers, or the stored English name.
template <std::size_t N>
std::string shownName(const TextLookup* names, int first, const std::array<int, N>& numbers, int number,
                      const std::string& stored)
{
    const auto it = std::find(numbers.begin(), numbers.end(), number);
    if (!names || it == numbers.end())
        return stored;
    return names->textOr(first + static_cast<int>(it - numbers.begin()), stored);
}

} // namespace

std::string overviewHtml(const CGeocache& c, const OverviewLabels& labels, int px)
{
    const std::string type = shownName(labels.names, kTextCacheTypes, kShownTypes, c.type, cacheTypeText(c.type));
    const std::string container = shownName(labels.names, kTextSizes, kShownSizes, c.size, cacheSizeText(c.size));
    std::string html = "<p><span style=\"font-size:large;font-weight:bold;\">" + htmlEscape(c.name) + "</span><br>";
    html += htmlEscape(c.code) + " &middot; " + htmlEscape(type) + " &middot; " + htmlEscape(container) + "<br>";
    html += "D " + rating(c.difficulty) + " / T " + rating(c.terrain) + " &middot; " + htmlEscape(labels.owner) + ": " +
            htmlEscape(c.author) + "<br>";
    if (c.hidden > 0)
        html += htmlEscape(labels.hidden) + ": " + shownDate(labels.names, c.hidden) + "<br>";
    if (c.lat != 0.0 || c.lon != 0.0)
        html += htmlEscape(geo::formatCoords(c.lat, c.lon));
    html += "</p>";
    if (!c.waypoints.empty()) {
        html += "<p>";
        for (const auto& w : c.waypoints) {
            const std::string wptType =
                labels.names && w->type >= WaypointType::Final && w->type <= WaypointType::Trailhead
                    ? labels.names->textOr(kTextWaypointTypes + w->type, waypointTypeText(w->type))
                    : waypointTypeText(w->type);
            html += "<b>" + htmlEscape(w->prefix) + "</b> " + htmlEscape(wptType) + ": " +
                    htmlEscape(w->name);
            if (w->lat != 0.0 || w->lon != 0.0)
                html += "<br>&nbsp;&nbsp;" + htmlEscape(geo::formatCoords(w->lat, w->lon));
            html += "<br>";
        }
        html += "</p>";
    }
    std::string icons;
    const std::string size = std::to_string(px);
    for (const std::string& entry : c.attributes) {
        // Entries from files are compared without case: "AbandonedBuilding-yes"
        // is the same attribute as "abandonedbuilding-yes".
        const std::string lower = lowerAscii(entry);
        if (isAttributeEntry(lower))
            icons += "<img src=\"attribute:" + lower + "\" width=\"" + size + "\" height=\"" + size + "\"> ";
    }
    if (!icons.empty())
        html += "<p>" + icons + "</p>";
    return html + "<hr>";
}

std::string descriptionPage(const CGeocache& cache)
{
    const auto part = [](const std::string& text, int isHtml) { return isHtml ? text : htmlEscape(text); };
    std::string body;
    if (!cache.text.empty())
        body += part(cache.text, cache.shortDescHtml) + "<hr>";
    body += part(cache.longDesc, cache.longDescHtml);
    std::string page = "<html><body>" + body + "</body></html>";
    if (!cache.shortDescHtml || !cache.longDescHtml) {
        page = text::replaceAll(page, "\n", "\r\n");
        page = text::replaceAll(page, "\r\r\n", "\r\n");
        page = text::replaceAll(page, "\r\n", "<br>");
    }
    return page;
}

std::string withHeader(std::string_view page, std::string_view header)
{
    const std::size_t body = lowerAscii(page).find("<body");
    const std::size_t at = body == std::string::npos ? std::string::npos : page.find('>', body);
    std::string out(page);
    if (at == std::string::npos)
        return std::string(header) + out;
    return out.insert(at + 1, header);
}

int logIconNumber(int logType)
{
    // The icons are numbered after the log types; anything else is a note.
    return logType >= LogType::FoundIt && logType <= LogType::UpdateCoordinates ? logType : LogType::WriteNote;
}

std::string logTextHtml(std::string_view text)
{
    return text::replaceAll(htmlEscape(withoutImages(text)), "\n", "<br>");
}

std::string logsPage(const CGeocache& cache, std::string_view by, const TextLookup* names)
{
    std::string page = titledHead(cache.name);
    for (const auto& log : cache.logs) {
        page += "<div style=\"background-color: white;\"><strong style=\"display: block; background-color: #AFD5FF; "
                "padding: 0.2em;\"><img src=\"resource://" +
                std::to_string(logIconNumber(log->type)) + ".bmp\" align=\"absmiddle\"> " +
                shownDate(names, log->date) + htmlEscape(by) + htmlEscape(log->finder) +
                "</strong><div style=\"padding-top: 0.2em; padding-bottom: 1em; padding-left: 0.2em; "
                "padding-right: 0.2em;\">" +
                logTextHtml(log->text) + "</div></div>";
    }
    return page + "</body></html>";
}

std::string imagesPage(std::string_view cacheName, const std::vector<std::string>& imageLinks)
{
    std::string page = titledHead(cacheName);
    for (const std::string& link : imageLinks) {
        // The links come from the service: only an address that cannot
        // leave its attribute is shown, and the caption is text, not markup.
        const auto parts = net::parseImageLink(link);
        if (!parts || !net::isSafeImageUrl(parts->url))
            continue;
        const std::string caption =
            text::replaceAll(text::replaceAll(parts->name, "<", "&lt;"), ">", "&gt;");
        page += "<p><img src=\"" + parts->url + "\"><br>" + caption;
    }
    return page + "</body></html>";
}

std::vector<std::string> imageLinksOf(const std::vector<std::pair<std::string, std::string>>& tags)
{
    std::vector<std::string> links;
    for (const auto& [category, value] : tags)
        if (category == TagCategoryName::GcImage)
            links.push_back(value);
    return links;
}

std::optional<std::string> noteWithVariables(std::string_view note, std::size_t begin, std::size_t end)
{
    if (begin > end || end > note.size() || geo::blockInner(note, geo::BlockKind::Variables))
        return std::nullopt;
    const std::string_view selected = geo::trimBlank(note.substr(begin, end - begin));
    if (selected.empty())
        return std::nullopt;
    std::string out(note.substr(0, begin));
    out.append("<!\r\n").append(selected).append("\r\n!>").append(note.substr(end));
    return out;
}

} // namespace tw::listing
