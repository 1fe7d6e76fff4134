// SPDX-License-Identifier: GPL-3.0-or-later
// The screens of a visit: the field note, the tags, the text tools and the
// field-notes export.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "app/CacheActions.h"
#include "app/FieldNotesJob.h"
#include "db/Tags.h"
#include "screens/CExportFNDlg.h"
#include "screens/CRot13Dlg.h"
#include "screens/DialogPlacement.h"
#include "screens/MainWindow.h"
#include "screens/TagsScreen.h"
#include "screens/VisitScreen.h"

#include <QDateTime>

namespace tw {
namespace {

constexpr const char* kVisitedCode = "GC4037"; // found in the sample data

// A cache with a note and a few tags of the user's, written once.
void prepareVisitedCache(CGlobalData& global)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    if (auto cache = loadCacheForEditing(global, kVisitedCode)) {
        const QDateTime visit(QDate(2024, 6, 2), QTime(10, 30));
        saveFieldNote(global, *cache, LogType::FoundIt,
                      "Found it after a short search under the bridge.\r\nThanks for the walk! TFTC",
                      static_cast<std::time_t>(visit.toSecsSinceEpoch()));
        global.list.setCurrentCache(*cache);
    }
    AddTag(global.db.cacheDb, kVisitedCode, "series", "Prague bridges");
    AddTag(global.db.cacheDb, kVisitedCode, "with kids", "yes");
    AddTag(global.db.cacheDb, "GC4000", "series", "Old town");
    global.settings.fnFile = (global.paths.documents / "fieldnotes.txt").string();
    global.settings.fnTemplate = "[N]. [T] [L]";
}

QWidget* showDialog(QDialog* dialog, TourContext& t)
{
    placeDialog(*dialog, &t.window);
    dialog->show();
    return dialog;
}

} // namespace

void addVisitStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("visit"), [](TourContext& t) -> QWidget* {
                         prepareVisitedCache(t.global);
                         t.window.pushScreen(new VisitScreen(t.global, kVisitedCode));
                         return &t.window;
                     }});
    stops.push_back({QStringLiteral("tags-edit"), [](TourContext& t) -> QWidget* {
                         prepareVisitedCache(t.global);
                         t.window.pushScreen(new TagsScreen(t.global, kVisitedCode));
                         return &t.window;
                     }});
    stops.push_back({QStringLiteral("text-tools"), [](TourContext& t) -> QWidget* {
                         auto* dialog = new CRot13Dlg(t.global, QStringLiteral("Puryn [N] mn zbfgrz"), &t.window);
                         dialog->convert(CRot13Dlg::Conversion::Rot13);
                         return showDialog(dialog, t);
                     }});
    stops.push_back({QStringLiteral("text-tools-numbers"), [](TourContext& t) -> QWidget* {
                         auto* dialog = new CRot13Dlg(t.global, QStringLiteral("4037"), &t.window);
                         dialog->convertNumber(10);
                         return showDialog(dialog, t);
                     }});
    stops.push_back({QStringLiteral("fieldnotes-export"), [](TourContext& t) -> QWidget* {
                         prepareVisitedCache(t.global);
                         return showDialog(new CExportFNDlg(t.global, &t.window), t);
                     }});
}

} // namespace tw
