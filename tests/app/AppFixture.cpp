// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/app/AppFixture.h"

namespace tw::test {

void AppFixture::SetUp()
{
    TempDirTest::SetUp();
    std::filesystem::create_directories(dir / "docs");
    restart();
}

void AppFixture::TearDown()
{
    global.reset();
    TempDirTest::TearDown();
}

Paths AppFixture::paths() const
{
    Paths p;
    p.config = dir / "config";
    p.data = dir / "data";
    p.install = runtimeDir();
    p.documents = dir / "docs";
    return p;
}

CGlobalData& AppFixture::restart()
{
    global.reset();
    global = std::make_unique<CGlobalData>(paths(), Services{prompter, notifier, keepAwake});
    return *global;
}

} // namespace tw::test
