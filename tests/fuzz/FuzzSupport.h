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

// A file in the temporary folder, named after this process, holding bytes.
inline std::filesystem::path scratchFile(const char* name, const std::uint8_t* data, std::size_t size)
{
    const auto path = std::filesystem::temp_directory_path() /
                      ("tarnwick-fuzz-" + std::to_string(::getpid()) + "-" + name);
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
