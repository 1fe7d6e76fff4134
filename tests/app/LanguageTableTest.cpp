// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/LanguageTable.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <initializer_list>
#include <regex>
#include <set>
#include <sstream>
#include <vector>

namespace tw {
namespace {

using LanguageTableTest = test::TempDirTest;

TEST_F(LanguageTableTest, KeysReadLikeDecimalNumbers)
{
    test::writeFile(dir / "lang.xx", "[Header]\nlangCode=xx\nlangName=Test\n[StringTable]\n"
                                     "12a=first\nabc=ignored\n 7=seven\n12=second\n300=\"  padded \"\n");
    LanguageTable t;
    t.loadTable(dir, "xx");
    EXPECT_EQ(t.text(12), "second"); // "12a" reads as 12; the later key wins
    EXPECT_EQ(t.text(7), "seven");
    EXPECT_EQ(t.text(300), "  padded ");
    EXPECT_EQ(t.text(999), "");
}

TEST_F(LanguageTableTest, HugeEntryIsCutAtACharacterAndTheOthersStay)
{
    // One ASCII letter, then two-byte letters: the limit falls inside one.
    std::string huge = "a";
    for (int i = 0; i < 5'000'000; ++i)
        huge += "č";
    test::writeFile(dir / "lang.xx", "[StringTable]\n100=before\n101=" + huge + "\n102=after\n");
    LanguageTable t;
    t.loadTable(dir, "xx");
    EXPECT_EQ(t.text(101), huge.substr(0, LanguageTable::kMaxEntryBytes - 1));
    EXPECT_EQ(t.text(100), "before");
    EXPECT_EQ(t.text(102), "after");
}

TEST_F(LanguageTableTest, BrokenUtf8KeepsWhatReads)
{
    test::writeFile(dir / "lang.xx", "[Header]\nlangCode=xx\nlangName=Bad\xff\n[StringTable]\n"
                                     "100=stray \x80 byte\n101=overlong \xc0\xaf slash\n"
                                     "102=surrogate \xed\xa0\x80.\n103=cut \xc3\n104=Čeština\n");
    LanguageTable t;
    t.loadTable(dir, "xx");
    EXPECT_EQ(t.text(100), "stray \uFFFD byte");
    EXPECT_EQ(t.text(101), "overlong \uFFFD\uFFFD slash");
    EXPECT_EQ(t.text(102), "surrogate \uFFFD\uFFFD\uFFFD.");
    EXPECT_EQ(t.text(103), "cut \uFFFD");
    EXPECT_EQ(t.text(104), "Čeština");
    EXPECT_EQ(LanguageTable::listLanguages(dir).at(0).name, "Bad\uFFFD");
}

TEST_F(LanguageTableTest, MissingFileGivesEmptyTexts)
{
    LanguageTable t;
    t.loadTable(dir, "zz");
    EXPECT_TRUE(t.empty());
    EXPECT_EQ(t.text(153), "");
}

TEST_F(LanguageTableTest, ListingReadsHeadersAndSelectsTheCurrentCode)
{
    test::writeFile(dir / "lang.cs", "[Header]\nlangCode=cs\nlangName=Čeština\n");
    test::writeFile(dir / "lang.en", "[Header]\nlangCode=en\nlangName=English\n");
    test::writeFile(dir / "lang.xx", "[StringTable]\n1=no header\n");
    const auto list = LanguageTable::listLanguages(dir);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "Čeština");
    EXPECT_EQ(list[2].name, "");
    EXPECT_EQ(LanguageTable::selectedIndex(list, "en"), 1);
    EXPECT_EQ(LanguageTable::selectedIndex(list, "de"), 0);
    EXPECT_EQ(LanguageTable::codeAt(list, 1), "en");
    EXPECT_EQ(LanguageTable::codeAt(list, 3), "");
    EXPECT_EQ(LanguageTable::codeAt(list, -1), "");
}

// Every number the shipped files define is defined in both, and every
// placeholder agrees, so switching the language never loses a text.
TEST(ShippedLanguages, CzechAndEnglishDefineTheSameEntries)
{
    LanguageTable cs, en;
    cs.loadTable(test::runtimeDir(), "cs");
    en.loadTable(test::runtimeDir(), "en");
    ASSERT_FALSE(cs.empty());
    const std::regex placeholder("%[0-9.]*[a-z]");
    for (int n = 100; n <= 1399; ++n) {
        EXPECT_EQ(cs.text(n).empty(), en.text(n).empty()) << "entry " << n;
        auto count = [&](const std::string& s) {
            return std::distance(std::sregex_iterator(s.begin(), s.end(), placeholder), std::sregex_iterator());
        };
        EXPECT_EQ(count(cs.text(n)), count(en.text(n))) << "entry " << n;
    }
    for (int n : {145, 153, 297, 298, 312, 313, 314, 315, 358})
        EXPECT_FALSE(en.text(n).empty()) << "entry " << n;
}

// The numbers the code looks texts up by: its kText… constants (a "N to M"
// comment beside one names a range) and literal numbers handed to text() or
// textOr().
std::set<int> numbersTheCodeLooksUp()
{
    const std::regex constant(R"(kText\w*\s*=\s*([0-9]+);(\s*//\s*([0-9]+) to ([0-9]+))?)");
    const std::regex literal(R"((?:\btext|langText)\((?:[A-Za-z_.>-]+,\s*)?([0-9]+)\)|\btextOr\(([0-9]+),)");
    std::set<int> numbers;
    for (const char* folder : {"app", "db", "exchange", "filter", "geo", "gps", "maps", "online", "platform",
                               "screens", "tools"}) {
        const auto root = test::sourceDir() / folder;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            const auto ext = entry.path().extension();
            if (ext != ".cpp" && ext != ".h")
                continue;
            const std::string code = test::readFile(entry.path());
            for (std::sregex_iterator it(code.begin(), code.end(), constant), end; it != end; ++it) {
                numbers.insert(std::stoi((*it)[1]));
                if ((*it)[3].matched)
                    for (int n = std::stoi((*it)[3]); n <= std::stoi((*it)[4]); ++n)
                        numbers.insert(n);
            }
            for (std::sregex_iterator it(code.begin(), code.end(), literal), end; it != end; ++it)
                numbers.insert(std::stoi((*it)[(*it)[1].matched ? 1 : 2]));
        }
    }
    return numbers;
}

TEST(ShippedLanguages, EveryTextTheCodeLooksUpExistsInBoth)
{
    LanguageTable cs, en;
    cs.loadTable(test::runtimeDir(), "cs");
    en.loadTable(test::runtimeDir(), "en");
    const std::set<int> numbers = numbersTheCodeLooksUp();
    ASSERT_GE(numbers.size(), 30u) << "the scan found too few texts";
    for (int n : numbers) {
        EXPECT_FALSE(en.text(n).empty()) << "English text " << n << " is missing";
        EXPECT_FALSE(cs.text(n).empty()) << "Czech text " << n << " is missing";
    }
}

// True when a literal holds letters besides what noWords matches.
bool hasWords(const std::string& literal, const std::regex& noWords)
{
    const std::string words = std::regex_replace(literal, noWords, "");
    return std::any_of(words.begin(), words.end(), [](unsigned char c) { return std::isalpha(c) != 0; });
}

struct ShownLiteral {
    std::string file; // folder/name.cpp
    std::string call; // what shows it: pattern's first group
    std::string literal; // pattern's second group
};

// Every match of pattern in the .cpp files below the source folders.
std::vector<ShownLiteral> shownLiterals(std::initializer_list<const char*> folders, const std::regex& pattern)
{
    std::vector<ShownLiteral> found;
    for (const char* folder : folders) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(test::sourceDir() / folder)) {
            if (entry.path().extension() != ".cpp")
                continue;
            const std::string code = test::readFile(entry.path());
            for (std::sregex_iterator it(code.begin(), code.end(), pattern), end; it != end; ++it)
                found.push_back({std::string(folder) + "/" + entry.path().filename().string(), (*it)[1], (*it)[2]});
        }
    }
    return found;
}

// A caption, title or message written into a screen's code would show in
// one language only. The scan finds string literals handed straight to the
// calls that put text on screen; tests/app/shown-literals.txt lists the few
// that are the same in every language (units, the program's name). Nor may a
// screen show a vocabulary's stored English name (a log type, a cache type).
TEST(ShippedLanguages, ScreensTakeTheirTextsFromTheLanguageFiles)
{
    std::set<std::string> allowed;
    std::istringstream list(test::readFile(test::sourceDir() / "tests" / "app" / "shown-literals.txt"));
    for (std::string line; std::getline(list, line);)
        if (!line.empty() && line[0] != '#')
            allowed.insert(line);
    const std::regex shown(
        R"re(\b(setText|setWindowTitle|setToolTip|setPlaceholderText|setStatusTip|setLabelText|setTextValue|)re"
        R"re(setTitle|addAction|addItem|addTab|drawText|information|warning|critical|question|QLabel|QPushButton|)re"
        R"re(QCheckBox|QRadioButton|QGroupBox|QAction|tr)\s*\(\s*(?:[^()";]*,\s*)?)re"
        R"re((?:QStringLiteral\(|QLatin1String\(|QString\(|tr\()?"([^"]*)")re");
    const auto literals = shownLiterals({"screens"}, shown);
    EXPECT_FALSE(literals.empty()) << "the scan found no calls at all";
    for (const ShownLiteral& s : literals) {
        // Markup and places to fill are no words.
        EXPECT_TRUE(!hasWords(s.literal, std::regex("<[^>]*>|%[0-9]")) || allowed.contains(s.literal))
            << s.file << " shows \"" << s.literal << "\" through " << s.call
            << "; give it a number in the language files";
    }
    const std::regex storedName(R"re(\b(logTypeText|cacheTypeText|cacheSizeText|waypointTypeText)\(())re");
    for (const ShownLiteral& s : shownLiterals({"screens"}, storedName))
        ADD_FAILURE() << s.file << " shows the stored name of " << s.call << "; show the language file's name instead";
}

// The layers below the screens word their messages through the language
// table too (textOr with the English beside the number). A sentence written
// straight into an error, a prompter message or a line on stderr or stdout
// would reach a Czech user in English.
TEST(ShippedLanguages, CoreMessagesTakeTheirTextsFromTheLanguageFiles)
{
    const std::regex shown(R"re((\*(?:error|problem|message)\s*=|\bm_(?:error|message)\s*=|[.>]message\(|)re"
                           R"re(\bf?printf\(\s*(?:stderr,|stdout,)?|\bfputs\(|std::cerr\s*<<)\s*"([^"]*)")re");
    const auto literals =
        shownLiterals({"app", "db", "exchange", "filter", "geo", "gps", "maps", "online", "platform"}, shown);
    EXPECT_FALSE(literals.empty()) << "the scan found no messages at all";
    for (const ShownLiteral& s : literals) {
        // Places to fill, line ends and the program's name are no words.
        EXPECT_FALSE(hasWords(s.literal, std::regex(R"(%[-0-9.*]*[a-zA-Z]|\\[nrt]|tarnwick)")))
            << s.file << " shows \"" << s.literal << "\" through " << s.call
            << "; look it up with textOr and a number in the language files";
    }
}

} // namespace
} // namespace tw
