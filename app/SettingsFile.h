// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Settings.h"
#include "platform/IniFile.h"

#include <filesystem>

namespace tw {

// The settings file: the settings groups in the section "Options" (the
// online counters in "State"), beside the sections the cache list and the
// program keep in it. Every use reads the file from disk again, so that a
// second program on the same file loses nothing it wrote.
class SettingsFile {
public:
    // The access token lives in the hand-over file, which the login writes.
    SettingsFile(std::filesystem::path file, std::filesystem::path handover, Settings& settings);
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Reads the groups in mask into the settings; a value that is absent
    // keeps the one in memory (absent track export switches are off).
    void load(int mask);
    // Writes the groups in mask and saves the file.
    void save(int mask);
    // The file as it is on disk now, for a section of its own; whoever
    // changes it saves it.
    IniFile& reloaded();

private:
    IniFile m_file;
    std::filesystem::path m_handover;
    Settings& m_settings;
};

} // namespace tw
