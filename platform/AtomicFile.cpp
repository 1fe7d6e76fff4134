// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tw {

bool writeFileAtomically(const fs::path& path, const std::string& bytes, unsigned mode)
{
    std::error_code ec;
    if (path.has_parent_path())
        fs::create_directories(path.parent_path(), ec);
    const fs::path temp = path.string() + ".tmp" + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    ::fchmod(fd, mode); // the umask may have taken bits away, or a stale temp file had others
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0)
            ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

bool syncFolder(const fs::path& folder)
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems (vfat on older kernels) refuse to sync a folder: EINVAL is no failure.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;
    ::close(fd);
    return ok;
}

std::optional<std::uintmax_t> freeBytes(const fs::path& path)
{
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<std::uintmax_t>(info.f_bavail) * info.f_frsize;
}

fs::path partFileOf(const fs::path& path)
{
    return path.string() + ".part" + std::to_string(::getpid());
}

int removeStalePartFiles(const fs::path& folder, const std::function<bool(const std::string& name)>& ours)
{
    int removed = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string file = it->path().filename().string();
        const std::size_t at = file.rfind(".part");
        if (at == std::string::npos || at == 0)
            continue;
        const std::string digits = file.substr(at + 5);
        if (digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (!ours(file.substr(0, at)))
            continue;
        if (!digits.empty()) {
            const pid_t pid = static_cast<pid_t>(std::stol(digits));
            // A process that still runs (or that is not ours to signal) may
            // be writing it.
            if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM)
                continue;
        }
        std::error_code gone;
        if (it->is_regular_file(gone) && fs::remove(it->path(), gone))
            ++removed;
    }
    return removed;
}

std::optional<std::string> readRegularFile(const fs::path& path, std::size_t maxBytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<std::string> bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::size_t>(st.st_size) <= maxBytes) {
        // One byte more than fstat said: a file that grows meanwhile (or a
        // kernel file that claims to be empty) is refused, not read on.
        std::string data(static_cast<std::size_t>(st.st_size) + 1, '\0');
        std::size_t done = 0;
        bool ok = true;
        while (done < data.size()) {
            const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                ok = false;
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        if (ok && done <= static_cast<std::size_t>(st.st_size)) {
            data.resize(done);
            bytes = std::move(data);
        }
    }
    ::close(fd);
    return bytes;
}

} // namespace tw
