// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniFile.h"

#include "platform/AtomicFile.h"
#include "platform/Numbers.h"

#include <SimpleIni.h>


namespace fs = std::filesystem;

namespace tw {
namespace {

bool needsQuotes(const std::string& value)
{
    if (value.empty())
        return false;
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (value.front() == '"' || blank(value.front()) || blank(value.back()))
        return true;
    for (const char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return true;
    return false;
}

std::string quoted(const std::string& value)
{
    static const char digits[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20 || u == 0x7f) {
                out += "\\x";
                out += digits[u >> 4];
                out += digits[u & 15];
            } else {
                out += c;
            }
        }
    }
    return out + '"';
}

// The text of a quoted value; nothing when the value is not one, so that it
// reads as it stands.
std::optional<std::string> unquoted(const std::string& stored)
{
    if (stored.size() < 2 || stored.front() != '"' || stored.back() != '"')
        return std::nullopt;
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    const std::size_t end = stored.size() - 1;
    for (std::size_t i = 1; i < end; ++i) {
        const char c = stored[i];
        if (c == '"')
            return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= end)
            return std::nullopt;
        switch (stored[i]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            const int hi = i + 1 < end ? hex(stored[i + 1]) : -1;
            const int lo = i + 2 < end ? hex(stored[i + 2]) : -1;
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

// Where a save writes: the file a link points to, when that is a regular
// file or not there yet, so that the user's link stays; the path itself
// otherwise (a link to a device or a FIFO is replaced by the file).
fs::path writeTarget(const fs::path& path)
{
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec)))
        return path;
    const fs::path target = fs::weakly_canonical(path, ec);
    if (ec)
        return path;
    const fs::file_status status = fs::status(target, ec);
    if (fs::is_regular_file(status) || status.type() == fs::file_type::not_found)
        return target;
    return path;
}

} // namespace

struct IniFile::Impl {
    CSimpleIniA ini{true, false, false}; // UTF-8, single keys, no multi-line values
};

IniFile::IniFile(fs::path path, unsigned mode, Links links)
    : m_path(std::move(path)), m_mode(mode), m_links(links), m_impl(std::make_unique<Impl>())
{
    reload();
}

IniFile::~IniFile() = default;

void IniFile::reload()
{
    m_impl->ini.Reset();
    // A link to a device or a FIFO in place of the file reads as empty.
    const auto bytes = readRegularFile(m_path, kMaxSettingsFileBytes);
    if (!bytes)
        return;
    if (m_impl->ini.LoadData(bytes->data(), bytes->size()) < 0)
        m_impl->ini.Reset();
}

bool IniFile::save()
{
    std::string out;
    if (m_impl->ini.Save(out) < 0)
        return false;
    return writeFileAtomically(m_links == Links::WriteThrough ? writeTarget(m_path) : m_path, out, m_mode);
}

bool IniFile::contains(const std::string& section, const std::string& name) const
{
    return m_impl->ini.GetValue(section.c_str(), name.c_str(), nullptr) != nullptr;
}

std::optional<std::string> IniFile::getString(const std::string& section, const std::string& name) const
{
    const char* v = m_impl->ini.GetValue(section.c_str(), name.c_str(), nullptr);
    if (!v)
        return std::nullopt;
    std::string stored(v);
    if (auto text = unquoted(stored))
        return text;
    return stored;
}

std::optional<std::int32_t> IniFile::getInt(const std::string& section, const std::string& name) const
{
    const auto text = getString(section, name);
    if (!text)
        return std::nullopt;
    const auto value = num::parseInt(*text);
    if (!value || *value < INT32_MIN || *value > static_cast<std::int64_t>(UINT32_MAX))
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
}

std::optional<std::vector<std::uint8_t>> IniFile::getBinary(const std::string& section,
                                                            const std::string& name) const
{
    const auto text = getString(section, name);
    if (!text || text->size() % 2 != 0)
        return std::nullopt;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < text->size(); i += 2) {
        const int hi = nibble((*text)[i]);
        const int lo = nibble((*text)[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

void IniFile::setString(const std::string& section, const std::string& name, const std::string& value)
{
    const std::string stored = needsQuotes(value) ? quoted(value) : value;
    m_impl->ini.SetValue(section.c_str(), name.c_str(), stored.c_str());
}

void IniFile::setInt(const std::string& section, const std::string& name, std::int32_t value)
{
    setString(section, name, std::to_string(value));
}

void IniFile::setBinary(const std::string& section, const std::string& name,
                        const std::vector<std::uint8_t>& value)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : value) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    setString(section, name, text);
}

} // namespace tw
