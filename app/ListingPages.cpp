// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ListingPages.h"

#include "app/LanguageTable.h"
#include "app/ListingFiles.h"
#include "db/CacheReader.h"
#include "db/FullText.h"
#include "db/Tags.h"
#include "geo/CoordFormat.h"
#include "geo/FormulaBlocks.h"
#include "online/ServerText.h"
#include "platform/Text.h"
#include "xml/Utf16.h"

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

std::string shownCacheType(const TextLookup* names, int type)
{
    return shownName(names, kTextCacheTypes, kShownTypes, type, cacheTypeText(type));
}

std::string shownCacheSize(const TextLookup* names, int size)
{
    return shownName(names, kTextSizes, kShownSizes, size, cacheSizeText(size));
}

std::string shownWaypointType(const TextLookup* names, int type)
{
    return names && type >= WaypointType::Final && type <= WaypointType::Trailhead
               ? names->textOr(kTextWaypointTypes + type, waypointTypeText(type))
               : waypointTypeText(type);
}

std::string shownRating(int tenths)
{
    return rating(tenths);
}

std::string overviewHtml(const CGeocache& c, const OverviewLabels& labels, int px)
{
    const std::string type = shownCacheType(labels.names, c.type);
    const std::string container = shownCacheSize(labels.names, c.size);
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
            const std::string wptType = shownWaypointType(labels.names, w->type);
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

std::string logPlainText(std::string_view text)
{
    return withoutImages(text);
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

namespace tw::listing {
namespace {

// A folded character that belongs to a word but adds nothing to it (a
// combining accent), and one that ends the word.
constexpr char32_t kFoldDrop = 0xFFFFFFFE;
constexpr char32_t kFoldBreak = 0;

// The base letters of U+0100 to U+017F; '.' where the letter has none and
// only its case is folded (upper case at the even places).
constexpr std::string_view kLatinExtendedA = "aaaaaaccccccccddddeeeeeeeeeegggggggghhhhiiiiiiiiii..jjkkkllllllllll"
                                             "nnnnnnn..oooooo..rrrrrrssssssssttttttuuuuuuuuuuuuwwyyyzzzzzzs";
static_assert(kLatinExtendedA.size() == 128);

// The character as the index compares it: lower case without its accent;
// kFoldBreak for what separates words.
char32_t foldChar(char32_t c)
{
    if (c < 0x80) {
        if (c >= 'A' && c <= 'Z')
            return c + ('a' - 'A');
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ? c : kFoldBreak;
    }
    if (c < 0xC0 || c == 0xD7 || c == 0xF7)
        return kFoldBreak;
    if (c < 0x100) {
        static constexpr std::string_view kLatin1 = "aaaaaa.ceeeeiiii.nooooo.ouuuuy..aaaaaa.ceeeeiiii.nooooo.ouuuuy.y";
        static_assert(kLatin1.size() == 64);
        const char base = kLatin1[c - 0xC0];
        if (base != '.')
            return static_cast<char32_t>(base);
        return c < 0xDF ? c + 0x20 : c; // Æ Ð Þ to æ ð þ; ß æ ð þ stay
    }
    if (c < 0x180) {
        const char base = kLatinExtendedA[c - 0x100];
        return base != '.' ? static_cast<char32_t>(base) : static_cast<char32_t>(c | 1U);
    }
    if (c >= 0x300 && c < 0x370)
        return kFoldDrop;
    if (c >= 0x391 && c <= 0x3A9)
        return c + 0x20;
    if (c >= 0x400 && c < 0x410)
        return c + 0x50;
    if (c >= 0x410 && c < 0x430)
        return c + 0x20;
    // General punctuation, symbols, CJK punctuation, full-width ASCII signs.
    if ((c >= 0x2000 && c < 0x2C00) || (c >= 0x3000 && c < 0x3040) || (c >= 0xFF00 && c < 0xFF10) || c >= 0xFFF0)
        return kFoldBreak;
    return c;
}

// The character a character reference such as "&uuml;", "&#252;" or
// "&#xFC;" stands for, as far as it can be part of a word; kFoldBreak for
// any other (spaces, signs, names we do not know).
char32_t referencedChar(std::string_view name)
{
    if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        char32_t value = 0;
        for (std::size_t i = hex ? 2 : 1; i < name.size(); ++i) {
            const auto d = static_cast<unsigned char>(name[i]);
            const int digit = std::isdigit(d) ? d - '0' : hex && std::isxdigit(d) ? (std::tolower(d) - 'a' + 10) : -1;
            if (digit < 0 || value > 0x10FFFF)
                return kFoldBreak;
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
        }
        return value;
    }
    // Letters with an accent are named after their base letter.
    for (const std::string_view accent : {"grave", "acute", "circ", "tilde", "uml", "ring", "cedil", "caron", "slash"})
        if (name.size() == accent.size() + 1 && name.substr(1) == accent && std::isalpha(static_cast<unsigned char>(name[0])))
            return static_cast<char32_t>(std::tolower(static_cast<unsigned char>(name[0])));
    if (name == "szlig")
        return 0xDF;
    if (name == "aelig" || name == "AElig")
        return 0xE6;
    return kFoldBreak;
}

struct Term {
    std::u32string folded;
    bool prefix = false;
};

std::u32string foldedWord(std::string_view text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t at = i;
        const char32_t cp = nextUtf8(text, i);
        if (i == at)
            ++i;
        const char32_t c = cp == kNotUtf8 ? kFoldBreak : foldChar(cp);
        if (c != kFoldBreak && c != kFoldDrop)
            out.push_back(c);
    }
    return out;
}

bool isFound(const std::u32string& word, const std::vector<Term>& terms)
{
    for (const Term& t : terms)
        if (t.prefix ? word.starts_with(t.folded) : word == t.folded)
            return true;
    return false;
}

// Where the markup starting at html[at] ('<') ends (one past its last
// character); at itself when the '<' starts no markup.
std::size_t markupEnd(std::string_view html, std::size_t at)
{
    if (html.substr(at, 4) == "<!--") {
        const std::size_t end = html.find("-->", at + 4);
        return end == std::string_view::npos ? html.size() : end + 3;
    }
    const char next = at + 1 < html.size() ? html[at + 1] : ' ';
    if (!std::isalpha(static_cast<unsigned char>(next)) && next != '/' && next != '!' && next != '?')
        return at;
    char quote = 0;
    for (std::size_t i = at + 1; i < html.size(); ++i) {
        const char c = html[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return html.size();
}

// The name of an opening tag ("<script ...>"), lower case; empty for any
// other markup.
std::string openingTagName(std::string_view tag)
{
    std::string name;
    for (std::size_t i = 1; i < tag.size() && std::isalnum(static_cast<unsigned char>(tag[i])); ++i)
        name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(tag[i]))));
    return name;
}

} // namespace

std::vector<std::string> foundWordsOf(std::string_view query)
{
    std::vector<std::string> words = fulltext::HighlightTerms(query);
    const std::string lower = lowerAscii(query);
    for (std::string& w : words) {
        const std::string prefix = lowerAscii(w) + "*";
        for (std::size_t at = lower.find(prefix); at != std::string::npos; at = lower.find(prefix, at + 1)) {
            const bool starts = at == 0 || !std::isalnum(static_cast<unsigned char>(lower[at - 1]));
            if (starts) {
                w += '*';
                break;
            }
        }
    }
    return words;
}

std::string markFoundWords(std::string_view html, const std::vector<std::string>& terms, const FoundMark& mark)
{
    std::vector<Term> folded;
    for (std::string_view t : terms) {
        Term term;
        term.prefix = t.ends_with('*');
        if (term.prefix)
            t.remove_suffix(1);
        term.folded = foldedWord(t);
        if (!term.folded.empty())
            folded.push_back(std::move(term));
    }
    if (folded.empty())
        return std::string(html);

    std::string out;
    out.reserve(html.size() + html.size() / 8);
    std::u32string word;
    std::size_t wordStart = 0;
    std::size_t i = 0;
    const auto endWord = [&](std::size_t at) {
        if (!word.empty() && isFound(word, folded))
            out.append(mark.open).append(html.substr(wordStart, at - wordStart)).append(mark.close);
        else
            out.append(html.substr(wordStart, at - wordStart));
        word.clear();
        wordStart = at;
    };
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            const std::size_t end = markupEnd(html, i);
            if (end != i) {
                endWord(i);
                std::size_t next = end;
                // What these hold is never shown as text of the page.
                const std::string name = openingTagName(html.substr(i, end - i));
                if (name == "script" || name == "style" || name == "title") {
                    std::string lower(html.substr(end));
                    for (char& l : lower)
                        l = static_cast<char>(std::tolower(static_cast<unsigned char>(l)));
                    const std::size_t close = lower.find("</" + name);
                    next = close == std::string::npos ? html.size() : end + close;
                }
                out.append(html.substr(i, next - i));
                i = wordStart = next;
                continue;
            }
        }
        std::size_t after = i;
        char32_t folded1 = kFoldBreak;
        if (c == '&') {
            const std::size_t semicolon = html.find(';', i);
            if (semicolon != std::string_view::npos && semicolon - i <= 10) {
                folded1 = foldChar(referencedChar(html.substr(i + 1, semicolon - i - 1)));
                after = semicolon + 1;
            } else {
                after = i + 1;
            }
        } else {
            const char32_t cp = nextUtf8(html, after);
            if (after == i)
                ++after;
            folded1 = cp == kNotUtf8 ? kFoldBreak : foldChar(cp);
        }
        if (folded1 == kFoldBreak) {
            endWord(i);
            out.append(html.substr(i, after - i));
            wordStart = after;
        } else {
            if (word.empty() && wordStart != i) {
                out.append(html.substr(wordStart, i - wordStart));
                wordStart = i;
            }
            if (folded1 != kFoldDrop)
                word.push_back(folded1);
        }
        i = after;
    }
    endWord(html.size());
    return out;
}

} // namespace tw::listing
