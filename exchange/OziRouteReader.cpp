// SPDX-License-Identifier: GPL-3.0-or-later
// The tracks (PLT) and routes (RTE) of OziExplorer files.
#include "exchange/RouteReaders.h"

#include "platform/Numbers.h"

#include <array>
#include <cstdio>
#include <memory>
#include <string_view>

namespace tw::route {
namespace {

// Lines of a text file through a fixed buffer. A line longer than the
// buffer keeps its beginning (the numbers are there); so a file without a
// single line break costs no more memory than any other.
class TextLines {
public:
    explicit TextLines(const std::filesystem::path& path) : m_file(std::fopen(path.c_str(), "rb"), &std::fclose) {}
    bool isOpen() const { return m_file != nullptr; }

    // The next line without its CR LF; false at the end of the file.
    bool next(std::string_view& line)
    {
        std::size_t length = 0;
        bool any = false;
        for (int c = std::getc(m_file.get()); c != EOF; c = std::getc(m_file.get())) {
            any = true;
            if (c == '\n')
                break;
            if (length < m_line.size())
                m_line[length++] = static_cast<char>(c);
        }
        if (!any)
            return false;
        if (length > 0 && m_line[length - 1] == '\r')
            --length;
        line = std::string_view(m_line.data(), length);
        return true;
    }

private:
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> m_file;
    std::array<char, 512> m_line{};
};

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// The comma-separated fields of a line, at most N; the rest stays in the last.
template <std::size_t N>
std::size_t splitFields(std::string_view line, std::array<std::string_view, N>& fields)
{
    std::size_t n = 0;
    while (n + 1 < N) {
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos)
            break;
        fields[n++] = trimmed(line.substr(0, comma));
        line.remove_prefix(comma + 1);
    }
    fields[n++] = trimmed(line);
    return n;
}

} // namespace

bool readOziTrack(const std::filesystem::path& path, LineCollector& lines)
{
    TextLines text(path);
    if (!text.isOpen())
        return false;
    constexpr int kHeaderLines = 6;
    std::string_view line;
    for (int i = 0; i < kHeaderLines; ++i)
        if (!text.next(line))
            return true; // a header alone: no point, which the caller tells
    std::array<std::string_view, 4> fields;
    while (!lines.full() && text.next(line)) {
        if (splitFields(line, fields) < 3)
            continue;
        const auto lat = num::parseDouble(fields[0]);
        const auto lon = num::parseDouble(fields[1]);
        if (!lat || !lon)
            continue;
        if (num::leadingInt(fields[2]).value_or(0) == 1)
            lines.beginLine(); // the receiver lost the fix here: the line breaks
        lines.add(*lat, *lon);
    }
    return true;
}

bool readOziRoute(const std::filesystem::path& path, LineCollector& lines)
{
    TextLines text(path);
    if (!text.isOpen())
        return false;
    // W, route number, number in the route, number in the database, name,
    // latitude, longitude, ...
    std::array<std::string_view, 8> fields;
    std::string_view line;
    int route = 0;
    bool inRoute = false; // a W line of this route was read
    while (!lines.full() && text.next(line)) {
        const std::size_t n = splitFields(line, fields);
        if (fields[0] == "R") {
            lines.beginLine();
            inRoute = false;
            continue;
        }
        if (fields[0] != "W" || n < 7)
            continue;
        const int number = num::leadingInt(fields[1]).value_or(-1);
        if (inRoute && number != route)
            lines.beginLine(); // points of another route without its R line
        route = number;
        inRoute = true;
        const auto lat = num::parseDouble(fields[5]);
        const auto lon = num::parseDouble(fields[6]);
        if (lat && lon)
            lines.add(*lat, *lon);
    }
    return true;
}

} // namespace tw::route
