// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/VisitsImport.h"

#include "app/CGlobalData.h"
#include "app/CacheActions.h"
#include "app/FieldNotesJob.h"
#include "app/GpsDevices.h"
#include "db/CacheReader.h"
#include "db/Enumerations.h"
#include "db/SqlError.h"
#include "platform/Clock.h"
#include "platform/IniFile.h"
#include "platform/JobProgress.h"
#include "platform/Text.h"

#include <algorithm>
#include <map>
#include <memory>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr int kTextCounterTaken = 1286;
constexpr int kTextCounterReadBefore = 1287;
constexpr int kTextCounterUnplaced = 1288;
constexpr int kTextUnreadable = 1289;
constexpr int kTextHalfCharacter = 1290;
constexpr int kTextQuoteNotClosed = 1291;
constexpr int kTextNotAVisit = 1292;
constexpr int kTextBadTime = 1293;
constexpr int kTextTaken = 1294;
constexpr int kTextUnplaced = 1295;
constexpr int kTextListTaken = 1298;
constexpr int kTextListUnplaced = 1299;
constexpr int kTextLogTypes = 1020; // the log types as shown, 1020 to 1034

constexpr const char* kDevices = "Devices";

// The settings file as the program keeps it: the user's alone, written
// through a link the user made.
std::unique_ptr<IniFile> settingsIni(CGlobalData& global)
{
    auto ini = std::make_unique<IniFile>(global.settingsPath(), 0600, IniFile::Links::WriteThrough);
    ini->reload();
    return ini;
}

// A key of the section: "=" and line breaks cannot stand in one.
std::string keyName(const std::string& key)
{
    std::string name = key;
    for (char& c : name)
        if (c == '=' || c == '\n' || c == '\r' || c == '[' || c == ']')
            c = '_';
    return name;
}

std::string twoDigits(int n)
{
    return (n < 10 ? "0" : "") + std::to_string(n);
}

// "YYYYMMDD-HHMM" of the local time, as the note's time tag holds it.
std::string noteStamp(std::time_t when)
{
    const LocalTime t = localTime(when);
    return std::to_string(t.year * 10000 + t.month * 100 + t.day) + "-" + twoDigits(t.hour) + twoDigits(t.minute);
}

std::string shownLocalTime(std::time_t when)
{
    const LocalTime t = localTime(when);
    return std::to_string(t.year) + "-" + twoDigits(t.month) + "-" + twoDigits(t.day) + " " + twoDigits(t.hour) +
           ":" + twoDigits(t.minute);
}

// The seconds of a note's "YYYYMMDD-HHMM" in local time; 0 when it does not read.
std::time_t noteSeconds(const std::string& stamp)
{
    if (stamp.size() != 13 || stamp[8] != '-')
        return 0;
    for (std::size_t i = 0; i < stamp.size(); ++i)
        if (i != 8 && (stamp[i] < '0' || stamp[i] > '9'))
            return 0;
    const int ymd = std::stoi(stamp.substr(0, 8));
    const int hhmm = std::stoi(stamp.substr(9));
    std::tm local{};
    local.tm_year = ymd / 10000 - 1900;
    local.tm_mon = ymd / 100 % 100 - 1;
    local.tm_mday = ymd % 100;
    local.tm_hour = hhmm / 100;
    local.tm_min = hhmm % 100;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

bool holdsText(const std::string& note, const std::string& text)
{
    return text.empty() || note.find(text) != std::string::npos;
}

std::string joined(const std::string& note, const std::string& text)
{
    if (holdsText(note, text))
        return note;
    return note.empty() ? text : note + "\r\n" + text;
}

std::string errorText(const CGlobalData& global, const DeviceVisits& read, const fs::path& file)
{
    const std::string name = file.string();
    const std::string line = std::to_string(read.errorLine);
    switch (read.error) {
    case DeviceVisits::Error::None:
        return {};
    case DeviceVisits::Error::Unreadable:
        return text::fillIn(global.lang.textOr(kTextUnreadable, "%s could not be read: it is missing, is no regular "
                                                                "file or is larger than 4 MiB."),
                            {name});
    case DeviceVisits::Error::HalfCharacter:
        return text::fillIn(global.lang.textOr(kTextHalfCharacter, "%s is damaged: its UTF-16 text ends in half a "
                                                                   "character. No visit was taken."),
                            {name});
    case DeviceVisits::Error::QuoteNotClosed:
        return text::fillIn(global.lang.textOr(kTextQuoteNotClosed, "%s is damaged: the text of the visit in line "
                                                                    "%s is not closed by a quote. No visit was taken."),
                            {name, line});
    case DeviceVisits::Error::NotAVisit:
        return text::fillIn(global.lang.textOr(kTextNotAVisit, "%s is damaged: line %s is no visit (code, time, log "
                                                               "type, text). No visit was taken."),
                            {name, line});
    case DeviceVisits::Error::BadTime:
        return text::fillIn(global.lang.textOr(kTextBadTime, "%s is damaged: line %s has no time of the form "
                                                             "2024-05-18T09:15Z. No visit was taken."),
                            {name, line});
    }
    return {};
}

VisitsSource sourceOf(const gpsdevice::Device& device)
{
    VisitsSource source;
    source.file = fs::path(device.root) / kVisitsFilePath;
    // A unit whose id does not read is known by its volume's folder.
    source.key = device.id.empty() ? "file:" + source.file.string() : "id:" + device.id;
    source.name = device.model.empty() ? device.root : device.model;
    return source;
}

} // namespace

std::optional<VisitsSource> visitsSourceAt(const std::string& place)
{
    if (const auto device = gpsdevice::DeviceAt(place))
        return sourceOf(*device);
    std::error_code ec;
    if (!fs::is_regular_file(place, ec))
        return std::nullopt;
    VisitsSource source;
    source.file = fs::absolute(place, ec);
    if (ec)
        source.file = place;
    source.key = "file:" + source.file.lexically_normal().string();
    source.name = source.file.string();
    return source;
}

std::vector<VisitsSource> devicesWithVisits(CGlobalData& global)
{
    const std::string configured = settingsIni(global)->getString("Options", "GpsDeviceFolder").value_or("");
    std::vector<VisitsSource> sources;
    for (const auto& device : gpsdevice::FindDevices(configured)) {
        VisitsSource source = sourceOf(device);
        std::error_code ec;
        if (fs::is_regular_file(source.file, ec))
            sources.push_back(std::move(source));
    }
    return sources;
}

std::string rememberedVisitTime(CGlobalData& global, const std::string& key)
{
    return settingsIni(global)->getString(kDevices, keyName(key)).value_or("");
}

void rememberVisitTime(CGlobalData& global, const std::string& key, const std::string& utcTime)
{
    const auto ini = settingsIni(global);
    ini->setString(kDevices, keyName(key), utcTime);
    ini->save();
}

int newVisitCount(CGlobalData& global, const VisitsSource& source)
{
    const DeviceVisits read = readDeviceVisits(source.file);
    const std::string remembered = rememberedVisitTime(global, source.key);
    // "YYYY-MM-DDTHH:MMZ" sorts as the times do.
    return static_cast<int>(std::count_if(read.visits.begin(), read.visits.end(),
                                          [&](const DeviceVisit& v) { return v.utcTime > remembered; }));
}

VisitsSummary importVisits(CGlobalData& global, const VisitsSource& source, JobProgress* progress)
{
    VisitsSummary summary;
    const DeviceVisits read = readDeviceVisits(source.file);
    summary.error = errorText(global, read, source.file);
    summary.unattempted = read.unattempted;
    if (!summary.error.empty() || !global.db.cacheDb.IsAvailable()) {
        if (progress)
            progress->finish(summary.error);
        return summary;
    }
    const std::string remembered = rememberedVisitTime(global, source.key);
    if (progress) {
        progress->setText(1, source.name);
        progress->setRange(static_cast<int>(read.visits.size()));
    }
    std::map<std::string, std::optional<CGeocache>> caches;
    std::string newest = remembered;
    int position = 0;
    for (const DeviceVisit& visit : read.visits) {
        if (progress)
            progress->setPosition(++position);
        newest = std::max(newest, visit.utcTime);
        // Visits of the minute remembered may be new: the same-visit test decides.
        if (visit.utcTime < remembered) {
            ++summary.readBefore;
            continue;
        }
        auto it = caches.find(visit.code);
        if (it == caches.end())
            it = caches.emplace(visit.code, LoadCacheByCode(global.db.cacheDb, visit.code)).first;
        if (!it->second || visit.code == "GC0") {
            summary.unplaced.push_back(visit);
            continue;
        }
        CGeocache& cache = *it->second;
        bool stored = false;
        try {
            if (!ensureCacheDetails(global, cache)) {
                ++summary.failed;
                continue;
            }
            const std::string stamp = noteStamp(visit.when);
            const bool hasNote = cache.fieldNoteTimeTag != 0 || !cache.fieldNoteTime.empty();
            const std::time_t noteTime = hasNote ? noteSeconds(cache.fieldNoteTime) : 0;
            if (hasNote && stamp == cache.fieldNoteTime && visit.logType == cache.fieldNoteType) {
                ++summary.readBefore; // this very visit made the note
                continue;
            }
            if (hasNote && noteTime > visit.when) {
                // The note speaks for a later visit: only a text it lacks joins it.
                if (holdsText(cache.fieldNoteText, visit.text)) {
                    ++summary.readBefore;
                    continue;
                }
                stored = saveFieldNote(global, cache, cache.fieldNoteType, joined(cache.fieldNoteText, visit.text),
                                       noteTime);
            } else {
                stored = saveFieldNote(global, cache, visit.logType,
                                       joined(hasNote ? cache.fieldNoteText : std::string(), visit.text), visit.when);
            }
        } catch (const SQLite::Error&) {
            stored = false;
        }
        if (stored)
            summary.taken.push_back(visit);
        else
            ++summary.failed;
        if (progress) {
            progress->setCounter(1, static_cast<int>(summary.taken.size()));
            progress->setCounter(2, summary.readBefore);
        }
    }
    if (progress) {
        progress->setCounter(2, summary.readBefore);
        progress->setCounter(3, static_cast<int>(summary.unplaced.size()));
    }
    // A visit the database refused is read again next time.
    if (summary.failed == 0 && newest != remembered)
        rememberVisitTime(global, source.key, newest);
    if (progress)
        progress->finish(visitsCompletionText(global, summary));
    return summary;
}

std::string visitsCompletionText(const CGlobalData& global, const VisitsSummary& summary)
{
    if (!summary.error.empty())
        return summary.error;
    std::string text = text::fillIn(global.lang.textOr(kTextTaken, "Visits taken as field notes: %s. Read before: %s."),
                                    {std::to_string(summary.taken.size()), std::to_string(summary.readBefore)});
    if (!summary.unplaced.empty()) {
        std::string codes;
        for (const auto& visit : summary.unplaced)
            if (codes.find(visit.code) == std::string::npos)
                codes += (codes.empty() ? "" : ", ") + visit.code;
        text += " " + text::fillIn(global.lang.textOr(kTextUnplaced, "Visits of caches that are not in the database "
                                                                     "were not taken: %s."),
                                   {codes});
    }
    return text;
}

std::vector<std::string> visitsListing(const CGlobalData& global, const VisitsSummary& summary)
{
    std::vector<std::string> lines;
    auto add = [&](int number, const char* fallback, const DeviceVisit& visit) {
        lines.push_back(text::fillIn(global.lang.textOr(number, fallback),
                                     {visit.code + ", " + global.lang.textOr(kTextLogTypes + visit.logType, logTypeText(visit.logType)) + ", " +
                                      shownLocalTime(visit.when)}));
    };
    for (const auto& visit : summary.taken)
        add(kTextListTaken, "taken: %s", visit);
    for (const auto& visit : summary.unplaced)
        add(kTextListUnplaced, "not in the database: %s", visit);
    return lines;
}

std::vector<std::string> visitsCounterNames(const CGlobalData& global)
{
    return {global.lang.textOr(kTextCounterTaken, "Taken"), global.lang.textOr(kTextCounterReadBefore, "Read before"),
            global.lang.textOr(kTextCounterUnplaced, "Not in the database"), ""};
}

} // namespace tw
