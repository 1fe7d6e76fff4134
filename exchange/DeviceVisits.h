// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The visits a handheld GPS records in Garmin/geocache_visits.txt: one
// field-notes line per visit, in UTF-16LE (the units write it with or
// without a byte-order mark; UTF-8 is read as well).

// Larger files are no visits file: a unit keeps a few hundred lines.
inline constexpr std::size_t kMaxVisitsFileBytes = 4u << 20;

struct DeviceVisit {
    std::string code;     // upper case
    std::string utcTime;  // "YYYY-MM-DDTHH:MMZ", as the unit wrote it
    std::time_t when = 0; // the same, in seconds since 1970
    int logType = 0;      // db/Enumerations.h
    std::string text;     // UTF-8, CR LF line ends
    int lineNumber = 0;
};

struct DeviceVisits {
    enum class Error {
        None,
        Unreadable,     // missing, not a regular file, too large, unreadable
        HalfCharacter,  // UTF-16 text of an odd number of bytes
        QuoteNotClosed, // a text opened by a quote runs to the end of the file
        NotAVisit,      // a line that is not CODE,TIME,TYPE,"text"
        BadTime,        // a time that is not YYYY-MM-DDTHH:MMZ
    };
    // Oldest first; visits of the same minute keep the order of the file.
    std::vector<DeviceVisit> visits;
    // Caches the user only looked at on the unit: no visit.
    int unattempted = 0;
    Error error = Error::None;
    int errorLine = 0;
};

// The unit's name of a log type as ours; nothing for "Unattempted", which
// records no visit. Other unknown names read as a note.
std::optional<int> deviceLogType(std::string_view name);

// The text of the file's bytes as UTF-8: UTF-16LE after its byte-order mark
// or, without one, when the bytes look like it (every second byte zero in the
// first line); UTF-8 otherwise, after its byte-order mark. Nothing for
// UTF-16 of an odd number of bytes.
std::optional<std::string> visitsText(std::string_view bytes);

// The visits of a file's bytes. On any error no visit is given.
DeviceVisits parseDeviceVisits(std::string_view bytes);
// The visits of a file (a regular file of at most kMaxVisitsFileBytes).
DeviceVisits readDeviceVisits(const std::filesystem::path& file);

} // namespace tw
