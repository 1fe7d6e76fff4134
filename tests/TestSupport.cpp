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

bool underCi()
{
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

bool haveProgram(const char* name)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (std::size_t start = 0; start <= dirs.size();) {
        auto end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
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
