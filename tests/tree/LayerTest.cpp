// SPDX-License-Identifier: GPL-3.0-or-later
// The layers of the tree, held by the build: every #include of every source
// file is checked against the rules in layers.txt at the top of the tree.
#include "tests/TestSupport.h"

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using Rules = std::map<std::string, std::set<std::string>>;

Rules readRules(const fs::path& file)
{
    Rules rules;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (const auto hash = line.find('#'); hash != std::string::npos)
            line.erase(hash);
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::istringstream folder(line.substr(0, colon));
        std::string name;
        folder >> name;
        std::istringstream targets(line.substr(colon + 1));
        for (std::string target; targets >> target;)
            rules[name].insert(target);
    }
    return rules;
}

// What an include names, as a rule sees it: the first folder of a project
// path, "Qt" for a Qt header, nothing for the standard and other libraries.
std::string includedLayer(const std::string& header, bool quoted)
{
    static const std::regex qt(R"(^(Qt[A-Za-z]*/|Q[A-Z][A-Za-z]*$|q[a-z]*\.h$))");
    if (std::regex_search(header, qt))
        return "Qt";
    if (!quoted)
        return {};
    const auto slash = header.find('/');
    return slash == std::string::npos ? std::string() : header.substr(0, slash);
}

struct Include {
    fs::path file;
    int line;
    std::string header;
    std::string layer;
};

std::vector<Include> includesOf(const fs::path& root, const std::string& folder)
{
    static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root / folder, ec), end; !ec && it != end; it.increment(ec)) {
        const auto ext = it->path().extension();
        if (ext != ".h" && ext != ".cpp" && ext != ".hpp" && ext != ".cc")
            continue;
        std::ifstream in(it->path());
        std::string text;
        for (int n = 1; std::getline(in, text); ++n) {
            std::smatch m;
            if (std::regex_search(text, m, include)) {
                const auto layer = includedLayer(m[2], m[1] == "\"");
                if (!layer.empty())
                    found.push_back({fs::relative(it->path(), root), n, m[2], layer});
            }
        }
    }
    return found;
}

TEST(Layers, NoFolderIncludesWhatItsRuleForbids)
{
    const fs::path root = tw::test::sourceDir();
    const Rules rules = readRules(root / "layers.txt");
    ASSERT_GE(rules.size(), 10u) << "layers.txt is missing or unreadable";

    int checked = 0;
    for (const auto& [folder, forbidden] : rules) {
        for (const auto& inc : includesOf(root, folder)) {
            ++checked;
            EXPECT_FALSE(forbidden.count(inc.layer))
                << inc.file.string() << ":" << inc.line << " includes " << inc.header << ", but "
                << folder << "/ may not include " << inc.layer << ".";
        }
    }
    EXPECT_GT(checked, 100) << "the tree's includes were not found";
}

// A folder without a rule would go unchecked: every folder that builds into
// the core needs one.
TEST(Layers, EveryFolderOfTheCoreHasARule)
{
    const fs::path root = tw::test::sourceDir();
    const Rules rules = readRules(root / "layers.txt");
    int folders = 0;
    for (const auto& entry : fs::directory_iterator(root)) {
        std::ifstream cmake(entry.path() / "CMakeLists.txt");
        const std::string text{std::istreambuf_iterator<char>(cmake), {}};
        if (text.find("target_sources(tarnwick_") == std::string::npos)
            continue;
        ++folders;
        const std::string folder = entry.path().filename().string();
        EXPECT_TRUE(rules.count(folder)) << folder << "/ builds into the core, but layers.txt has no rule for it.";
    }
    EXPECT_GE(folders, 9) << "the folders of the core were not found";
}

TEST(Layers, RulesReadIncludesAsTheCompilerDoes)
{
    EXPECT_EQ(includedLayer("QString", false), "Qt");
    EXPECT_EQ(includedLayer("QtWidgets/QLabel", false), "Qt");
    EXPECT_EQ(includedLayer("screens/CacheIcons.h", true), "screens");
    EXPECT_EQ(includedLayer("string", false), "");
    EXPECT_EQ(includedLayer("SimpleIni.h", false), "");
    EXPECT_EQ(includedLayer("sqlite3.h", false), "");
}

} // namespace
