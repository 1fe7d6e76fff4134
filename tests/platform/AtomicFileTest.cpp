// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AtomicFile.h"
#include "tests/TestSupport.h"

#include <sys/wait.h>
#include <unistd.h>

#include <set>

namespace tw {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public test::TempDirTest {};

// A run killed while it wrote leaves its part file; the next run removes it,
// and only it: part files of running processes and other files stay.
TEST_F(AtomicFileTest, StalePartFilesOfKilledRunsAreRemoved)
{
    const fs::path target = dir / "caches.gpx";
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        test::writeFile(partFileOf(target), "<gpx>half");
        _exit(0); // as if killed before the rename
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const fs::path killed = target.string() + ".part" + std::to_string(child);
    ASSERT_TRUE(fs::exists(killed));

    const fs::path running = partFileOf(target); // this process, still writing
    const fs::path init = target.string() + ".part1";
    for (const auto& p : {running, init, dir / "caches.gpx.part", dir / "other.gpx.part77777777",
                          dir / "caches.gpx.partial", dir / "caches.gpx.part12x"})
        test::writeFile(p, "x");
    fs::create_directories(dir / "caches.gpx.part5");

    EXPECT_EQ(removeStalePartFiles(dir, [](const std::string& name) { return name == "caches.gpx"; }), 2);
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator(dir))
        left.insert(e.path().filename().string());
    const std::set<std::string> expected{running.filename().string(), "caches.gpx.part1", "other.gpx.part77777777",
                                         "caches.gpx.partial", "caches.gpx.part12x", "caches.gpx.part5"};
    EXPECT_EQ(left, expected);
}

} // namespace
} // namespace tw
