// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>

namespace tw {

// The folders the program works in. Each honours an environment override so
// that scripts and tests can run it in a folder of their own.
struct Paths {
    std::filesystem::path config;    // Tarnwick.ini, handover.ini
    std::filesystem::path data;      // default cache database, track database
    std::filesystem::path install;   // template database, language files, sounds (read only)
    std::filesystem::path documents; // Tarnwick.log, default folder of track exports

    // Resolves every folder from the environment; exe is the running program's
    // path (used to find the installation folder).
    static Paths fromEnvironment(const std::filesystem::path& exe);

    // A device path of the original layout rooted at the data folder: "" and
    // "\\" are the data folder itself, "\\My Documents" the documents folder.
    std::filesystem::path deviceFolder(const std::string& folder) const;
};

// TARNWICK_INSTALL_DIR if set; else, for a program in <prefix>/bin,
// <prefix>/share/tarnwick if it exists; else the executable's own folder
// (a build tree, where the runtime files lie beside the programs).
std::filesystem::path installDirFor(const std::filesystem::path& exe);

// A folder that only this user can enter, for sockets and other rendezvous
// points another local user must not take first: $XDG_RUNTIME_DIR when it
// is such a folder, else <$TMPDIR or /tmp>/tarnwick-<uid>, made with mode
// 0700. Nothing when neither is a real folder of ours without group or
// other access (someone else made it, or it is a link).
std::optional<std::filesystem::path> privateRuntimeFolder();

// The path of the running executable (/proc/self/exe), or argv0 as given.
std::filesystem::path currentExecutable(const char* argv0);

} // namespace tw
