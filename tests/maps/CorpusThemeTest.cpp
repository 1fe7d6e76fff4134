// SPDX-License-Identifier: GPL-3.0-or-later
// Render themes other people wrote, and our own.
#include "maps/theme/RenderTheme.h"
#include "maps/theme/ThemeMatcher.h"
#include "tests/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <set>

namespace fs = std::filesystem;
using namespace tw::maps;

namespace {

fs::path corpusThemes() { return tw::test::corpusDir() / "mapsforge" / "themes" / "mapsforge"; }

// Problems that mean the reader lost part of a theme, as opposed to a
// missing symbol or a value left at its default.
bool lossy(const ThemeProblem& p)
{
    return p.kind == ThemeProblemKind::Unreadable || p.kind == ThemeProblemKind::Broken
           || p.kind == ThemeProblemKind::TooDeep || p.kind == ThemeProblemKind::TooMany;
}

std::string describe(const std::vector<ThemeProblem>& problems)
{
    std::string text;
    for (const ThemeProblem& p : problems)
        text += std::to_string(static_cast<int>(p.kind)) + ": " + p.detail + "\n";
    return text;
}

// The text without its comments, which hold rules the authors switched off.
std::string uncommented(std::string text)
{
    for (std::size_t at; (at = text.find("<!--")) != std::string::npos;)
        text.erase(at, text.find("-->", at) == std::string::npos ? std::string::npos : text.find("-->", at) + 3 - at);
    return text;
}

// Start tags of those names in a text, counted by hand as an independent check of the reader.
std::size_t countTags(const std::string& text, std::initializer_list<std::string_view> names)
{
    std::size_t count = 0;
    for (const std::string_view name : names)
        for (std::size_t at = text.find('<'); at != std::string::npos; at = text.find('<', at + 1)) {
            const std::size_t after = at + 1 + name.size();
            if (text.compare(at + 1, name.size(), name) == 0 && after < text.size()
                && (text[after] == ' ' || text[after] == '>' || text[after] == '/' || text[after] == '\n'))
                ++count;
        }
    return count;
}

RenderTheme readWhole(const fs::path& file)
{
    RenderThemeResult r = readRenderTheme(file);
    EXPECT_TRUE(r.theme) << file;
    EXPECT_FALSE(std::any_of(r.problems.begin(), r.problems.end(), lossy)) << file << "\n" << describe(r.problems);
    return r.theme ? std::move(*r.theme) : RenderTheme{};
}

std::set<InstructionKind> kinds(ThemeMatcher& m, VectorElement e, std::vector<VectorTag> tags, int zoom,
                                bool closed = false)
{
    std::set<InstructionKind> out;
    for (const RenderInstruction* in : m.match(e, tags, zoom, closed))
        out.insert(in->kind);
    return out;
}

bool hasCaptionOf(ThemeMatcher& m, VectorElement e, std::vector<VectorTag> tags, int zoom, const char* key)
{
    const auto found = m.match(e, tags, zoom, false);
    return std::any_of(found.begin(), found.end(), [&](const RenderInstruction* in) {
        return in->kind == InstructionKind::Caption && in->textKey == key;
    });
}

} // namespace

TEST(CorpusThemes, EveryThemeReadsWhole)
{
    TW_REQUIRE_CORPUS();
    int themes = 0;
    for (const auto& entry : fs::directory_iterator(corpusThemes())) {
        if (entry.path().extension() != ".xml")
            continue;
        ++themes;
        const RenderTheme theme = readWhole(entry.path());
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(theme.version, 5) << name;
        // Every rule and instruction of the file, none lost and none made up.
        const std::string text = uncommented(tw::test::readFile(entry.path()));
        EXPECT_EQ(theme.rules.size(), countTags(text, {"rule"})) << name;
        EXPECT_EQ(theme.instructions.size(),
                  countTags(text, {"area", "caption", "circle", "line", "lineSymbol", "pathText", "symbol"}))
            << name;
        if (name == "hillshading.xml") {
            ASSERT_TRUE(theme.hillshading);
            EXPECT_EQ(theme.hillshading->zoomMin, 9);
            EXPECT_EQ(theme.hillshading->zoomMax, 17);
            continue;
        }
        EXPECT_GT(theme.rules.size(), 300u) << name;
        EXPECT_LT(theme.topRules.size(), theme.rules.size()) << name;
    }
    EXPECT_EQ(themes, 7);
}

TEST(CorpusThemes, DefaultThemeSymbolsResolveAndDraw)
{
    TW_REQUIRE_CORPUS();
    const RenderTheme theme = readWhole(corpusThemes() / "default.xml");
    // This theme has no style menu: nothing is switched off.
    EXPECT_TRUE(theme.styleMenu.layers.empty());
    EXPECT_TRUE(theme.styleMenu.styles("en").empty());
    int images = 0;
    for (const RenderInstruction& in : theme.instructions) {
        if (in.image.src.empty())
            continue;
        ++images;
        // jar: paths lead to the shared symbols/ and patterns/ beside the theme's folder.
        EXPECT_TRUE(in.image.found) << in.image.src << " -> " << in.image.file;
        const std::string shared = in.image.file.lexically_relative(corpusThemes().parent_path()).string();
        EXPECT_TRUE(shared.starts_with("symbols/") || shared.starts_with("patterns/")) << in.image.file;
    }
    EXPECT_GT(images, 100);

    ThemeMatcher matcher(theme);
    EXPECT_TRUE(kinds(matcher, VectorElement::Way, {{"highway", "motorway"}}, 12).contains(InstructionKind::Line));
    EXPECT_TRUE(kinds(matcher, VectorElement::Way, {{"natural", "water"}}, 14, true).contains(InstructionKind::Area));
    EXPECT_TRUE(hasCaptionOf(matcher, VectorElement::Node, {{"place", "city"}, {"name", "Brno"}}, 10, "name"));
    EXPECT_TRUE(matcher.match(VectorElement::Node, std::vector<VectorTag>{{"fixme", "x"}}, 15, false).empty());
}

TEST(CorpusThemes, StyleMenuListsLayersInTheUsersLanguage)
{
    TW_REQUIRE_CORPUS();
    const RenderTheme theme = readWhole(corpusThemes() / "biker.xml");
    const StyleMenu& menu = theme.styleMenu;
    EXPECT_EQ(menu.defaultValue, "normal");
    EXPECT_EQ(menu.layers.size(), 24u);
    const auto styles = menu.styles("cs");
    ASSERT_EQ(styles.size(), 1u);
    EXPECT_EQ(styles[0].id, "normal");
    const auto overlays = menu.overlays("normal", "cs");
    ASSERT_EQ(overlays.size(), 23u);
    EXPECT_EQ(overlays[0].id, "accommodation");
    EXPECT_EQ(overlays[0].name, "Ubytování");
    EXPECT_FALSE(overlays[0].enabled);
    const auto nature = std::find_if(overlays.begin(), overlays.end(), [](const auto& o) { return o.id == "nature"; });
    ASSERT_NE(nature, overlays.end());
    EXPECT_EQ(nature->name, "Vegetace");
    EXPECT_TRUE(nature->enabled);

    // Vegetation is an overlay that is on by default; switching it off takes the park away.
    ThemeMatcher matcher(theme);
    const std::vector<VectorTag> park{{"leisure", "park"}};
    EXPECT_TRUE(kinds(matcher, VectorElement::Way, park, 14, true).contains(InstructionKind::Area));
    matcher.setCategories(menu.categories("normal", {{"nature", false}}));
    EXPECT_FALSE(kinds(matcher, VectorElement::Way, park, 14, true).contains(InstructionKind::Area));
}

TEST(CorpusThemes, EveryValueReadsAndEverySymbolResolves)
{
    TW_REQUIRE_CORPUS();
    // The corpus holds the shared symbols and patterns, so every src should
    // resolve; and every value written there is one the reader knows.
    for (const auto& entry : fs::directory_iterator(corpusThemes())) {
        if (entry.path().extension() != ".xml")
            continue;
        const RenderThemeResult r = readRenderTheme(entry.path());
        ASSERT_TRUE(r.theme);
        std::vector<std::string> missing;
        for (const ThemeProblem& p : r.problems) {
            EXPECT_NE(p.kind, ThemeProblemKind::BadValue) << entry.path().filename() << ": " << p.detail;
            if (p.kind == ThemeProblemKind::MissingImage)
                missing.push_back(p.detail);
        }
        EXPECT_TRUE(missing.empty()) << entry.path().filename() << ": " << missing.size() << " missing, first "
                                     << (missing.empty() ? "" : missing.front());
    }
}

TEST(BuiltInTheme, ReadsWithoutProblemsAndDrawsWhatGeocachersLookFor)
{
    const fs::path file = builtInThemeFile(tw::test::runtimeDir());
    ASSERT_TRUE(fs::exists(file)) << "the build copies the built-in theme to " << file;
    const RenderThemeResult r = readRenderTheme(file);
    ASSERT_TRUE(r.theme);
    EXPECT_TRUE(r.problems.empty()) << describe(r.problems);
    const RenderTheme& theme = *r.theme;
    ThemeMatcher matcher(theme);
    const auto way = VectorElement::Way;
    const auto node = VectorElement::Node;
    using K = InstructionKind;

    const auto path = matcher.match(way, std::vector<VectorTag>{{"highway", "path"}}, 15, false);
    ASSERT_FALSE(path.empty());
    const std::vector<const RenderInstruction*> plainPath(path.begin(), path.end());
    // Hard and hardly visible trails look different from an easy path.
    for (const std::vector<VectorTag>& tags : {std::vector<VectorTag>{{"highway", "path"}, {"sac_scale", "alpine_hiking"}},
                                               std::vector<VectorTag>{{"highway", "path"}, {"trail_visibility", "bad"}}}) {
        const auto found = matcher.match(way, tags, 15, false);
        EXPECT_NE(std::vector<const RenderInstruction*>(found.begin(), found.end()), plainPath) << tags[1].key;
    }
    struct Expected {
        VectorElement element;
        std::vector<VectorTag> tags;
        int zoom;
        InstructionKind kind;
    };
    const Expected drawn[] = {
        {way, {{"highway", "track"}, {"tracktype", "grade3"}}, 14, K::Line},
        {way, {{"highway", "primary"}}, 10, K::Line},
        {way, {{"highway", "residential"}}, 15, K::Line},
        {way, {{"waterway", "stream"}}, 14, K::Line},
        {way, {{"landuse", "forest"}}, 12, K::Area},
        {way, {{"natural", "wood"}}, 12, K::Area},
        {way, {{"natural", "water"}}, 12, K::Area},
        {way, {{"building", "yes"}}, 16, K::Area},
        {way, {{"amenity", "parking"}}, 16, K::Area},
        {node, {{"natural", "peak"}}, 13, K::Symbol},
        {node, {{"amenity", "parking"}}, 16, K::Symbol},
        {node, {{"amenity", "bench"}}, 16, K::Symbol},
        {node, {{"amenity", "shelter"}}, 16, K::Symbol},
        {node, {{"amenity", "drinking_water"}}, 16, K::Symbol},
    };
    for (const Expected& e : drawn)
        EXPECT_TRUE(kinds(matcher, e.element, e.tags, e.zoom, e.kind == K::Area).contains(e.kind))
            << e.tags[0].key << "=" << e.tags[0].value;
    EXPECT_TRUE(hasCaptionOf(matcher, node, {{"natural", "peak"}, {"ele", "1602"}}, 14, "ele"));
    EXPECT_TRUE(hasCaptionOf(matcher, node, {{"place", "town"}, {"name", "Jihlava"}}, 11, "name"));
    EXPECT_TRUE(hasCaptionOf(matcher, node, {{"place", "village"}, {"name", "Ves"}}, 14, "name"));
    // No contour lines, as the theme's header says.
    EXPECT_EQ(theme.keyId("contour"), -1);
    EXPECT_EQ(theme.keyId("contour_ext"), -1);
}

TEST(BuiltInTheme, ValidatesAgainstTheThemeSchema)
{
    TW_REQUIRE_CORPUS();
    TW_REQUIRE_PROGRAM("xmllint");
    const fs::path schema = tw::test::corpusDir() / "mapsforge" / "themes" / "renderTheme.xsd";
    const fs::path theme = tw::test::sourceDir() / "resources" / "themes" / "tarnwick.xml";
    const std::string command =
        "xmllint --noout --schema '" + schema.string() + "' '" + theme.string() + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}
