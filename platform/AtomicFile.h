// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tw {

// Writes bytes to path through a temporary file beside it, synced and then
// renamed over it: a reader sees the old file or the whole new one, never a
// part. The file gets mode (e.g. 0600) whatever the umask says. False when
// anything failed; the old file is then unchanged and no temporary file stays.
// Plain POSIX, so the login browser builds it in as well.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& bytes, unsigned mode);

// The name under which this process writes path before renaming it into
// place: path + ".part" + the process id.
std::filesystem::path partFileOf(const std::filesystem::path& path);

// Removes the part files that runs killed while writing left in folder:
// "<name>.part<pid>" of a process that is gone, and a bare "<name>.part", for
// every name that ours() accepts. Part files of running processes stay.
// Returns how many were removed.
int removeStalePartFiles(const std::filesystem::path& folder,
                         const std::function<bool(const std::string& name)>& ours);

// Makes the names in folder (a rename into it) durable: fsync of the folder.
bool syncFolder(const std::filesystem::path& folder);

// Bytes an unprivileged writer may still put on the file system of path
// (statvfs); nothing when it cannot be asked.
std::optional<std::uintmax_t> freeBytes(const std::filesystem::path& path);

// No settings or hand-over file of ours comes near this; a larger one is
// not ours (a link to a device, a file filled by mistake).
inline constexpr std::size_t kMaxSettingsFileBytes = 4u << 20;

// The bytes of a regular file of at most maxBytes; nothing when the path
// (after its links) is not a regular file, is larger, or cannot be read.
// Never waits: a FIFO is opened without blocking and then refused.
std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::size_t maxBytes);

} // namespace tw
