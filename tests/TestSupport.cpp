// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tw::test {

fs::path runtimeDir() { return TARNWICK_RUNTIME_DIR; }
fs::path sourceDir() { return TARNWICK_SOURCE_DIR; }

fs::path corpusDir()
{
    const fs::path dir = sourceDir() / ".." / "shared" / "corpus";
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir : fs::path();
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void copyTemplateDb(const fs::path& path)
{
    fs::create_directories(path.parent_path());
    fs::copy_file(runtimeDir() / "emptydb.db3", path, fs::copy_options::overwrite_existing);
}

void TempDirTest::SetUp()
{
    std::string pattern = (fs::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
}

void TempDirTest::TearDown()
{
    std::error_code ec;
    if (!dir.empty())
        fs::remove_all(dir, ec);
}

} // namespace tw::test
