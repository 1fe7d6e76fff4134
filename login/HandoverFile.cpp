// SPDX-License-Identifier: GPL-3.0-or-later
#include "login/HandoverFile.h"

#include "platform/AtomicFile.h"

#include <cstdlib>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace lorvik {

namespace {

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A link to a device or a FIFO in place of the file reads as no lines,
// without waiting; so does a file far larger than a hand-over file gets.
std::vector<std::string> readLines(const fs::path& path)
{
    std::vector<std::string> lines;
    const auto bytes = tw::readRegularFile(path, tw::kMaxSettingsFileBytes);
    if (!bytes)
        return lines;
    std::istringstream in(*bytes);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// "[name]" gives name; anything else nothing.
std::optional<std::string> sectionOf(const std::string& line)
{
    const std::string t = trimmed(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']')
        return std::nullopt;
    return trimmed(t.substr(1, t.size() - 2));
}

// The name of a "name = value" line; empty for other lines.
std::string nameOf(const std::string& line)
{
    const std::string t = trimmed(line);
    if (t.empty() || t[0] == ';' || t[0] == '#')
        return {};
    const auto eq = t.find('=');
    return eq == std::string::npos ? std::string() : trimmed(t.substr(0, eq));
}

} // namespace

fs::path configFolder()
{
    if (const char* dir = std::getenv("TARNWICK_CONFIG_DIR"); dir && *dir)
        return dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return fs::path(xdg) / "Tarnwick";
    const char* home = std::getenv("HOME");
    return fs::path(home ? home : ".") / ".config" / "Tarnwick";
}

std::optional<std::string> HandoverFile::value(const std::string& name, std::size_t maxBytes) const
{
    bool inSection = false;
    for (const std::string& line : readLines(m_path)) {
        if (const auto section = sectionOf(line)) {
            inSection = *section == kHandoverSection;
            continue;
        }
        if (!inSection || nameOf(line) != name)
            continue;
        std::string v = trimmed(line.substr(line.find('=') + 1));
        if (v.size() > maxBytes)
            return std::nullopt;
        return v;
    }
    return std::nullopt;
}

bool HandoverFile::setValue(const std::string& name, const std::string& value) const
{
    std::vector<std::string> lines = readLines(m_path);
    const std::string entry = name + " = " + value;
    bool inSection = false;
    bool written = false;
    std::size_t sectionEnd = lines.size(); // after the last line of the section
    bool sectionFound = false;
    for (std::size_t i = 0; i < lines.size() && !written; ++i) {
        if (const auto section = sectionOf(lines[i])) {
            inSection = *section == kHandoverSection;
            sectionFound = sectionFound || inSection;
            if (inSection)
                sectionEnd = i + 1;
            continue;
        }
        if (!inSection)
            continue;
        if (nameOf(lines[i]) == name) {
            lines[i] = entry;
            written = true;
        } else if (!trimmed(lines[i]).empty()) {
            sectionEnd = i + 1;
        }
    }
    if (!written) {
        if (sectionFound) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
        } else {
            if (!lines.empty() && !trimmed(lines.back()).empty())
                lines.emplace_back();
            lines.push_back(std::string("[") + kHandoverSection + "]");
            lines.push_back(entry);
        }
    }
    std::ostringstream out;
    for (const std::string& line : lines)
        out << line << '\n';
    return tw::writeFileAtomically(m_path, out.str(), 0600);
}

} // namespace lorvik
