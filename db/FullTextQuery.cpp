// SPDX-License-Identifier: GPL-3.0-or-later
// What the user types into the search, read into the query language of the
// index: every part quoted, so that nothing typed is taken as an operator.
#include "db/FullText.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>

namespace tw::fulltext {
namespace {

// The columns of the index, in the order of the TextField bits.
constexpr std::array<const char*, 8> kColumns = {"code", "name", "owner", "listing",
                                                 "hint", "logs", "note",  "waypoints"};
constexpr TextFields kAllFields = (1u << kColumns.size()) - 1;

struct FieldName {
    std::string_view name;
    TextFields field;
};

// What may stand before the ':' of "hint:word", in English and in Czech
// (with and without the diacritics).
constexpr std::array kFieldNames = std::to_array<FieldName>({
    {"code", TextField::Code},          {"kod", TextField::Code},
    {"kód", TextField::Code},           {"name", TextField::Name},
    {"nazev", TextField::Name},         {"název", TextField::Name},
    {"jmeno", TextField::Name},         {"jméno", TextField::Name},
    {"owner", TextField::Owner},        {"author", TextField::Owner},
    {"autor", TextField::Owner},        {"majitel", TextField::Owner},
    {"listing", TextField::Listing},    {"description", TextField::Listing},
    {"popis", TextField::Listing},      {"hint", TextField::Hint},
    {"napoveda", TextField::Hint},      {"nápověda", TextField::Hint},
    {"logs", TextField::Logs},          {"log", TextField::Logs},
    {"logy", TextField::Logs},          {"zapisy", TextField::Logs},
    {"zápisy", TextField::Logs},        {"note", TextField::Note},
    {"poznamka", TextField::Note},      {"poznámka", TextField::Note},
    {"waypoints", TextField::Waypoints}, {"waypoint", TextField::Waypoints},
    {"wpt", TextField::Waypoints},      {"body", TextField::Waypoints},
});

// One part of a query: a word or a phrase, maybe a prefix, maybe excluded,
// maybe limited to fields.
struct Part {
    std::string text;
    bool exclude = false;
    bool prefix = false;
    TextFields fields = 0;
};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A character the index's tokenizer keeps in words: letters, digits and
// private-use characters.
bool isWordChar(UChar32 c)
{
    if (c < 0)
        return false;
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    const auto mask = U_GET_GC_MASK(c);
    return (mask & (U_GC_L_MASK | U_GC_N_MASK | U_GC_CO_MASK)) != 0;
}

// The words of a text as the tokenizer would cut it (letter case kept).
std::vector<std::string> wordsOf(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    const auto* s = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (isWordChar(c)) {
            word.append(text.data() + start, static_cast<std::size_t>(i - start));
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

TextFields fieldNamed(std::string_view name)
{
    std::string lowered(name);
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    for (const auto& f : kFieldNames)
        if (f.name == lowered)
            return f.field;
    return 0;
}

std::vector<Part> partsOf(std::string_view query)
{
    std::vector<Part> parts;
    std::size_t i = 0;
    const std::size_t n = query.size();
    while (i < n) {
        while (i < n && isSpace(query[i]))
            ++i;
        if (i >= n)
            break;
        Part part;
        if (query[i] == '-' && i + 1 < n && !isSpace(query[i + 1])) {
            part.exclude = true;
            ++i;
        }
        // "hint:word", "hint:\"a phrase\"": a known field name before a colon.
        std::size_t k = i;
        while (k < n && !isSpace(query[k]) && query[k] != ':' && query[k] != '"')
            ++k;
        if (k < n && query[k] == ':' && k > i) {
            if (const TextFields field = fieldNamed(query.substr(i, k - i))) {
                part.fields = field;
                i = k + 1;
            }
        }
        if (i < n && query[i] == '"') {
            // A phrase runs to the next quote, or to the end when none follows.
            const std::size_t close = query.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? n : close;
            part.text = std::string(query.substr(i + 1, end - i - 1));
            i = end == n ? n : end + 1;
            if (i < n && query[i] == '*') {
                part.prefix = true;
                while (i < n && query[i] == '*')
                    ++i;
            }
        } else {
            const std::size_t start = i;
            while (i < n && !isSpace(query[i]) && query[i] != '"')
                ++i;
            std::string_view word = query.substr(start, i - start);
            while (!word.empty() && word.back() == '*') {
                part.prefix = true;
                word.remove_suffix(1);
            }
            part.text = std::string(word);
        }
        // Only what holds a word can match: "--", "*" or "()" alone are dropped.
        if (!wordsOf(part.text).empty())
            parts.push_back(std::move(part));
    }
    return parts;
}

std::string quoted(const Part& part)
{
    std::string out = "\"";
    for (const char c : part.text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    if (part.prefix)
        out += " *";
    return out;
}

std::string columnFilter(TextFields fields)
{
    std::string out = "{";
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        if (!(fields & (1u << i)))
            continue;
        if (out.size() > 1)
            out += ' ';
        out += kColumns[i];
    }
    return out + "} : ";
}

// One part with its column filter: its own field when it names one,
// otherwise the fields asked for.
std::string term(const Part& part, TextFields fields)
{
    const TextFields own = part.fields ? part.fields : fields;
    if (own == 0 || own == kAllFields)
        return quoted(part);
    return columnFilter(own) + quoted(part);
}

} // namespace

std::string MatchExpression(std::string_view query, TextFields fields)
{
    fields &= kAllFields;
    std::string wanted;
    std::string unwanted;
    for (const Part& part : partsOf(query)) {
        std::string& into = part.exclude ? unwanted : wanted;
        if (!into.empty())
            into += part.exclude ? " OR " : " AND ";
        into += term(part, fields);
    }
    // Only excluded words select nothing the index can give.
    if (wanted.empty())
        return {};
    if (unwanted.empty())
        return wanted;
    return "(" + wanted + ") NOT (" + unwanted + ")";
}

std::vector<std::string> HighlightTerms(std::string_view query)
{
    std::vector<std::string> terms;
    for (const Part& part : partsOf(query)) {
        if (part.exclude)
            continue;
        for (auto& word : wordsOf(part.text))
            if (std::find(terms.begin(), terms.end(), word) == terms.end())
                terms.push_back(std::move(word));
    }
    return terms;
}


} // namespace tw::fulltext
