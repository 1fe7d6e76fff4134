// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/RouteLoader.h"

#include "exchange/RouteReaders.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace tw {

namespace route {

bool LineCollector::add(double latDeg, double lonDeg)
{
    if (full())
        return false;
    if (!std::isfinite(latDeg) || !std::isfinite(lonDeg) || std::fabs(latDeg) > 90.0 || std::fabs(lonDeg) > 180.0)
        return true;
    if (m_newLine || m_lines.empty())
        m_lines.emplace_back();
    m_newLine = false;
    m_lines.back().push_back({latDeg, lonDeg});
    ++m_count;
    return !full();
}

RouteLines LineCollector::take()
{
    for (auto& line : m_lines)
        line.shrink_to_fit();
    m_count = 0;
    m_newLine = true;
    return std::move(m_lines);
}

} // namespace route

namespace {

enum class Format { Unknown, Xml, OziTrack, OziRoute };

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// What the first bytes say: markup (in UTF-8 or UTF-16, after a byte-order
// mark and blanks) or an OziExplorer header line. Files renamed by hand, or
// saved by a program that gave them no extension, read all the same.
Format formatOfContent(const std::filesystem::path& path)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return Format::Unknown;
    std::array<char, 256> head{};
    const std::size_t n = std::fread(head.data(), 1, head.size(), file.get());
    std::string_view text(head.data(), n);
    for (std::string_view mark : {std::string_view("\xEF\xBB\xBF"), std::string_view("\xFF\xFE"),
                                  std::string_view("\xFE\xFF")})
        if (text.starts_with(mark)) {
            text.remove_prefix(mark.size());
            break;
        }
    // Blanks, and the zero bytes of UTF-16 text.
    std::size_t at = 0;
    while (at < text.size() && (text[at] == '\0' || std::isspace(static_cast<unsigned char>(text[at]))))
        ++at;
    text.remove_prefix(at);
    if (text.starts_with('<'))
        return Format::Xml;
    if (startsWithNoCase(text, "OziExplorer Track Point File"))
        return Format::OziTrack;
    if (startsWithNoCase(text, "OziExplorer Route File"))
        return Format::OziRoute;
    return Format::Unknown;
}

Format formatOfExtension(const std::filesystem::path& path)
{
    std::string ext = path.extension().string();
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".plt")
        return Format::OziTrack;
    if (ext == ".rte")
        return Format::OziRoute;
    return Format::Unknown;
}

} // namespace

std::optional<RouteLines> loadRouteFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    Format format = formatOfContent(path);
    if (format == Format::Unknown)
        format = formatOfExtension(path);
    route::LineCollector lines;
    bool read = false;
    switch (format) {
    case Format::Xml:
        read = route::readXmlRoutes(path, lines);
        break;
    case Format::OziTrack:
        read = route::readOziTrack(path, lines);
        break;
    case Format::OziRoute:
        read = route::readOziRoute(path, lines);
        break;
    case Format::Unknown:
        break;
    }
    if (!read || lines.empty())
        return std::nullopt;
    return lines.take();
}

} // namespace tw
