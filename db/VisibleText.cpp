// SPDX-License-Identifier: GPL-3.0-or-later
// HTML reduced to the text a browser shows, for the full-text index.
#include "db/VisibleText.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tw {
namespace {

struct Entity {
    std::string_view name;
    char32_t code;
};

// Sorted by name (byte order) for the binary search.
constexpr std::array kEntities = std::to_array<Entity>({
    {"AElig", 198},  {"Aacute", 193}, {"Acirc", 194},  {"Agrave", 192}, {"Aring", 197},  {"Atilde", 195},
    {"Auml", 196},   {"Ccaron", 268}, {"Ccedil", 199}, {"Dcaron", 270}, {"ETH", 208},    {"Eacute", 201},
    {"Ecaron", 282}, {"Ecirc", 202},  {"Egrave", 200}, {"Euml", 203},   {"Iacute", 205}, {"Icirc", 206},
    {"Igrave", 204}, {"Iuml", 207},   {"Ncaron", 327}, {"Ntilde", 209}, {"Oacute", 211}, {"Ocirc", 212},
    {"Ograve", 210}, {"Oslash", 216}, {"Otilde", 213}, {"Ouml", 214},   {"Rcaron", 344}, {"Scaron", 352},
    {"THORN", 222},  {"Tcaron", 356}, {"Uacute", 218}, {"Ucirc", 219},  {"Ugrave", 217}, {"Uring", 366},
    {"Uuml", 220},   {"Yacute", 221}, {"Zcaron", 381}, {"aacute", 225}, {"acirc", 226},  {"acute", 180},
    {"aelig", 230},  {"agrave", 224}, {"amp", 38},     {"apos", 39},    {"aring", 229},  {"atilde", 227},
    {"auml", 228},   {"bdquo", 8222}, {"brvbar", 166}, {"bull", 8226},  {"ccaron", 269}, {"ccedil", 231},
    {"cedil", 184},  {"cent", 162},   {"copy", 169},   {"curren", 164}, {"dcaron", 271}, {"deg", 176},
    {"divide", 247}, {"eacute", 233}, {"ecaron", 283}, {"ecirc", 234},  {"egrave", 232}, {"eth", 240},
    {"euml", 235},   {"euro", 8364},  {"frac12", 189}, {"frac14", 188}, {"frac34", 190}, {"gt", 62},
    {"hellip", 8230}, {"iacute", 237}, {"icirc", 238}, {"iexcl", 161},  {"igrave", 236}, {"iquest", 191},
    {"iuml", 239},   {"laquo", 171},  {"ldquo", 8220}, {"lsquo", 8216}, {"lt", 60},      {"macr", 175},
    {"mdash", 8212}, {"micro", 181},  {"middot", 183}, {"nbsp", 160},   {"ncaron", 328}, {"ndash", 8211},
    {"not", 172},    {"ntilde", 241}, {"oacute", 243}, {"ocirc", 244},  {"ograve", 242}, {"ordf", 170},
    {"ordm", 186},   {"oslash", 248}, {"otilde", 245}, {"ouml", 246},   {"para", 182},   {"plusmn", 177},
    {"pound", 163},  {"quot", 34},    {"raquo", 187},  {"rcaron", 345}, {"rdquo", 8221}, {"reg", 174},
    {"rsquo", 8217}, {"sbquo", 8218}, {"scaron", 353}, {"sect", 167},   {"shy", 173},    {"sup1", 185},
    {"sup2", 178},   {"sup3", 179},   {"szlig", 223},  {"tcaron", 357}, {"thorn", 254},  {"times", 215},
    {"trade", 8482}, {"uacute", 250}, {"ucirc", 251},  {"ugrave", 249}, {"uml", 168},    {"uring", 367},
    {"uuml", 252},   {"yacute", 253}, {"yen", 165},    {"yuml", 255},   {"zcaron", 382},
});

static_assert(std::is_sorted(kEntities.begin(), kEntities.end(),
                             [](const Entity& a, const Entity& b) { return a.name < b.name; }));

// Elements inside a word: "Br<b>ü</b>cke" reads as one word.
constexpr std::array<std::string_view, 17> kInline = {"a",    "abbr", "b",      "big",  "em",  "font",
                                                      "i",    "kbd",  "mark",   "s",    "small", "span",
                                                      "strike", "strong", "sub", "sup", "u"};

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view word)
{
    if (text.size() - at < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (lower(text[at + i]) != word[i])
            return false;
    return true;
}

void appendUtf8(char32_t c, std::string& out)
{
    if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        out += ' ';
    } else if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The character reference at html[at] ('&'): its length, 0 when it is none.
std::size_t decodeReference(std::string_view html, std::size_t at, std::string& out)
{
    std::size_t i = at + 1;
    if (i < html.size() && html[i] == '#') {
        ++i;
        const bool hex = i < html.size() && (html[i] == 'x' || html[i] == 'X');
        if (hex)
            ++i;
        const std::size_t digits = i;
        std::uint32_t value = 0;
        while (i < html.size() && i - digits < 8) {
            const char c = html[i];
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && lower(c) >= 'a' && lower(c) <= 'f')
                d = lower(c) - 'a' + 10;
            if (d < 0)
                break;
            value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
            ++i;
        }
        if (i == digits)
            return 0;
        if (i < html.size() && html[i] == ';')
            ++i;
        appendUtf8(value == 0xA0 ? U' ' : static_cast<char32_t>(value), out);
        return i - at;
    }
    const std::size_t nameStart = i;
    while (i < html.size() && i - nameStart < 8 && (isLetter(html[i]) || (html[i] >= '0' && html[i] <= '9')))
        ++i;
    if (i == nameStart || i >= html.size() || html[i] != ';')
        return 0;
    const std::string_view name = html.substr(nameStart, i - nameStart);
    const auto it = std::lower_bound(kEntities.begin(), kEntities.end(), name,
                                     [](const Entity& e, std::string_view n) { return e.name < n; });
    if (it == kEntities.end() || it->name != name)
        return 0;
    appendUtf8(it->code == 160 ? U' ' : it->code, out);
    return i + 1 - at;
}

// Past the '>' that ends the tag starting at html[at], quoted attribute
// values included.
std::size_t tagEnd(std::string_view html, std::size_t at)
{
    char quote = 0;
    for (std::size_t i = at; i < html.size(); ++i) {
        const char c = html[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            // Only a quote that opens an attribute value counts: a stray
            // apostrophe in a broken tag must not swallow the rest.
            if (i > 0 && (html[i - 1] == '=' || html[i - 1] == ' '))
                quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return html.size();
}

void separate(std::string& out)
{
    if (!out.empty() && out.back() != ' ')
        out += ' ';
}

// Walks the HTML, appending its text to out. onTag(name, closing, tag) is
// told of every element tag (name in lower case, at most 8 letters, tag the
// whole "<...>"); when it returns false the tag only separates words, unless
// it is an inline one.
template <typename OnTag>
void walk(std::string_view html, std::string& out, OnTag&& onTag)
{
    out.reserve(out.size() + html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '&') {
            if (const std::size_t length = decodeReference(html, i, out)) {
                i += length;
                continue;
            }
            out += c;
            ++i;
            continue;
        }
        if (c != '<') {
            out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
            ++i;
            continue;
        }
        if (html.compare(i, 4, "<!--") == 0) {
            const std::size_t end = html.find("-->", i + 4);
            i = end == std::string_view::npos ? html.size() : end + 3;
            separate(out);
            continue;
        }
        const bool closing = i + 1 < html.size() && html[i + 1] == '/';
        const std::size_t nameStart = i + (closing ? 2 : 1);
        if (nameStart >= html.size() ||
            !(isLetter(html[nameStart]) || html[nameStart] == '!' || html[nameStart] == '?')) {
            out += c; // "a < b" is text
            ++i;
            continue;
        }
        std::size_t nameEnd = nameStart;
        while (nameEnd < html.size() && (isLetter(html[nameEnd]) || (html[nameEnd] >= '0' && html[nameEnd] <= '9')))
            ++nameEnd;
        std::string name;
        for (std::size_t k = nameStart; k < nameEnd && name.size() < 8; ++k)
            name += lower(html[k]);
        const std::size_t tagStart = i;
        i = tagEnd(html, nameEnd);
        const std::string_view tag = html.substr(tagStart, i - tagStart);
        if (!closing && (name == "script" || name == "style")) {
            // Everything up to the closing tag is code, not text.
            std::size_t k = i;
            while (k < html.size()) {
                k = html.find('<', k);
                if (k == std::string_view::npos) {
                    k = html.size();
                    break;
                }
                if (k + 1 < html.size() && html[k + 1] == '/' && startsWithNoCase(html, k + 2, name))
                    break;
                ++k;
            }
            i = k < html.size() ? tagEnd(html, k) : html.size();
        }
        if (!onTag(name, closing, tag) && std::find(kInline.begin(), kInline.end(), name) == kInline.end())
            separate(out);
    }
}

// Tags that end a block of text on a printed page.
constexpr std::array<std::string_view, 22> kBlocks = {"address", "blockquote", "br", "dd", "div", "dl", "dt", "h1",
                                                      "h2", "h3", "h4", "h5", "h6", "hr", "li", "ol", "p", "pre",
                                                      "table", "td", "tr", "ul"};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The words with every run of blanks one space, none at either end.
std::string collapsed(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (isBlank(c)) {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// The value of the src attribute of an img tag, "&amp;" read as "&"; empty
// when it has none.
std::string srcOf(std::string_view tag)
{
    for (std::size_t at = 4; at + 3 < tag.size(); ++at) {
        if (!startsWithNoCase(tag, at, "src") || !isBlank(tag[at - 1]))
            continue;
        std::size_t i = at + 3;
        while (i < tag.size() && isBlank(tag[i]))
            ++i;
        if (i >= tag.size() || tag[i] != '=')
            continue;
        ++i;
        while (i < tag.size() && isBlank(tag[i]))
            ++i;
        std::size_t end = i;
        if (i < tag.size() && (tag[i] == '"' || tag[i] == '\'')) {
            const char quote = tag[i++];
            end = tag.find(quote, i);
            if (end == std::string_view::npos)
                end = tag.size();
        } else {
            while (end < tag.size() && !isBlank(tag[end]) && tag[end] != '>')
                ++end;
        }
        std::string value(tag.substr(i, end - i));
        for (std::size_t amp = value.find("&amp;"); amp != std::string::npos; amp = value.find("&amp;", amp + 1))
            value.erase(amp + 1, 4);
        return std::string(collapsed(value));
    }
    return {};
}

} // namespace

void appendVisibleText(std::string_view html, std::string& out)
{
    walk(html, out, [](std::string_view, bool, std::string_view) { return false; });
}

std::vector<TextBlock> visibleBlocks(std::string_view html)
{
    std::vector<TextBlock> blocks;
    std::string text;
    TextBlock::Kind kind = TextBlock::Kind::Paragraph;
    auto flush = [&] {
        std::string words = collapsed(text);
        text.clear();
        if (!words.empty())
            blocks.push_back({kind, std::move(words)});
    };
    walk(html, text, [&](std::string_view name, bool closing, std::string_view tag) {
        if (name == "img" && !closing) {
            std::string src = srcOf(tag);
            if (src.empty())
                return false;
            flush();
            blocks.push_back({TextBlock::Kind::Image, std::move(src)});
            return true;
        }
        if (std::find(kBlocks.begin(), kBlocks.end(), name) == kBlocks.end())
            return false;
        flush();
        const bool heading = name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
        if (closing || name == "br")
            kind = kind == TextBlock::Kind::ListItem && name == "br" ? kind : TextBlock::Kind::Paragraph;
        else if (heading)
            kind = TextBlock::Kind::Heading;
        else if (name == "li")
            kind = TextBlock::Kind::ListItem;
        else
            kind = TextBlock::Kind::Paragraph;
        return true;
    });
    flush();
    return blocks;
}

std::vector<TextBlock> plainBlocks(std::string_view text)
{
    std::vector<TextBlock> blocks;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t to = text.find('\n', from);
        if (to == std::string_view::npos)
            to = text.size();
        std::string line = collapsed(text.substr(from, to - from));
        for (char& c : line)
            if (static_cast<unsigned char>(c) < 0x20)
                c = ' ';
        if (!line.empty())
            blocks.push_back({TextBlock::Kind::Paragraph, std::move(line)});
        from = to + 1;
    }
    return blocks;
}

std::string visibleText(std::string_view html)
{
    std::string out;
    appendVisibleText(html, out);
    return out;
}

} // namespace tw
