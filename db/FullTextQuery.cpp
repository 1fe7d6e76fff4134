// SPDX-License-Identifier: GPL-3.0-or-later
// What the user types into the search, read into the query language of the
// index (every piece quoted, so that nothing typed is taken as an operator),
// and the search for the best matches.
#include "db/FullText.h"

#include "db/CacheReader.h"
#include "db/Database.h"
#include "db/FullTextTokenizer.h"
#include "db/SqlError.h"
#include "db/Statement.h"

#include <sqlite3.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>

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

// One piece of a query: a word or a phrase, maybe a prefix, maybe excluded,
// maybe limited to fields.
struct Piece {
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

std::vector<Piece> piecesOf(std::string_view query)
{
    std::vector<Piece> pieces;
    std::size_t i = 0;
    const std::size_t n = query.size();
    while (i < n) {
        while (i < n && isSpace(query[i]))
            ++i;
        if (i >= n)
            break;
        Piece piece;
        if (query[i] == '-' && i + 1 < n && !isSpace(query[i + 1])) {
            piece.exclude = true;
            ++i;
        }
        // "hint:word", "hint:\"a phrase\"": a known field name before a colon.
        std::size_t k = i;
        while (k < n && !isSpace(query[k]) && query[k] != ':' && query[k] != '"')
            ++k;
        if (k < n && query[k] == ':' && k > i) {
            if (const TextFields field = fieldNamed(query.substr(i, k - i))) {
                piece.fields = field;
                i = k + 1;
            }
        }
        if (i < n && query[i] == '"') {
            // A phrase runs to the next quote, or to the end when none follows.
            const std::size_t close = query.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? n : close;
            piece.text = std::string(query.substr(i + 1, end - i - 1));
            i = end == n ? n : end + 1;
            if (i < n && query[i] == '*') {
                piece.prefix = true;
                while (i < n && query[i] == '*')
                    ++i;
            }
        } else {
            const std::size_t start = i;
            while (i < n && !isSpace(query[i]) && query[i] != '"')
                ++i;
            std::string_view word = query.substr(start, i - start);
            while (!word.empty() && word.back() == '*') {
                piece.prefix = true;
                word.remove_suffix(1);
            }
            piece.text = std::string(word);
        }
        // Only what holds a word can match: "--", "*" or "()" alone are dropped.
        if (!wordsOf(piece.text).empty())
            pieces.push_back(std::move(piece));
    }
    return pieces;
}

std::string quoted(const Piece& piece)
{
    std::string out = "\"";
    for (const char c : piece.text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    if (piece.prefix)
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

// One piece with its column filter: its own field when it names one,
// otherwise the fields asked for.
std::string term(const Piece& piece, TextFields fields)
{
    const TextFields own = piece.fields ? piece.fields : fields;
    if (own == 0 || own == kAllFields)
        return quoted(piece);
    return columnFilter(own) + quoted(piece);
}

} // namespace

std::string MatchExpression(std::string_view query, TextFields fields)
{
    fields &= kAllFields;
    std::string wanted;
    std::string unwanted;
    for (const Piece& piece : piecesOf(query)) {
        std::string& into = piece.exclude ? unwanted : wanted;
        if (!into.empty())
            into += piece.exclude ? " OR " : " AND ";
        into += term(piece, fields);
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
    for (const Piece& piece : piecesOf(query)) {
        if (piece.exclude)
            continue;
        for (auto& word : wordsOf(piece.text))
            if (std::find(terms.begin(), terms.end(), word) == terms.end())
                terms.push_back(std::move(word));
    }
    return terms;
}

namespace {

// tw_bestof(cachetext, k, weight...): the index's bm25 (the same formula,
// arguments and rounding as FTS5's own bm25(cachetext, weight...)) for a
// query that keeps only its k best rows. It remembers the k best scores so
// far; a row whose score cannot reach them, whatever its length, gets that
// bound instead of its score, which ranks it below the k best all the same.
// Such a row costs no read of its length, which is most of the work of
// bm25 over a common word. Only for ORDER BY ... LIMIT k.
constexpr double kK1 = 1.2;
constexpr double kB = 0.75;

struct BestOf {
    std::size_t keep = 0;
    double averageLength = 0.0;
    std::vector<double> idf;   // by phrase
    std::vector<double> freq;  // of the current row, by phrase
    std::vector<int> count;    // instances in the current row, by phrase
    std::vector<double> best;  // scores of the best rows so far, a min-heap (higher is better)

    double score(double length) const
    {
        double sum = 0.0;
        for (std::size_t i = 0; i < idf.size(); ++i)
            sum += idf[i] * ((freq[i] * (kK1 + 1.0)) / (freq[i] + kK1 * (1 - kB + kB * length / averageLength)));
        return sum;
    }
};

int countRow(const Fts5ExtensionApi*, Fts5Context*, void* rows)
{
    ++*static_cast<sqlite3_int64*>(rows);
    return SQLITE_OK;
}

// The numbers of the whole query, as bm25 works them out for its first row.
int startBestOf(const Fts5ExtensionApi* api, Fts5Context* fts, std::size_t keep, BestOf*& out)
{
    auto data = std::make_unique<BestOf>();
    data->keep = keep;
    sqlite3_int64 rows = 0;
    sqlite3_int64 tokens = 0;
    int rc = api->xRowCount(fts, &rows);
    if (rc == SQLITE_OK)
        rc = api->xColumnTotalSize(fts, -1, &tokens);
    if (rc != SQLITE_OK)
        return rc;
    data->averageLength = static_cast<double>(tokens) / static_cast<double>(rows);
    const int phrases = api->xPhraseCount(fts);
    for (int i = 0; i < phrases; ++i) {
        sqlite3_int64 hits = 0;
        rc = api->xQueryPhrase(fts, i, &hits, countRow);
        if (rc != SQLITE_OK)
            return rc;
        double idf = std::log((static_cast<double>(rows) - static_cast<double>(hits) + 0.5) /
                              (static_cast<double>(hits) + 0.5));
        if (idf <= 0.0)
            idf = 1e-6;
        data->idf.push_back(idf);
    }
    data->freq.assign(data->idf.size(), 0.0);
    data->count.assign(data->idf.size(), 0);
    out = data.get();
    return api->xSetAuxdata(fts, data.release(), [](void* p) { delete static_cast<BestOf*>(p); });
}

void bestOf(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (argc < 1 || sqlite3_value_int64(argv[0]) < 1) {
        sqlite3_result_error(context, "tw_bestof: the number of rows kept comes first", -1);
        return;
    }
    auto* data = static_cast<BestOf*>(api->xGetAuxdata(fts, 0));
    int rc = data ? SQLITE_OK : startBestOf(api, fts, static_cast<std::size_t>(sqlite3_value_int64(argv[0])), data);
    int instances = 0;
    if (rc == SQLITE_OK) {
        std::fill(data->freq.begin(), data->freq.end(), 0.0);
        std::fill(data->count.begin(), data->count.end(), 0);
        rc = api->xInstCount(fts, &instances);
    }
    for (int i = 0; rc == SQLITE_OK && i < instances; ++i) {
        int phrase = 0, column = 0, offset = 0;
        rc = api->xInst(fts, i, &phrase, &column, &offset);
        if (rc != SQLITE_OK || phrase < 0 || static_cast<std::size_t>(phrase) >= data->freq.size())
            continue;
        data->freq[static_cast<std::size_t>(phrase)] += column + 1 < argc ? sqlite3_value_double(argv[column + 1]) : 1.0;
        ++data->count[static_cast<std::size_t>(phrase)];
    }
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(context, rc);
        return;
    }
    auto& best = data->best;
    const auto worse = std::greater<double>();
    if (best.size() == data->keep) {
        // The row is at least as long as the instances of any one phrase
        // in it; a shorter row scores higher.
        const int shortest = data->count.empty() ? 0 : *std::max_element(data->count.begin(), data->count.end());
        const double bound = data->score(static_cast<double>(shortest));
        if (bound < best.front()) {
            sqlite3_result_double(context, -1.0 * bound);
            return;
        }
    }
    int length = 0;
    rc = api->xColumnSize(fts, -1, &length);
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(context, rc);
        return;
    }
    const double score = data->score(static_cast<double>(length));
    if (best.size() < data->keep) {
        best.push_back(score);
        std::push_heap(best.begin(), best.end(), worse);
    } else if (score > best.front()) {
        std::pop_heap(best.begin(), best.end(), worse);
        best.back() = score;
        std::push_heap(best.begin(), best.end(), worse);
    }
    sqlite3_result_double(context, -1.0 * score);
}

// tw_snippetcolumn(cachetext, tokens, column...): the column FTS5's
// snippet(cachetext, -1, ..., tokens) takes its piece from, by the same
// scores, but where columns score alike the first of those named wins
// rather than the first of the index. The listing leads the index's columns
// (it takes the least room there); the snippet still prefers the code, the
// name and the owner to it, as it did while they came first.
struct SnippetScorer {
    const Fts5ExtensionApi* api = nullptr;
    Fts5Context* fts = nullptr;
    int instances = 0;
    int tokens = 0;
    std::vector<unsigned char> seen; // by phrase

    // The score of the window of `tokens` words from `start` of the column.
    int score(int column, int start)
    {
        std::fill(seen.begin(), seen.end(), 0);
        int total = 0;
        for (int i = 0; i < instances; ++i) {
            int phrase = 0, at = 0, offset = 0;
            if (api->xInst(fts, i, &phrase, &at, &offset) != SQLITE_OK)
                return -1;
            if (at != column || offset < start || offset >= start + tokens || phrase < 0 ||
                static_cast<std::size_t>(phrase) >= seen.size())
                continue;
            total += seen[static_cast<std::size_t>(phrase)] ? 1 : 1000;
            seen[static_cast<std::size_t>(phrase)] = 1;
        }
        return total;
    }
};

// Where sentences of a column's text begin: its first word and every word
// after a '.' or ':'.
struct SentenceStarts {
    const char* text = nullptr;
    int word = 0;
    std::vector<int> starts;
};

int sentenceStart(void* context, int flags, const char*, int, int startByte, int)
{
    if (flags & FTS5_TOKEN_COLOCATED)
        return SQLITE_OK;
    auto& s = *static_cast<SentenceStarts*>(context);
    if (s.word == 0) {
        s.starts.push_back(0);
    } else {
        int i = startByte - 1;
        char c = 0;
        for (; i >= 0; --i) {
            c = s.text[i];
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                break;
        }
        if (i != startByte - 1 && (c == '.' || c == ':'))
            s.starts.push_back(s.word);
    }
    ++s.word;
    return SQLITE_OK;
}

void snippetColumn(const Fts5ExtensionApi* api, Fts5Context* fts, sqlite3_context* context, int argc,
                   sqlite3_value** argv)
{
    SnippetScorer scorer;
    scorer.api = api;
    scorer.fts = fts;
    scorer.tokens = argc > 0 ? sqlite3_value_int(argv[0]) : 0;
    int rc = api->xInstCount(fts, &scorer.instances);
    scorer.seen.assign(static_cast<std::size_t>(std::max(api->xPhraseCount(fts), 0)), 0);
    int bestScore = 0;
    int bestColumn = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
    for (int a = 1; rc == SQLITE_OK && a < argc; ++a) {
        const int column = sqlite3_value_int(argv[a]);
        SentenceStarts sentences;
        int bytes = 0;
        rc = api->xColumnText(fts, column, &sentences.text, &bytes);
        if (rc == SQLITE_OK && sentences.text)
            rc = api->xTokenize(fts, sentences.text, bytes, &sentences, sentenceStart);
        int words = 0;
        if (rc == SQLITE_OK)
            rc = api->xColumnSize(fts, column, &words);
        for (int i = 0; rc == SQLITE_OK && i < scorer.instances; ++i) {
            int phrase = 0, at = 0, offset = 0;
            rc = api->xInst(fts, i, &phrase, &at, &offset);
            if (rc != SQLITE_OK || at != column)
                continue;
            // The window around the word, as the snippet centres it, scores
            // as the one starting at it.
            if (scorer.score(column, offset) > bestScore) {
                bestScore = scorer.score(column, offset);
                bestColumn = column;
            }
            if (sentences.starts.empty() || words <= scorer.tokens)
                continue;
            std::size_t s = 0;
            while (s + 1 < sentences.starts.size() && sentences.starts[s + 1] <= offset)
                ++s;
            const int start = sentences.starts[s];
            if (start < offset) {
                const int fromSentence = scorer.score(column, start) + (start == 0 ? 120 : 100);
                if (fromSentence > bestScore) {
                    bestScore = fromSentence;
                    bestColumn = column;
                }
            }
        }
    }
    if (rc != SQLITE_OK) {
        sqlite3_result_error_code(context, rc);
        return;
    }
    sqlite3_result_int(context, bestColumn);
}

// The column weights of the index's bm25 as its rank is configured
// ("bm25(1.0, 8.0, ...)"); empty when the rank is anything else.
std::string configuredWeights(SQLite::Database& db)
{
    try {
        SQLite::Statement q = db.prepareCached("SELECT `v` FROM `cachetext_config` WHERE `k` = 'rank'");
        if (!q.Next())
            return {};
        const std::string rank = q.ColumnText(0);
        constexpr std::string_view head = "bm25(";
        if (rank.rfind(head, 0) != 0 || rank.back() != ')')
            return {};
        std::string weights = rank.substr(head.size(), rank.size() - head.size() - 1);
        // Numbers, commas and spaces only: the text goes into the statement.
        if (weights.find_first_not_of("0123456789.,- ") != std::string::npos)
            return {};
        return weights;
    } catch (const SQLite::Error&) {
        return {};
    }
}

// The index's columns (by their place in it) in the order in which the
// snippet prefers them when they match alike: the order of the columns
// before the listing came first.
constexpr const char* kSnippetColumnOrder = "1, 2, 3, 0, 4, 5, 6, 7";

// Without the spaces where a text was joined to the next.
std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

int registerRankFunction(sqlite3* handle)
{
    fts5_api* api = fts5Of(handle);
    if (!api)
        return SQLITE_ERROR;
    const int rc = api->xCreateFunction(api, "tw_bestof", nullptr, bestOf, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    return api->xCreateFunction(api, "tw_snippetcolumn", nullptr, snippetColumn, nullptr);
}

std::vector<Hit> Search(SQLite::Database& db, std::string_view query, TextFields fields, int limit)
{
    std::vector<Hit> hits;
    const std::string expression = MatchExpression(query, fields);
    if (expression.empty() || limit <= 0 || !maintained(db))
        return hits;
    // The best keys first, from the index alone; the snippets, which read
    // the texts, only for those. One more for the dummy cache, never shown.
    const std::string weights = configuredWeights(db);
    const std::string rank = weights.empty() ? "`rank`" : "tw_bestof(`cachetext`, ?2, " + weights + ")";
    SQLite::Statement best(db, "SELECT `c`.`rowid`, `g`.`id`, `g`.`name` FROM (SELECT `rowid`, " + rank +
                                   " AS `r` FROM `cachetext` WHERE `cachetext` MATCH ?1 ORDER BY `r`, `rowid` LIMIT "
                                   "?2) AS `c` JOIN `geocache` AS `g` ON `g`.`key` = `c`.`rowid` ORDER BY `c`.`r`, "
                                   "`c`.`rowid`");
    best.BindText(1, expression);
    best.BindInt(2, limit + 1);
    // The piece from the column the snippet of every column would take,
    // the code, name and owner winning a tie with the listing.
    constexpr int kSnippetWords = 12;
    SQLite::Statement column(db, std::string("SELECT tw_snippetcolumn(`cachetext`, ?3, ") + kSnippetColumnOrder +
                                     ") FROM `cachetext` WHERE `cachetext` MATCH ?1 AND `rowid` = ?2");
    SQLite::Statement snippet(db, "SELECT snippet(`cachetext`, ?3, char(2), char(3), '…', ?4) FROM `cachetext` "
                                  "WHERE `cachetext` MATCH ?1 AND `rowid` = ?2");
    while (best.Next() && hits.size() < static_cast<std::size_t>(limit)) {
        Hit hit;
        hit.key = best.columnInt64(0);
        hit.code = best.ColumnText(1);
        if (hit.code == kDummyCacheCode)
            continue;
        hit.name = best.ColumnText(2);
        column.Reset();
        column.BindText(1, expression);
        column.BindInt(2, hit.key);
        column.BindInt(3, kSnippetWords);
        snippet.Reset();
        snippet.BindText(1, expression);
        snippet.BindInt(2, hit.key);
        snippet.BindInt(3, column.Next() ? column.ColumnInt(0) : -1);
        snippet.BindInt(4, kSnippetWords);
        if (snippet.Next())
            hit.snippet = trimmed(snippet.ColumnText(0));
        hits.push_back(std::move(hit));
    }
    return hits;
}

} // namespace tw::fulltext
