// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/SheetContent.h"

#include <QImage>
#include <QPageSize>
#include <QPointF>
#include <QString>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;
class QPaintDevice;

namespace tw {

class AstralText;
class CGlobalData;
class JobProgress;
class MapSnapshot;

// The paper of the setting SheetPaper: 1 A4, 2 Letter, anything else the
// paper of the user's region (Letter in the United States and Canada, A4
// elsewhere).
QPageSize sheetPageSize(int setting);

// The small map of a sheet: the tiles around the cache and its waypoints,
// and where each of them lies on the picture.
struct SheetMap {
    QImage image;
    struct Mark {
        QPointF at;   // pixels of the image
        QString label; // the cache code or the waypoint's prefix
        bool cache = false;
    };
    std::vector<Mark> marks;
};

// The map of a sheet of this many pixels from the snapshot's source; a null
// image when the source has no tile there or the cache has no position.
SheetMap sheetMapOf(MapSnapshot& map, const sheet::Content& content, QSize sizePx);

// One cache's sheet laid out on the pages of a paint device (a PDF writer,
// an image): a header with code and name on every page, the page number at
// its foot; lines are never cut by a page break, and a heading is never the
// last line of a page. Sizes are in millimetres of the device's resolution.
class CacheSheet {
public:
    // pageSizeMm: the paper; the margins are the sheet's own. astral, when
    // given, makes emoji and the other characters beyond U+FFFF searchable
    // in a PDF (see PdfAstralText.h).
    CacheSheet(const sheet::Content& content, const SheetMap& map, QPaintDevice& device, QSizeF pageSizeMm,
               AstralText* astral = nullptr);
    ~CacheSheet();
    CacheSheet(const CacheSheet&) = delete;
    CacheSheet& operator=(const CacheSheet&) = delete;

    int pageCount() const;
    // Paints page (from 0) with the painter's origin at the paper's corner.
    void paintPage(QPainter& painter, int page) const;

    // The map's size in pixels of a device with this resolution (dots per
    // inch), for sheetMapOf.
    static QSize mapSizePx(QSizeF pageSizeMm, int dpi);

private:
    struct Layout;
    std::unique_ptr<Layout> m_layout;
};

struct SheetSummary {
    bool written = false; // the whole file is in place
    int sheets = 0;       // caches with a sheet in the file
    int maps = 0;         // of those, the sheets with a map
    bool cancelled = false;
    std::string error;    // why no file was written; empty otherwise
};

// Writes one sheet per cache (each from a new page) into a PDF file on the
// paper of the options, with maps from the current map source where it has
// tiles. Runs on the calling thread; progress may be null, cancel is read
// before each cache. A code that is not in the database is passed over. The
// file is written under a temporary name and renamed when whole: a cancel or
// a failure leaves no file and an existing one as it was.
SheetSummary writeCacheSheets(CGlobalData& global, const std::vector<std::string>& codes,
                              const std::filesystem::path& file, JobProgress* progress,
                              const std::atomic<bool>* cancel);

// The sentence a finished write ends with: how many sheets went where, or
// why none were written.
std::string sheetCompletionText(const CGlobalData& global, const SheetSummary& summary,
                                const std::filesystem::path& file);

// The batch word "pdf": which is a cache code or "all" (every cache of the
// saved filter). Messages go to err; false when nothing was written.
bool writeSheetsInBatch(CGlobalData& global, const std::string& which, const std::string& file, std::FILE* err);

} // namespace tw
