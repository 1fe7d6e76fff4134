// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/common/BenchCaches.h"

#include "db/CGeoLog.h"
#include "db/CWaypoint.h"
#include "exchange/CGpxImporter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <unordered_set>
#include <vector>

namespace tw::bench {
namespace {

// The most frequent words of the three languages, most frequent first.
const char* const kHead[] = {
    "a",    "the",  "je",   "na",  "v",    "and",   "to",   "se",   "und",  "die",   "of",   "in",
    "s",    "der",  "z",    "is",  "k",    "it",    "do",   "za",   "ist",  "von",   "at",   "po",
    "with", "for",  "od",   "im",  "mit",  "on",    "o",    "u",    "das",  "by",    "ale",  "but",
    "zu",   "from", "you",  "den", "cache", "jsem", "this", "there", "i",   "ein",   "we",   "ich",
    "jak",  "auf",  "keš",  "you", "nach", "bylo",  "very", "sehr", "tak",  "not",   "nicht", "je",
};

// Listing and log words, spread over the ranks after the head.
const char* const kListingWords[] = {
    "found",      "thanks",     "logbook",    "final",      "díky",       "danke",      "nalezeno",   "schatz",
    "parking",    "cesta",      "forest",     "path",       "les",        "weg",        "wald",       "kámen",
    "stone",      "bridge",     "most",       "brücke",     "hint",       "nápověda",   "tree",       "strom",
    "baum",       "near",       "blízko",     "nahe",       "hill",       "kopec",      "berg",       "walk",
    "procházka",  "spaziergang", "church",    "kostel",     "kirche",     "view",       "vyhlídka",   "aussicht",
    "TFTC",       "container",  "schránka",   "dose",       "micro",      "petka",      "pencil",     "tužka",
    "stift",      "swap",       "trackable",  "coin",       "travelbug",  "muggles",    "mudlové",    "nice",
    "pěkná",      "schön",      "place",      "místo",      "ort",        "old",        "starý",      "alt",
    "village",    "vesnice",    "dorf",       "castle",     "hrad",       "burg",       "ruins",      "zřícenina",
    "potok",      "creek",      "bach",       "river",      "řeka",       "fluss",      "lake",       "rybník",
    "see",        "spring",     "studánka",   "quelle",     "chapel",     "kaplička",   "kapelle",    "mill",
    "mlýn",       "mühle",      "tower",      "rozhledna",  "turm",       "rock",       "skála",      "felsen",
    "meadow",     "louka",      "wiese",      "field",      "pole",       "feld",       "cross",      "kříž",
    "kreuz",      "statue",     "socha",      "memorial",   "pomník",     "denkmal",    "cemetery",   "hřbitov",
    "friedhof",   "railway",    "železnice",  "bahn",       "station",    "nádraží",    "bahnhof",    "tunnel",
    "tunel",      "quarry",     "lom",        "steinbruch", "cave",       "jeskyně",    "höhle",      "mine",
    "důl",        "bergwerk",   "border",     "hranice",    "grenze",     "bunker",     "řopík",      "history",
    "historie",   "geschichte", "legend",     "pověst",     "sage",       "knight",     "rytíř",      "ritter",
    "king",       "král",       "könig",      "battle",     "bitva",      "schlacht",   "war",        "válka",
    "krieg",      "water",      "voda",       "wasser",     "bench",      "lavička",    "bank",       "fence",
    "plot",       "zaun",       "wall",       "zeď",        "mauer",      "hole",       "díra",       "loch",
    "root",       "kořen",      "wurzel",     "magnet",     "magnetic",   "nano",       "film",       "pet",
    "regular",    "small",      "malá",       "klein",      "large",      "velká",      "groß",       "dry",
    "suchá",      "trocken",    "wet",        "mokrá",      "nass",       "full",       "plná",       "voll",
    "replaced",   "vyměněn",    "ersetzt",    "owner",      "majitel",    "besitzer",   "coordinates", "souřadnice",
    "koordinaten", "puzzle",    "šifra",      "rätsel",     "solution",   "řešení",     "lösung",     "checker",
    "stage",      "etapa",      "station",    "multi",      "mystery",    "earthcache", "geology",    "geologie",
    "granite",    "žula",       "granit",     "sandstone",  "pískovec",   "sandstein",  "limestone",  "vápenec",
    "fossil",     "zkamenělina", "spruce",    "smrk",       "fichte",     "beech",      "buk",        "buche",
    "oak",        "dub",        "eiche",      "linden",     "lípa",       "linde",      "birch",      "bříza",
    "birke",      "snow",       "sníh",       "schnee",     "rain",       "déšť",       "regen",      "mud",
    "bláto",      "schlamm",    "nettles",    "kopřivy",    "brennnesseln", "ticks",    "klíšťata",   "zecken",
    "dog",        "pes",        "hund",       "kids",       "děti",       "kinder",     "bike",       "kolo",
    "fahrrad",    "car",        "auto",       "night",      "noc",        "nacht",      "flashlight", "baterka",
    "taschenlampe", "morning",  "ráno",       "morgen",     "evening",    "večer",      "abend",      "winter",
    "zima",       "summer",     "léto",       "sommer",     "autumn",     "podzim",     "herbst",     "weekend",
    "víkend",     "trip",       "výlet",      "ausflug",    "holiday",    "dovolená",   "urlaub",     "team",
    "tým",        "friends",    "přátelé",    "freunde",    "family",     "rodina",     "familie",    "first",
    "první",      "erste",      "last",       "poslední",   "letzte",     "quick",      "rychlý",     "schnell",
    "easy",       "snadný",     "einfach",    "difficult",  "těžký",      "schwer",     "search",     "hledání",
    "suche",      "looked",     "hledali",    "gesucht",    "missing",    "chybí",      "fehlt",      "damaged",
    "poškozená",  "beschädigt", "maintenance", "údržba",    "wartung",    "archived",   "archivována", "disabled",
    "spot",       "great",      "skvělá",     "toll",       "beautiful",  "krásná",     "wunderbar",  "hidden",
    "ukrytá",     "versteckt",  "under",      "pod",        "unter",      "behind",     "za",         "hinter",
    "between",    "mezi",       "zwischen",   "above",      "nad",        "über",       "left",       "vlevo",
    "links",      "right",      "vpravo",     "rechts",     "north",      "sever",      "norden",     "south",
    "jih",        "süden",      "east",       "východ",     "osten",      "west",       "západ",      "westen",
    "meters",     "metrů",      "meter",      "kilometers", "kilometrů",  "minutes",    "minut",      "minuten",
    "žluťoučký",  "geocaching", "geocacher",  "cacher",     "kešer",      "event",      "souvenir",   "ftf",
};

// Made-up words from syllables, a few thousand of them, always the same ones.
std::vector<std::string> madeUpWords(std::size_t count)
{
    static const char* const kSyllables[] = {"ka", "lo", "mir", "sta", "vek", "ro", "ne", "tal", "bu", "sen",
                                             "hor", "da", "li", "mo", "ber", "za", "vi", "kon", "te", "pra",
                                             "šel", "ná", "dor", "fi", "gra", "ku", "len", "ma", "ost", "ři"};
    std::vector<std::string> out;
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    while (out.size() < count) {
        std::string word;
        const int parts = 2 + static_cast<int>(next() % 3);
        for (int i = 0; i < parts; ++i)
            word += kSyllables[next() % std::size(kSyllables)];
        out.push_back(std::move(word));
    }
    return out;
}

struct Vocabulary {
    std::vector<std::string> words;    // by rank
    std::vector<std::uint32_t> upTo;   // cumulative weights, by rank
};

// The head, then one listing word in five ranks among the made-up ones.
Vocabulary makeVocabulary()
{
    Vocabulary v;
    std::unordered_set<std::string> seen;
    auto add = [&](const std::string& word) {
        if (seen.insert(word).second)
            v.words.push_back(word);
    };
    for (const char* word : kHead)
        add(word);
    const std::vector<std::string> madeUp = madeUpWords(kVocabularySize);
    std::size_t listing = 0, other = 0;
    while (v.words.size() < static_cast<std::size_t>(kVocabularySize)) {
        if (listing < std::size(kListingWords) && (v.words.size() % 5 == 0 || other == madeUp.size()))
            add(kListingWords[listing++]);
        else if (other < madeUp.size())
            add(madeUp[other++]);
        else
            add("slovo" + std::to_string(v.words.size()));
    }
    // Weights about 1/(rank + 1), in integers so that every platform draws
    // the same words.
    std::uint32_t sum = 0;
    for (std::size_t r = 0; r < v.words.size(); ++r) {
        sum += static_cast<std::uint32_t>(1000000.0 / static_cast<double>(r + 1) + 0.5);
        v.upTo.push_back(sum);
    }
    return v;
}

const Vocabulary& vocabulary()
{
    static const Vocabulary v = makeVocabulary();
    return v;
}

// A word drawn by its frequency, of rank `from` or later.
const std::string& drawWord(std::mt19937& rng, int from = 0)
{
    const Vocabulary& v = vocabulary();
    const std::uint32_t low = from > 0 ? v.upTo[static_cast<std::size_t>(from) - 1] : 0;
    const std::uint32_t at = low + static_cast<std::uint32_t>(rng() % (v.upTo.back() - low));
    const auto it = std::upper_bound(v.upTo.begin(), v.upTo.end(), at);
    return v.words[static_cast<std::size_t>(it - v.upTo.begin())];
}

// Past the little words of the head: what names and hints are made of.
constexpr int kContentRank = 40;

void appendWords(std::string& out, std::mt19937& rng, int n, int from = 0)
{
    for (int i = 0; i < n; ++i) {
        if (i)
            out += ' ';
        out += drawWord(rng, from);
    }
}

// A sentence of 5 to 18 words, capitalised (ASCII first letters) and closed.
void appendSentence(std::string& out, std::mt19937& rng)
{
    const std::size_t start = out.size();
    appendWords(out, rng, 5 + static_cast<int>(rng() % 14));
    if (out[start] >= 'a' && out[start] <= 'z')
        out[start] = static_cast<char>(out[start] - 'a' + 'A');
    out += rng() % 8 == 0 ? '!' : '.';
}

std::string sentences(std::mt19937& rng, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i) {
        if (i)
            out += ' ';
        appendSentence(out, rng);
    }
    return out;
}

// Paragraphs of two to five sentences, some with a bold lead, until the
// text holds at least `bytes`.
std::string listingHtml(std::mt19937& rng, std::size_t bytes)
{
    std::string html;
    while (html.size() < bytes) {
        html += "<p>";
        if (rng() % 3 == 0) {
            html += "<b>";
            appendWords(html, rng, 2 + static_cast<int>(rng() % 3), kContentRank);
            html += "</b> ";
        }
        html += sentences(rng, 2 + static_cast<int>(rng() % 4));
        html += "</p>\n";
    }
    return html;
}

} // namespace

const std::string& vocabularyWord(int rank)
{
    return vocabulary().words.at(static_cast<std::size_t>(rank));
}

std::string words(std::mt19937& rng, int n)
{
    std::string s;
    appendWords(s, rng, n, kContentRank);
    return s;
}

CGeocache makeCache(std::mt19937& rng, int n)
{
    static const int kTypes[] = {CacheType::Traditional, CacheType::Multi, CacheType::Unknown, CacheType::Earthcache,
                                 CacheType::Letterbox};
    static const int kSizes[] = {CacheSize::Micro, CacheSize::Small, CacheSize::Regular, CacheSize::Other};
    CGeocache c;
    char code[16];
    std::snprintf(code, sizeof code, "GC%05X", 0x10000 + n);
    c.code = code;
    c.guid = "9f1c2d3e-0000-4000-8000-" + std::to_string(100000000000LL + n);
    c.name = words(rng, 2 + static_cast<int>(rng() % 2)) + " #" + std::to_string(n);
    c.author = "owner" + std::to_string(rng() % 5000);
    c.ownerId = static_cast<int>(rng() % 1000000) + 1;
    c.cacheId = 1000000 + n;
    c.lat = 48.5 + (rng() % 200000) / 100000.0;
    c.lon = 12.0 + (rng() % 600000) / 100000.0;
    c.type = kTypes[rng() % std::size(kTypes)];
    c.size = kSizes[rng() % std::size(kSizes)];
    c.difficulty = 10 + 5 * static_cast<int>(rng() % 9);
    c.terrain = 10 + 5 * static_cast<int>(rng() % 9);
    c.hidden = 20000101 + static_cast<int>(rng() % 20) * 10000 + static_cast<int>(rng() % 12) * 100 +
               static_cast<int>(rng() % 28);
    c.country = "Czech Republic";
    c.state = "Jihočeský kraj";
    c.text = sentences(rng, 1 + static_cast<int>(rng() % 2));
    c.shortDescHtml = 1;
    c.longDesc = listingHtml(rng, 900 + rng() % 3100);
    c.longDescHtml = 1;
    c.hint = words(rng, 2 + static_cast<int>(rng() % 7));
    for (int a = 0; a < static_cast<int>(rng() % 8); ++a)
        c.attributes.push_back(attributeName(1 + static_cast<int>(rng() % 66)) + (rng() % 4 ? "-yes" : "-no"));
    const int logs = 5 + static_cast<int>(rng() % 16);
    for (int l = 0; l < logs; ++l) {
        auto log = std::make_unique<CGeoLog>();
        log->logId = static_cast<int>(rng() % 900000000);
        log->date = 20100101 + static_cast<int>(rng() % 15) * 10000 + static_cast<int>(rng() % 12) * 100 + 1;
        log->type = rng() % 5 == 0 ? LogType::DidntFindIt : LogType::FoundIt;
        log->finder = "cacher" + std::to_string(rng() % 20000);
        log->finderId = static_cast<int>(rng() % 9000000);
        log->text = sentences(rng, 1 + static_cast<int>(rng() % 3));
        c.logs.push_back(std::move(log));
    }
    if (c.type == CacheType::Multi || c.type == CacheType::Unknown) {
        for (const char* prefix : {"PK", "FN"}) {
            auto w = std::make_unique<CWaypoint>();
            w->prefix = prefix;
            w->name = prefix[0] == 'P' ? "Parkoviště" : "Final";
            w->type = prefix[0] == 'P' ? WaypointType::Parking : WaypointType::Final;
            w->lat = c.lat + 0.001;
            w->lon = c.lon - 0.001;
            w->text = words(rng, 6);
            c.waypoints.push_back(std::move(w));
        }
    }
    return c;
}

// The heavier listing: longer logs and descriptions than makeCache gives.
void makeHeavy(std::mt19937& rng, CGeocache& c)
{
    std::string html = "<table><tr><td><img src=\"https://img.example.org/" + c.code + ".jpg\" /></td></tr></table>\n";
    while (html.size() < 3600 + rng() % 900)
        html += "<p><span style=\"font-size:small;\">" + sentences(rng, 3 + static_cast<int>(rng() % 4)) +
                " &amp; " + sentences(rng, 1) + "</span></p>\n";
    c.longDesc = html;
    c.text = "<p>" + sentences(rng, 2) + "</p>";
    c.hint = words(rng, 12);
    for (auto& log : c.logs)
        log->text = sentences(rng, 4 + static_cast<int>(rng() % 5)) + "\r\n" + sentences(rng, 1) + " TFTC!";
}

// Moves the cache and its waypoints to a random spot within radiusKm of centre.
void placeAround(std::mt19937& rng, CGeocache& c, geo::LatLon centre, double radiusKm)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const geo::LatLon at = geo::projectPoint(centre, radiusKm * std::sqrt(unit(rng)), 360.0 * unit(rng));
    const double dLat = at.lat - c.lat, dLon = at.lon - c.lon;
    c.lat = at.lat;
    c.lon = at.lon;
    for (auto& w : c.waypoints) {
        w->lat += dLat;
        w->lon += dLon;
    }
}

} // namespace tw::bench
