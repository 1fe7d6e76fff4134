// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <functional>
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

} // namespace tw
