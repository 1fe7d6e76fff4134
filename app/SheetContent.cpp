// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SheetContent.h"

#include "app/CGlobalData.h"
#include "app/LanguageTable.h"
#include "app/ListingFiles.h"
#include "app/ListingPages.h"
#include "db/Enumerations.h"
#include "db/Tags.h"
#include "geo/CoordEntry.h"
#include "geo/CoordFormat.h"
#include "geo/TextTools.h"
#include "online/ServerText.h"
#include "platform/Text.h"

#include <algorithm>
#include <set>

namespace fs = std::filesystem;

namespace tw::sheet {
namespace {

constexpr int kTextWaypoints = 425;
constexpr int kTextDescription = 430;
constexpr int kTextImages = 432;
constexpr int kTextOwner = 436;
constexpr int kTextHidden = 437;
constexpr int kTextHint = 438;
constexpr int kTextNote = 441;
constexpr int kTextRot13 = 1344;
constexpr int kTextLastLogs = 1345;
constexpr int kTextPage = 1346;
constexpr int kTextLogTypes = 1020; // 1020 to 1034, by log type
constexpr int kLogTypeCount = 15;

// Line ends of every kind as "\n".
std::string unixLines(std::string_view text)
{
    return text::replaceAll(text::replaceAll(std::string(text), "\r\n", "\n"), "\r", "\n");
}

// The blocks of a description; images only where their file is offline.
void appendDescription(std::vector<Piece>& pieces, const std::string& text, int isHtml, const fs::path& mapFolder,
                       const std::string& code, std::set<fs::path>& shown)
{
    if (text.empty())
        return;
    const auto blocks = isHtml ? visibleBlocks(text) : plainBlocks(unixLines(text));
    for (const TextBlock& block : blocks) {
        if (block.kind != TextBlock::Kind::Image) {
            pieces.push_back({block.kind, block.text, {}});
            continue;
        }
        const fs::path local = listing::localImageOf(mapFolder, code, block.text);
        std::error_code ec;
        if (local.empty() || !fs::is_regular_file(local, ec))
            continue;
        shown.insert(local);
        pieces.push_back({TextBlock::Kind::Image, {}, local});
    }
}

std::string logTypeName(const CGlobalData& global, int type)
{
    if (type >= 0 && type < kLogTypeCount)
        return global.lang.textOr(kTextLogTypes + type, logTypeText(type));
    return logTypeText(type);
}

} // namespace

Content contentOf(const CGlobalData& global, const listing::Listing& listing, const fs::path& mapFolder)
{
    const CGeocache& c = listing.cache;
    const LanguageTable& lang = global.lang;
    const geo::CoordEntryStyle style = geo::coordEntryStyle(global.settings.coordStyle);
    const std::string datePattern = lang.datePattern();

    Content s;
    s.labels = {lang.textOr(kTextOwner, "Owner"),
                lang.textOr(kTextHidden, "Hidden"),
                lang.textOr(kTextHint, "Hint"),
                lang.textOr(kTextRot13, "Hint in ROT13"),
                lang.textOr(kTextDescription, "Description"),
                lang.textOr(kTextWaypoints, "Waypoints"),
                lang.textOr(kTextLastLogs, "Last logs"),
                lang.textOr(kTextImages, "Images"),
                lang.textOr(kTextNote, "Personal note"),
                lang.textOr(kTextPage, "Page %s of %s")};
    s.code = c.code;
    s.name = c.name;
    s.facts = listing::shownCacheType(&lang, c.type) + " · " + listing::shownCacheSize(&lang, c.size) + " · D " +
              listing::shownRating(c.difficulty) + " / T " + listing::shownRating(c.terrain);
    s.owner = s.labels.owner + ": " + c.author;
    if (c.hidden > 0)
        s.owner += " · " + s.labels.hidden + ": " + geo::formatDate(c.hidden, datePattern);
    if (hasPosition(c)) {
        s.at = {c.lat, c.lon};
        s.coords = geo::formatCoordsIn(s.at, style);
    }
    s.hint = unixLines(c.hint);
    s.hintRot13 = geo::rot13(s.hint);

    std::set<fs::path> shown;
    appendDescription(s.description, c.text, c.shortDescHtml, mapFolder, c.code, shown);
    appendDescription(s.description, c.longDesc, c.longDescHtml, mapFolder, c.code, shown);
    for (const std::string& link : listing::imageLinksOf(listing.tags)) {
        const auto parts = net::parseImageLink(link);
        if (!parts)
            continue;
        const fs::path local = listing::localImageOf(mapFolder, c.code, parts->url);
        std::error_code ec;
        if (local.empty() || shown.count(local) || !fs::is_regular_file(local, ec))
            continue;
        shown.insert(local);
        s.pictures.push_back({local, visibleText(parts->name)});
    }

    for (const auto& w : c.waypoints) {
        Waypoint out;
        out.prefix = w->prefix;
        out.type = listing::shownWaypointType(&lang, w->type);
        out.name = w->name;
        if (hasPosition(*w)) {
            out.at = geo::LatLon{w->lat, w->lon};
            out.coords = geo::formatCoordsIn(*out.at, style);
        }
        out.note = unixLines(w->text);
        if (!w->comment.empty())
            out.note += (out.note.empty() ? "" : "\n") + unixLines(w->comment);
        s.waypoints.push_back(std::move(out));
    }
    for (const auto& log : c.logs) {
        if (s.logs.size() == kLogsOnSheet)
            break;
        s.logs.push_back({geo::formatDate(log->date, datePattern) + " · " + logTypeName(global, log->type) + " · " +
                              log->finder,
                          unixLines(listing::logPlainText(log->text))});
    }
    s.note = unixLines(c.comment);
    return s;
}

std::optional<Content> loadContent(CGlobalData& global, const std::string& code)
{
    const auto listing = listing::loadListing(global.db.cacheDb, global.db.tagCategories, code);
    if (!listing)
        return std::nullopt;
    return contentOf(global, *listing, global.paths.deviceFolder(global.settings.mapFolder));
}

} // namespace tw::sheet
