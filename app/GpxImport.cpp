// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GpxImport.h"

#include "app/CGlobalData.h"
#include "db/CacheStore.h"
#include "db/Tags.h"
#include "exchange/CGpxImporter.h"
#include "exchange/CacheImportStore.h"
#include "exchange/ImportFiles.h"
#include "platform/JobProgress.h"
#include "platform/Text.h"

#include <new>

namespace tw {
namespace {

constexpr int kTextDone = 252;
constexpr int kTextTruncated = 260;
constexpr int kTextCancelled = 261;
constexpr int kTextStoreStopped = 267;
constexpr int kTextStoreFailed = 268;
constexpr int kTextNotCaches = 1171;
constexpr int kTextAlreadyThere = 1172;
constexpr int kTextNoDatabase = 951;
constexpr int kTextOutOfMemory = 953;

std::string importOutcomeText(const CGlobalData& global, const ImportSummary& s)
{
    if (s.stopped || s.failed > 0) {
        std::string text = global.text(s.stopped ? kTextStoreStopped : kTextStoreFailed);
        text = text::replaceAll(text, "%d", std::to_string(s.failed));
        return text::replaceAll(text, "%s", s.storeError);
    }
    if (s.cancelled)
        return global.text(kTextCancelled);
    if (!s.unreadable.empty()) {
        std::string text;
        for (const std::string& sentence : s.unreadable)
            text += (text.empty() ? "" : " ") + sentence;
        return text;
    }
    if (!s.complete)
        return global.text(kTextTruncated);
    return global.text(kTextDone);
}

} // namespace

void clearImportMarker(CGlobalData& global)
{
    DeleteTagsOfCategory(global.db.cacheDb, global.db.tagCategories.lastImport);
}

ImportSummary importGpx(CGlobalData& global, const std::filesystem::path& path, JobProgress* progress,
                        const std::atomic<bool>* cancel)
{
    ImportSummary summary;
    if (!global.db.cacheDb.IsAvailable()) {
        summary.error = global.lang.textOr(kTextNoDatabase, "No database available");
        return summary;
    }
    summary.error = global.db.cacheDbProblem();
    if (!summary.error.empty())
        return summary;
    auto documents = ImportDocuments::open(path, global.lang, &summary.error);
    if (!documents)
        return summary;

    CacheStore store(global.db.cacheDb, global.db.tagCategories, global.settings.impOnlyNew);
    CacheImportStore sink(store, global.db.cacheDb);
    CGpxImporter importer(sink, global.settings.nickname);
    importer.watchCancelFlag(cancel);
    importer.setPipelined(true);
    global.Log("BEGIN: GPX import ", path.string());
    summary.unreadable = documents->unreadable();
    summary.complete = summary.unreadable.empty();
    try {
        for (const auto& doc : documents->documents()) {
            if (progress)
                progress->setText(1, doc.name);
            // A file that is no GPX file at all is refused with what it is.
            if (std::string notGpx = documents->notGpx(doc); !notGpx.empty()) {
                summary.unreadable.push_back(std::move(notGpx));
                summary.complete = false;
                continue;
            }
            std::string problem;
            const auto source = documents->read(doc, &problem);
            const CGpxImporter::Outcome outcome = importer.parse(*source, progress);
            if (!problem.empty())
                summary.unreadable.push_back(problem);
            if (outcome == CGpxImporter::Outcome::Cancelled || outcome == CGpxImporter::Outcome::Failed) {
                summary.cancelled = outcome == CGpxImporter::Outcome::Cancelled;
                summary.stopped = outcome == CGpxImporter::Outcome::Failed;
                summary.complete = false;
                break;
            }
            if (outcome == CGpxImporter::Outcome::Truncated || !problem.empty())
                summary.complete = false;
        }
    } catch (const std::bad_alloc&) {
        summary.error = text::fillIn(
            global.lang.textOr(kTextOutOfMemory,
                               "There was not enough memory to import %s; what was read up to there has been stored."),
            {path.string()});
        summary.complete = false;
    }
    sink.finish();
    summary.newCaches = importer.newCaches();
    summary.waypoints = importer.waypoints();
    summary.skipped = importer.skipped();
    summary.notCaches = importer.notCaches();
    summary.updated = importer.updated();
    summary.failed = importer.failed();
    summary.storeError = importer.storeError();
    global.Log("END: GPX import ", path.string());
    global.db.ReadDbCounters();
    return summary;
}

std::string importCompletionText(const CGlobalData& global, const ImportSummary& s)
{
    if (!s.error.empty())
        return s.error;
    std::string text = importOutcomeText(global, s);
    // What was left out, each kind on its own: no geocache is not a cache
    // already there, and neither is an entry that could not be stored.
    const auto add = [&](int number, int count) {
        if (count > 0)
            text += " " + text::replaceAll(global.text(number), "%d", std::to_string(count));
    };
    add(kTextNotCaches, s.notCaches);
    add(kTextAlreadyThere, s.skipped);
    return text;
}

} // namespace tw
