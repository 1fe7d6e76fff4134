// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Paths.h"
#include "tests/TestSupport.h"

#include <cstdlib>

namespace tw {
namespace {

namespace fs = std::filesystem;

class InstallDirTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        if (const char* v = std::getenv("TARNWICK_INSTALL_DIR"))
            saved = v;
        ::unsetenv("TARNWICK_INSTALL_DIR");
    }
    void TearDown() override
    {
        if (!saved.empty())
            ::setenv("TARNWICK_INSTALL_DIR", saved.c_str(), 1);
        TempDirTest::TearDown();
    }
    std::string saved;
};

TEST_F(InstallDirTest, InstalledProgramReadsShareBuildTreeReadsItsOwnFolder)
{
    fs::create_directories(dir / "usr" / "bin");
    fs::create_directories(dir / "usr" / "share" / "tarnwick");
    EXPECT_EQ(installDirFor(dir / "usr" / "bin" / "tarnwick"), dir / "usr" / "share" / "tarnwick");

    // A build tree: the runtime files lie beside the program, no share/ folder.
    fs::create_directories(dir / "build" / "bin");
    EXPECT_EQ(installDirFor(dir / "build" / "bin" / "tarnwick"), dir / "build" / "bin");

    // Only a bin/ folder points at share/: elsewhere the program's folder is it.
    fs::create_directories(dir / "opt" / "tools");
    fs::create_directories(dir / "opt" / "share" / "tarnwick");
    EXPECT_EQ(installDirFor(dir / "opt" / "tools" / "tarnwick"), dir / "opt" / "tools");
}

TEST_F(InstallDirTest, EnvironmentOverridesTheInstalledLayout)
{
    fs::create_directories(dir / "usr" / "bin");
    fs::create_directories(dir / "usr" / "share" / "tarnwick");
    ::setenv("TARNWICK_INSTALL_DIR", (dir / "elsewhere").c_str(), 1);
    EXPECT_EQ(installDirFor(dir / "usr" / "bin" / "tarnwick"), dir / "elsewhere");
    ::unsetenv("TARNWICK_INSTALL_DIR");
}

} // namespace
} // namespace tw
