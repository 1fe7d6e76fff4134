// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace tw {

// Writes bytes to path through a temporary file beside it, synced and then
// renamed over it: a reader sees the old file or the whole new one, never a
// part. The file gets mode (e.g. 0600) whatever the umask says. False when
// anything failed; the old file is then unchanged and no temporary file stays.
// Plain POSIX, so the login browser builds it in as well.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& bytes, unsigned mode);

// No settings or hand-over file of ours comes near this; a larger one is
// not ours (a link to a device, a file filled by mistake).
inline constexpr std::size_t kMaxSettingsFileBytes = 4u << 20;

// The bytes of a regular file of at most maxBytes; nothing when the path
// (after its links) is not a regular file, is larger, or cannot be read.
// Never waits: a FIFO is opened without blocking and then refused.
std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

} // namespace tw
