// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tw::test {

// A real disk that fills up: a small tmpfs, mounted in a mount namespace of
// the test process's own so that nobody else sees it. Needs root.
class SmallDisk {
public:
    SmallDisk() = default;
    ~SmallDisk() { unmount(); }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    // Mounts bytes of room on folder (made when missing). Empty when done,
    // otherwise why not: the test is then skipped.
    std::string mount(const std::filesystem::path& folder, std::uintmax_t bytes);
    void unmount();
    // Takes every free byte of the disk, and gives it back.
    void fill();
    void makeRoom();
    static constexpr const char* kFiller = "filler";

private:
    std::filesystem::path m_folder;
    bool m_mounted = false;
};

} // namespace tw::test
