// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/SearchIndexDialog.h"

#include "app/CGlobalData.h"
#include "db/Database.h"
#include "db/FullText.h"
#include "db/SqlError.h"
#include "platform/Prompter.h"
#include "screens/CProgressDlg.h"
#include "screens/LangText.h"

#include <sqlite3.h>

#include <algorithm>

namespace tw {
namespace {

constexpr int kTextQuestion = 1242;
constexpr int kTextTitle = 1243;
constexpr int kTextIndexed = 1244;
constexpr int kTextBuilt = 1245;
constexpr int kTextFailed = 1246;
constexpr int kTextOk = 967;
constexpr int kTextCancel = 968;

} // namespace

bool buildSearchIndex(QWidget* parent, CGlobalData& global, bool ask)
{
    SQLite::Database& db = global.db.cacheDb;
    if (!fulltext::Supported() || !db.opened())
        return false;
    if (fulltext::Ready(db))
        return true;
    if (ask && !global.prompter.ask(global.text(kTextQuestion), true))
        return false;

    CProgressDlg dialog(langText(global, kTextTitle), {langText(global, kTextIndexed)}, parent);
    dialog.setButtonTexts(langText(global, kTextCancel), langText(global, kTextOk));
    const std::string path = db.fileName();
    const std::string built = global.text(kTextBuilt);
    const std::string failed = global.text(kTextFailed);
    dialog.run([path, built, failed](CProgressDlg& progress) {
        // Cancelled before the worker started: nothing is touched.
        if (progress.cancelled()) {
            progress.finish(failed);
            return;
        }
        // The bar counts in thousandths, whatever the database's size.
        progress.setRange(1000);
        bool done = false;
        try {
            // The worker's own connection: the window thread keeps using its
            // own while the dialog is up.
            SQLite::Database own;
            if (own.OpenFile(path) == SQLITE_OK)
                done = fulltext::Build(own, [&progress](long long count, long long total) {
                    const long long whole = std::max(total, 1LL);
                    progress.setPosition(static_cast<int>(std::clamp(count, 0LL, whole) * 1000 / whole));
                    progress.setCounter(1, static_cast<int>(std::min(count, 0x7fffffffLL)));
                    return !progress.cancelled();
                });
        } catch (const SQLite::Error&) {
            done = false;
        }
        progress.finish(done ? built : failed);
    });
    return fulltext::Ready(db);
}

} // namespace tw
