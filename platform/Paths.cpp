// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tw {
namespace {

std::string env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

fs::path home()
{
    const std::string h = env("HOME");
    return h.empty() ? fs::path("/tmp") : fs::path(h);
}

fs::path xdg(const char* variable, const char* fallbackBelowHome)
{
    const std::string v = env(variable);
    // XDG says relative values are to be ignored.
    if (!v.empty() && fs::path(v).is_absolute())
        return v;
    return home() / fallbackBelowHome;
}

} // namespace

fs::path installDirFor(const fs::path& exe)
{
    const std::string overridden = env("TARNWICK_INSTALL_DIR");
    if (!overridden.empty())
        return overridden;
    const fs::path exeDir = exe.parent_path();
    // An installed program: <prefix>/bin/tarnwick reads <prefix>/share/tarnwick.
    if (exeDir.filename() == "bin") {
        const fs::path shared = exeDir.parent_path() / "share" / "tarnwick";
        std::error_code ec;
        if (fs::is_directory(shared, ec))
            return shared;
    }
    return exeDir;
}

fs::path currentExecutable(const char* argv0)
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec)
        return self;
    return fs::absolute(argv0 ? argv0 : "", ec);
}

Paths Paths::fromEnvironment(const fs::path& exe)
{
    Paths p;
    const std::string config = env("TARNWICK_CONFIG_DIR");
    p.config = !config.empty() ? fs::path(config) : xdg("XDG_CONFIG_HOME", ".config") / "Tarnwick";
    const std::string data = env("TARNWICK_DATA_DIR");
    p.data = !data.empty() ? fs::path(data) : xdg("XDG_DATA_HOME", ".local/share") / "Tarnwick";
    p.install = installDirFor(exe);
    p.documents = xdg("XDG_DOCUMENTS_DIR", "Documents");
    return p;
}

fs::path Paths::deviceFolder(const std::string& folder) const
{
    if (folder.empty() || folder == "\\" || folder == "/")
        return data;
    if (folder == "\\My Documents")
        return documents;
    return fs::path(folder);
}

namespace {

bool isPrivateFolder(const fs::path& folder)
{
    struct stat st {};
    return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

} // namespace

std::optional<fs::path> privateRuntimeFolder()
{
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime && isPrivateFolder(runtime))
        return fs::path(runtime);
    const char* tmp = std::getenv("TMPDIR");
    const fs::path folder =
        fs::path(tmp && *tmp ? tmp : "/tmp") / ("tarnwick-" + std::to_string(::getuid()));
    // An existing folder is taken only as it is: never chmod what someone
    // else may have made.
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    if (!isPrivateFolder(folder))
        return std::nullopt;
    return folder;
}

} // namespace tw
