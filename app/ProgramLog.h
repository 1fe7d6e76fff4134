// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

namespace tw {

// The program's log file. Lines are written only while the file exists:
// creating it switches logging on, deleting it off again.
class ProgramLog {
public:
    explicit ProgramLog(std::filesystem::path file) : m_file(std::move(file)) {}

    const std::filesystem::path& file() const { return m_file; }
    // Appends a time-stamped line of both texts.
    void write(const std::string& text1, const std::string& text2 = {}) const;

private:
    std::filesystem::path m_file;
};

} // namespace tw
