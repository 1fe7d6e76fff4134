// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

namespace tw {

// Writes bytes to path through a temporary file beside it, synced and then
// renamed over it: a reader sees the old file or the whole new one, never a
// part. The file gets mode (e.g. 0600) whatever the umask says. False when
// anything failed; the old file is then unchanged and no temporary file stays.
// Plain POSIX, so the login browser builds it in as well.
bool writeFileAtomically(const std::filesystem::path& path, const std::string& bytes, unsigned mode);

} // namespace tw
