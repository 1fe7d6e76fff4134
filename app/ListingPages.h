// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"
#include "db/Tags.h"
#include "platform/TextLookup.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The HTML of a cache's listing pages, built from the stored cache. Texts the
// owner wrote as HTML (descriptions, image captions) stay HTML; every other
// text that goes into a page (names, finders, log texts, plain descriptions)
// is escaped, so that it shows as written and never becomes markup.
namespace SQLite {
class Database;
}

namespace tw::listing {

/** A cache as its listing pages show it: the record with its long texts,
 *  attributes, waypoints and logs (newest first), and its tags as
 *  (category, value) ordered by category ignoring case, then value. */
struct Listing {
    CGeocache cache;
    std::vector<std::pair<std::string, std::string>> tags;
};

/** Reads the listing of the cache with this code; nothing when there is no
 *  such cache. Lets SQLite::Error through. */
std::optional<Listing> loadListing(SQLite::Database& db, const TagCategories& categories, const std::string& code);

/** The web address of the cache's page: the base followed by the code;
 *  empty while no base is set and for a code that is not letters and digits. */
std::string cacheWebAddress(std::string_view base, std::string_view code);

/** The text with & < > " ' written as character references. */
std::string htmlEscape(std::string_view text);

/** The labels of the overview block, from the language table. */
struct OverviewLabels {
    std::string owner;  // "Owner"
    std::string hidden; // "Hidden"
    // The names of cache types, sizes and waypoint types in the user's
    // language; null: the English names the database stores.
    const TextLookup* names = nullptr;
};

/** The names of a cache type, a container size and a waypoint type in the
 *  user's language (names: the language table), else the English names the
 *  database stores. */
std::string shownCacheType(const TextLookup* names, int type);
std::string shownCacheSize(const TextLookup* names, int size);
std::string shownWaypointType(const TextLookup* names, int type);
/** A rating held in tenths as the listing writes it: "2.5" for 25, "3" for 30. */
std::string shownRating(int tenths);

/** Name, code, type, size, ratings, owner, date hidden, coordinates, the
 *  additional waypoints and the attribute icons ("attribute:<entry>" images
 *  of px pixels), as HTML for the top of the description page. */
std::string overviewHtml(const CGeocache& cache, const OverviewLabels& labels, int px);

/** The attribute entries ("dogs-yes", "fuel-no") that can name an icon:
 *  lower-case letters, digits, "_" and "-" ending in "-yes" or "-no". */
bool isAttributeEntry(std::string_view entry);

/** The description page: the short description, "<hr>" when there is one,
 *  then the long description. A plain-text description is escaped, and when
 *  either description is plain text every line break of the page becomes
 *  "<br>". Images are left as they are (see rewriteImages). */
std::string descriptionPage(const CGeocache& cache);

/** The page with `header` (HTML) put right after its "<body>" tag. */
std::string withHeader(std::string_view page, std::string_view header);

/** The number of the icon of a log type, as in "resource://<n>.bmp". */
int logIconNumber(int logType);

/** A log text as a page shows it: embedded images removed, the rest shown as
 *  text, line breaks as "<br>". */
std::string logTextHtml(std::string_view text);

/** A log text as a printed sheet sets it: embedded images removed, the rest
 *  as written. */
std::string logPlainText(std::string_view text);

/** The logs page: the cache name as title, then each log of cache.logs in
 *  their order (newest first as loaded) with its icon, date, `by` and finder
 *  on a coloured bar and the text under it; dates in the pattern of
 *  `names` (the language table) when given. */
std::string logsPage(const CGeocache& cache, std::string_view by, const TextLookup* names = nullptr);

/** The images page: the title, then each stored image link ("<a href=...>
 *  caption</a>") as the image with its caption under it. Images are left as
 *  they are (see rewriteImages). */
std::string imagesPage(std::string_view cacheName, const std::vector<std::string>& imageLinks);

/** The values of the "gcimage" tags among (category, value) pairs. */
std::vector<std::string> imageLinksOf(const std::vector<std::pair<std::string, std::string>>& tags);

/** "Store the selection as variables": the note with the selected bytes
 *  [begin, end) replaced by a variables block of the selection trimmed of
 *  blanks and line breaks. Nothing when the note already has a valid
 *  variables block or the trimmed selection is empty. */
std::optional<std::string> noteWithVariables(std::string_view note, std::size_t begin, std::size_t end);

/** The markup put around a found word: an opening and a closing tag. */
struct FoundMark {
    std::string open;
    std::string close;
};

/** The page with every word of its text that one of terms names wrapped in
 *  mark. Words compare as the full-text index compares them: ignoring case
 *  and diacritics ("brucke" finds "Brücke" and "Br&uuml;cke"); a term ending
 *  in '*' finds every word that starts with it. Tags, attributes, comments
 *  and the contents of script, style and title are left alone, and nothing
 *  but the marks is added. */
/** The words of a text query that its listing marks: those the index
 *  highlights, with the '*' of a prefix kept. */
std::vector<std::string> foundWordsOf(std::string_view query);

std::string markFoundWords(std::string_view html, const std::vector<std::string>& terms, const FoundMark& mark);

} // namespace tw::listing
