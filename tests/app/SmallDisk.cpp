// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/app/SmallDisk.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace tw::test {

std::string SmallDisk::mount(const std::filesystem::path& folder, std::uintmax_t bytes)
{
    m_folder = folder;
    std::filesystem::create_directories(folder);
    if (::unshare(CLONE_NEWNS) != 0)
        return std::string("no mount namespace of our own (") + std::strerror(errno) + "): needs root";
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return std::string("mounts cannot be made private (") + std::strerror(errno) + ")";
    const std::string size = "size=" + std::to_string(bytes);
    if (::mount("tarnwick-test", folder.c_str(), "tmpfs", 0, size.c_str()) != 0)
        return std::string("no tmpfs can be mounted (") + std::strerror(errno) + ")";
    m_mounted = true;
    return {};
}

void SmallDisk::unmount()
{
    if (m_mounted)
        ::umount2(m_folder.c_str(), MNT_DETACH);
    m_mounted = false;
}

void SmallDisk::fill()
{
    std::ofstream out(m_folder / kFiller, std::ios::binary);
    const std::string block(4096, 'x');
    while (out.write(block.data(), block.size()))
        ;
}

void SmallDisk::makeRoom()
{
    std::filesystem::remove(m_folder / kFiller);
}

} // namespace tw::test
