// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// A settings file in INI form: one section per group of values, integers in
// decimal, strings as text, binary values in hex. Reads never fail: a value
// that is missing or does not read as its type gives the caller's default.
// save() writes a temporary file beside the target and renames it over the
// target, so a crash leaves either the old or the new file, never half of one.
//
// Strings survive a round trip whatever they hold. A line of the file can
// carry neither a line break nor blanks at either end of its value, so a
// string that has any of these (or a control character, or that starts with
// a double quote) is written in double quotes with backslash escapes: \n \r
// \t \\ \" and \xHH for other control characters. A stored value that does
// not start with a double quote, or that is not a well-formed quoted string,
// reads as it stands, as files written before the quoting do.
//
// Only a regular file of up to kMaxSettingsFileBytes is read; anything else
// in its place (a link to a device, a FIFO) reads as empty, without waiting.
class IniFile {
public:
    // What a save does when the path is a symbolic link: replace the link by
    // the file (a secret never goes where a link points), or write the file
    // the link points to, atomically beside it, so the user's link stays.
    enum class Links { Replace, WriteThrough };

    // mode: permission bits of the written file (0600 for secrets).
    explicit IniFile(std::filesystem::path path, unsigned mode = 0644, Links links = Links::Replace);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Reads the file again; a missing or unreadable file reads as empty.
    void reload();
    bool save();

    const std::filesystem::path& path() const { return m_path; }

    bool contains(const std::string& section, const std::string& name) const;
    std::optional<std::string> getString(const std::string& section, const std::string& name) const;
    // Decimal integers in the range of a 32-bit register value: values from
    // 2^31 to 2^32-1 read as the negative number with the same bits.
    std::optional<std::int32_t> getInt(const std::string& section, const std::string& name) const;
    std::optional<std::vector<std::uint8_t>> getBinary(const std::string& section,
                                                       const std::string& name) const;

    void setString(const std::string& section, const std::string& name, const std::string& value);
    void setInt(const std::string& section, const std::string& name, std::int32_t value);
    void setBinary(const std::string& section, const std::string& name,
                   const std::vector<std::uint8_t>& value);

private:
    struct Impl;
    std::filesystem::path m_path;
    unsigned m_mode;
    Links m_links;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tw
