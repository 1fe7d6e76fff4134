// SPDX-License-Identifier: GPL-3.0-or-later
// What the fuzz targets share: a scratch file per process for the readers
// that take a path, and services that record nothing.
#pragma once

#include "platform/Notifier.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace tw::fuzz {

// Where scratch files go: memory-backed when the system has such a folder,
// so that a reader that syncs its file does not wait for a disk each run.
inline const std::filesystem::path& scratchFolder()
{
    static const std::filesystem::path folder = [] {
        std::error_code ec;
        if (std::filesystem::is_directory("/dev/shm", ec))
            return std::filesystem::path("/dev/shm");
        return std::filesystem::temp_directory_path();
    }();
    return folder;
}

// A file in the scratch folder, named after this process, holding bytes.
inline std::filesystem::path scratchFile(const char* name, const std::uint8_t* data, std::size_t size)
{
    const auto path = scratchFolder() / ("tarnwick-fuzz-" + std::to_string(::getpid()) + "-" + name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

class NullNotifier final : public Notifier {
public:
    void stateChanged(Topic) override {}
    void downloadProgress(int) override {}
};

} // namespace tw::fuzz
