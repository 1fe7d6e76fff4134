// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/DeviceVisits.h"

#include "db/Enumerations.h"
#include "exchange/FieldNotes.h"
#include "platform/AtomicFile.h"
#include "platform/Text.h"
#include "xml/Utf16.h"

#include <algorithm>
#include <cctype>

namespace tw {
namespace {

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

DeviceVisits failed(DeviceVisits::Error error, int line = 0)
{
    DeviceVisits result;
    result.error = error;
    result.errorLine = line;
    return result;
}

} // namespace

std::optional<int> deviceLogType(std::string_view name)
{
    if (sameLetters(name, "Unattempted"))
        return std::nullopt;
    // The units' own spellings beside the names our table reads.
    if (sameLetters(name, "Needs Archiving"))
        return LogType::NeedsArchived;
    if (sameLetters(name, "Webcam Photo taken"))
        return LogType::WebcamPhotoTaken;
    return logTypeFromText(name);
}

std::optional<std::string> visitsText(std::string_view bytes)
{
    const bool utf16Mark = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    // A line starts with a cache code: in UTF-16LE its first letter is
    // followed by a zero byte, which UTF-8 text never holds.
    const bool looksUtf16 = bytes.size() >= 2 && bytes[0] != '\0' && bytes[1] == '\0';
    if (utf16Mark || looksUtf16) {
        if (utf16Mark)
            bytes.remove_prefix(2);
        if (bytes.size() % 2 != 0)
            return std::nullopt;
        std::u16string units(bytes.size() / 2, u'\0');
        for (std::size_t i = 0; i < units.size(); ++i)
            units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                             static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
        return toUtf8(units);
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    // Malformed UTF-8 becomes U+FFFD, as everything we store is well formed.
    return toUtf8(toUtf16(bytes));
}

DeviceVisits parseDeviceVisits(std::string_view bytes)
{
    const auto text = visitsText(bytes);
    if (!text)
        return failed(DeviceVisits::Error::HalfCharacter);
    const FieldNoteLines lines = readFieldNoteLines(*text);
    if (lines.error == FieldNoteLines::Error::QuoteNotClosed)
        return failed(DeviceVisits::Error::QuoteNotClosed, lines.errorLine);
    if (lines.error != FieldNoteLines::Error::None)
        return failed(DeviceVisits::Error::NotAVisit, lines.errorLine);

    DeviceVisits result;
    for (const FieldNoteLine& line : lines.lines) {
        const auto when = fieldNoteUtcSeconds(line.utcTime);
        if (!when)
            return failed(DeviceVisits::Error::BadTime, line.lineNumber);
        const auto type = deviceLogType(line.logType);
        if (!type) {
            ++result.unattempted;
            continue;
        }
        DeviceVisit visit;
        visit.code = upper(line.code);
        visit.utcTime = line.utcTime.substr(0, 16) + "Z";
        visit.when = *when - *when % 60; // visits are told apart by the minute
        visit.logType = *type;
        // Notes keep CR LF line ends, as the visit screen stores them.
        visit.text = text::storedToShown(text::replaceAll(line.text, "\r\n", "\n"));
        visit.lineNumber = line.lineNumber;
        result.visits.push_back(std::move(visit));
    }
    std::stable_sort(result.visits.begin(), result.visits.end(),
                     [](const DeviceVisit& a, const DeviceVisit& b) { return a.when < b.when; });
    return result;
}

DeviceVisits readDeviceVisits(const std::filesystem::path& file)
{
    const auto bytes = readRegularFile(file, kMaxVisitsFileBytes);
    if (!bytes)
        return failed(DeviceVisits::Error::Unreadable);
    return parseDeviceVisits(*bytes);
}

} // namespace tw
