// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace lorvik {

// The section of the hand-over file that the main program and the login
// browser share.
inline constexpr const char* kHandoverSection = "{994508FA-A8C5-C598-EE87-E8D97154F574}";

// The folder of the hand-over file: TARNWICK_CONFIG_DIR if set, else
// $XDG_CONFIG_HOME/Tarnwick, else ~/.config/Tarnwick.
std::filesystem::path configFolder();

// handover.ini: a small INI file ("name = value" lines below "[section]")
// that this program reads the ticket from and writes the token into. Other
// lines are kept as they are.
class HandoverFile {
public:
    explicit HandoverFile(std::filesystem::path path) : m_path(std::move(path)) {}

    // A value of the shared section; nothing when the file, the section or
    // the value is missing, or the value is longer than maxBytes.
    std::optional<std::string> value(const std::string& name, std::size_t maxBytes) const;
    // Sets one value of the shared section. The file is written beside its
    // place with mode 0600 and renamed over it. False when that fails.
    bool setValue(const std::string& name, const std::string& value) const;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace lorvik
