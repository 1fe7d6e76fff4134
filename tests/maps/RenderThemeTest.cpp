// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/theme/RenderTheme.h"
#include "maps/theme/ThemeMatcher.h"
#include "tests/TestSupport.h"

#include <algorithm>

namespace fs = std::filesystem;
using namespace tw::maps;

namespace {

std::string themeDoc(const std::string& body, const std::string& rootAttributes = "")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rendertheme xmlns=\"http://mapsforge.org/renderTheme\" "
           "version=\"5\"" + rootAttributes + ">\n" + body + "\n</rendertheme>\n";
}

bool hasProblem(const RenderThemeResult& r, ThemeProblemKind kind)
{
    return std::any_of(r.problems.begin(), r.problems.end(), [&](const ThemeProblem& p) { return p.kind == kind; });
}

// Reads a document that must give a theme; problems are the test's to look at.
RenderTheme readOk(const std::string& doc, const fs::path& folder = {})
{
    RenderThemeResult r = readRenderTheme(doc, folder);
    EXPECT_TRUE(r.theme.has_value());
    EXPECT_FALSE(hasProblem(r, ThemeProblemKind::Broken));
    return r.theme ? std::move(*r.theme) : RenderTheme{};
}

// The order numbers of the instructions that draw an element: what a test
// compares, as every instruction has its own.
std::vector<int> orders(ThemeMatcher& m, VectorElement e, std::vector<VectorTag> tags, int zoom = 15,
                        bool closed = false)
{
    std::vector<int> out;
    for (const RenderInstruction* in : m.match(e, tags, zoom, closed))
        out.push_back(in->order);
    return out;
}

using V = std::vector<int>;
constexpr auto kNode = VectorElement::Node;
constexpr auto kWay = VectorElement::Way;

// One theme for the matching cases; each instruction's order is the number in
// its comment.
const std::string kMatchTheme = themeDoc(R"(
<stylemenu id="menu" defaultvalue="walk" defaultlang="en">
  <layer id="base"><cat id="roads"/><overlay id="poi"/></layer>
  <layer id="walk" parent="base" visible="true"><name lang="en" value="Walking"/><name lang="cs" value="Pěšky"/>
    <cat id="paths"/><overlay id="huts"/></layer>
  <layer id="drive" parent="base" visible="true"><name lang="en" value="Driving"/></layer>
  <layer id="poi" enabled="true"><cat id="poi"/></layer>
  <layer id="huts"><cat id="huts"/></layer>
</stylemenu>
<rule e="way" k="highway" v="primary|secondary" cat="roads">
  <line stroke="#FF0000" stroke-width="2"/>                                   <!-- 0 -->
  <rule e="way" k="tunnel" v="~|no"><line stroke="#00FF00"/></rule>          <!-- 1 -->
  <rule e="way" k="tunnel" v="yes"><line stroke="#0000FF"/></rule>           <!-- 2 -->
  <line stroke="#000000" stroke-width="0.5"/>                                 <!-- 3 -->
</rule>
<rule e="way" k="highway|railway" v="path|rail" cat="paths" zoom-min="14" zoom-max="16">
  <line stroke="#663300"/>                                                    <!-- 4 -->
</rule>
<rule e="way" k="barrier" v="gate">
  <rule e="way" k="access" v="-|yes|permissive"><line stroke="#AA0000"/></rule> <!-- 5 -->
</rule>
<rule e="way" k="landuse" v="*" closed="yes"><area fill="#00AA00"/></rule>   <!-- 6 -->
<rule e="way" k="landuse" v="*" closed="no"><line stroke="#00AA00"/></rule>  <!-- 7 -->
<rule e="node" k="amenity" v="bench" cat="poi"><symbol src="bench.svg"/></rule> <!-- 8 -->
<rule e="any" k="*" v="shelter" cat="huts"><caption k="name"/></rule>        <!-- 9 -->
<rule e="node" k="*" v="*" zoom-min="18"><circle radius="1"/></rule>         <!-- 10 -->
)");

class Matching : public ::testing::Test {
protected:
    RenderTheme theme = readOk(kMatchTheme);
    ThemeMatcher all{theme, std::unordered_set<std::string>{"roads", "paths", "poi", "huts"}};
};

} // namespace

TEST(ThemeColour, ReadsBothFormsAndRefusesOthers)
{
    EXPECT_EQ(parseThemeColour("#FF9900"), 0xFFFF9900u);
    EXPECT_EQ(parseThemeColour("#ff9900"), 0xFFFF9900u);
    EXPECT_EQ(parseThemeColour("#80ff9900"), 0x80FF9900u);
    EXPECT_EQ(parseThemeColour("#00000000"), 0u);
    for (const char* bad : {"", "#", "FF9900", "#FF990", "#FF99000", "#GG9900", "#FF9900 ", "red", "#FF99001122"})
        EXPECT_FALSE(parseThemeColour(bad)) << bad;
}

TEST_F(Matching, AlternativesNestingAndOrder)
{
    // Instructions before, inside and after the subrules come in theme order.
    EXPECT_EQ(orders(all, kWay, {{"highway", "primary"}}), (V{0, 1, 3}));
    EXPECT_EQ(orders(all, kWay, {{"highway", "secondary"}, {"tunnel", "no"}}), (V{0, 1, 3}));
    EXPECT_EQ(orders(all, kWay, {{"highway", "secondary"}, {"tunnel", "yes"}}), (V{0, 2, 3}));
    EXPECT_EQ(orders(all, kWay, {{"highway", "tertiary"}}), V{});
    // Alternative keys and values combine freely.
    EXPECT_EQ(orders(all, kWay, {{"railway", "path"}}), V{4});
    EXPECT_EQ(orders(all, kWay, {{"highway", "rail"}}), V{4});
    // A value of another key is not a value of this one.
    EXPECT_EQ(orders(all, kWay, {{"name", "primary"}}), V{});
}

TEST_F(Matching, AbsentKeyAndNegation)
{
    // "~|no": no tunnel tag, or tunnel=no; tunnel=culvert is neither.
    EXPECT_EQ(orders(all, kWay, {{"highway", "primary"}, {"tunnel", "culvert"}}), (V{0, 3}));
    // "-|yes|permissive": access absent or not one of those.
    EXPECT_EQ(orders(all, kWay, {{"barrier", "gate"}}), V{5});
    EXPECT_EQ(orders(all, kWay, {{"barrier", "gate"}, {"access", "private"}}), V{5});
    EXPECT_EQ(orders(all, kWay, {{"barrier", "gate"}, {"access", "yes"}}), V{});
    EXPECT_EQ(orders(all, kWay, {{"access", "permissive"}, {"barrier", "gate"}, {"highway", "path"}}), V{4});
    EXPECT_EQ(orders(all, kWay, {}), V{});
}

TEST_F(Matching, ElementClosedZoom)
{
    EXPECT_EQ(orders(all, kWay, {{"landuse", "forest"}}, 15, true), V{6});
    EXPECT_EQ(orders(all, kWay, {{"landuse", "forest"}}, 15, false), V{7});
    EXPECT_EQ(orders(all, kNode, {{"amenity", "bench"}}), V{8});
    EXPECT_EQ(orders(all, kWay, {{"amenity", "bench"}}), V{});
    // "any" takes both; k="*" takes any key.
    EXPECT_EQ(orders(all, kNode, {{"tourism", "shelter"}}), V{9});
    EXPECT_EQ(orders(all, kWay, {{"amenity", "shelter"}}), V{9});
    // zoom-min and zoom-max are both inclusive.
    EXPECT_EQ(orders(all, kWay, {{"highway", "path"}}, 13), V{});
    EXPECT_EQ(orders(all, kWay, {{"highway", "path"}}, 14), V{4});
    EXPECT_EQ(orders(all, kWay, {{"highway", "path"}}, 16), V{4});
    EXPECT_EQ(orders(all, kWay, {{"highway", "path"}}, 17), V{});
    // k="*" v="*" needs some tag: a node without any has none.
    EXPECT_EQ(orders(all, kNode, {{"name", "x"}}, 18), V{10});
    EXPECT_EQ(orders(all, kNode, {}, 18), V{});
}

TEST_F(Matching, CategoriesFollowTheChosenStyle)
{
    const StyleMenu& menu = theme.styleMenu;
    // The default style: its cats, its parent's, and the overlays that are on by default.
    EXPECT_EQ(menu.categories({}), (std::unordered_set<std::string>{"paths", "roads", "poi"}));
    EXPECT_EQ(menu.categories("drive"), (std::unordered_set<std::string>{"roads", "poi"}));
    EXPECT_EQ(menu.categories("walk", {{"huts", true}, {"poi", false}}),
              (std::unordered_set<std::string>{"paths", "roads", "huts"}));
    // The style switch reaches the matcher.
    ThemeMatcher matcher(theme);
    EXPECT_EQ(orders(matcher, kWay, {{"highway", "path"}}), V{4});
    EXPECT_EQ(orders(matcher, kNode, {{"amenity", "shelter"}}), V{});
    matcher.setCategories(menu.categories("drive", {{"huts", true}}));
    EXPECT_EQ(orders(matcher, kWay, {{"highway", "path"}}), V{});
    matcher.setCategories(menu.categories("walk", {{"huts", true}}));
    EXPECT_EQ(orders(matcher, kNode, {{"amenity", "shelter"}}), V{9});
}

TEST_F(Matching, StyleMenuForTheMapMenu)
{
    const StyleMenu& menu = theme.styleMenu;
    const auto styles = menu.styles("cs");
    ASSERT_EQ(styles.size(), 2u);
    EXPECT_EQ(styles[0].id, "walk");
    EXPECT_EQ(styles[0].name, "Pěšky");
    EXPECT_EQ(styles[1].name, "Driving"); // no Czech name: the default language's
    const auto overlays = menu.overlays("walk", "de", {{"huts", true}});
    ASSERT_EQ(overlays.size(), 2u);
    EXPECT_EQ(overlays[0].id, "poi"); // the parent's first
    EXPECT_TRUE(overlays[0].enabled);
    EXPECT_EQ(overlays[0].name, "poi"); // no name at all: the id
    EXPECT_EQ(overlays[1].id, "huts");
    EXPECT_TRUE(overlays[1].enabled);
    EXPECT_FALSE(menu.overlays("walk", "en")[1].enabled);
}

TEST_F(Matching, CacheAnswersAgainWithoutSplittingOnNames)
{
    EXPECT_EQ(orders(all, kWay, {{"highway", "primary"}, {"name", "A"}}), (V{0, 1, 3}));
    const std::size_t size = all.cacheSize();
    EXPECT_EQ(orders(all, kWay, {{"name", "B"}, {"highway", "primary"}}), (V{0, 1, 3}));
    EXPECT_EQ(all.cacheSize(), size);
    EXPECT_EQ(all.cacheHits(), 1u);
    // Zoom and closedness are part of the question.
    EXPECT_EQ(orders(all, kWay, {{"highway", "path"}}, 13), V{});
    EXPECT_EQ(orders(all, kWay, {{"highway", "path"}}, 14), V{4});
    EXPECT_EQ(orders(all, kWay, {{"landuse", "x"}}, 15, true), V{6});
    EXPECT_EQ(orders(all, kWay, {{"landuse", "x"}}, 15, false), V{7});
}

TEST(ThemeMatcherCache, StaysBounded)
{
    std::string values;
    for (int i = 0; i < 120; ++i)
        values += (i ? "|v" : "v") + std::to_string(i);
    const RenderTheme theme = readOk(themeDoc("<rule e=\"way\" k=\"a|b\" v=\"" + values + "\"><line/></rule>"));
    ThemeMatcher matcher(theme);
    for (int i = 0; i < 120; ++i)
        for (int j = 0; j < 120; ++j) {
            const std::vector<VectorTag> tags{{"a", "v" + std::to_string(i)}, {"b", "v" + std::to_string(j)}};
            ASSERT_EQ(matcher.match(kWay, tags, 15, false).size(), 1u);
        }
    EXPECT_LE(matcher.cacheSize(), ThemeMatcher::kMaxCacheEntries);
    // An element with a great many tags that matter is answered, not kept.
    std::vector<VectorTag> many;
    for (int i = 0; i < 100; ++i)
        many.push_back({"a", "v" + std::to_string(i)});
    const std::size_t before = matcher.cacheSize();
    EXPECT_EQ(matcher.match(kWay, many, 15, false).size(), 1u);
    EXPECT_EQ(matcher.cacheSize(), before);
}

TEST(ThemeInstructions, DefaultsPerKind)
{
    const RenderTheme theme = readOk(themeDoc(R"(<rule e="any" k="*" v="*">
      <area/><line/><caption k="name"/><pathText k="name"/><circle radius="3"/>
      <symbol src="s.svg"/><lineSymbol src="s.svg"/></rule>)"));
    EXPECT_EQ(theme.mapBackground, 0xFFFFFFFFu);
    EXPECT_EQ(theme.baseStrokeWidth, 1.0f);
    ASSERT_EQ(theme.instructions.size(), 7u);
    const auto& area = theme.instructions[0];
    EXPECT_EQ(area.kind, InstructionKind::Area);
    EXPECT_EQ(area.fill, 0xFF000000u);
    EXPECT_EQ(area.stroke, 0x00000000u);
    const auto& line = theme.instructions[1];
    EXPECT_EQ(line.stroke, 0xFF000000u);
    EXPECT_EQ(line.lineCap, LineCap::Round);
    EXPECT_EQ(line.lineJoin, LineJoin::Round);
    EXPECT_EQ(line.scale, ThemeScale::Stroke);
    EXPECT_TRUE(line.dashArray.empty());
    const auto& caption = theme.instructions[2];
    EXPECT_EQ(caption.position, LabelPosition::Auto);
    EXPECT_EQ(caption.display, LabelDisplay::IfSpace);
    EXPECT_EQ(caption.stroke, 0xFF000000u);
    const auto& pathText = theme.instructions[3];
    EXPECT_TRUE(pathText.repeat);
    EXPECT_EQ(pathText.repeatGap, 100.0f);
    EXPECT_EQ(pathText.repeatStart, 10.0f);
    EXPECT_EQ(pathText.orientation, SymbolOrientation::Auto);
    const auto& circle = theme.instructions[4];
    EXPECT_EQ(circle.radius, 3.0f);
    EXPECT_EQ(circle.fill, 0x00000000u);
    EXPECT_FALSE(circle.scaleRadius);
    EXPECT_EQ(theme.instructions[5].position, LabelPosition::Center);
    const auto& lineSymbol = theme.instructions[6];
    EXPECT_EQ(lineSymbol.position, LabelPosition::BelowRight);
    EXPECT_FALSE(lineSymbol.repeat);
    EXPECT_EQ(lineSymbol.repeatGap, 200.0f);
    EXPECT_EQ(lineSymbol.repeatStart, 30.0f);
    EXPECT_EQ(lineSymbol.orientation, SymbolOrientation::Right);
}

TEST(ThemeInstructions, AttributesAsWritten)
{
    RenderThemeResult r = readRenderTheme(
        themeDoc(R"(<rule e="way" k="highway" v="path">
      <line stroke="#80112233" stroke-width="1.5" stroke-dasharray="4, 2,1,2" stroke-linecap="butt"
            stroke-linejoin="bevel" dy="-2" curve="cubic" scale="none"/>
      <caption k="ele" dy="-8" font-family="serif" font-style="bold_italic" font-size="11.5" fill="#123456"
               stroke="#FFFFFF" stroke-width="2" position="above_left" priority="-20" symbol-id="peak"
               display="always" text-transform="uppercase"/>
      <symbol id="peak" src="peak.svg" symbol-width="24" symbol-percent="150" priority="5"/>
      <line stroke="chartreuse" stroke-width="-1" stroke-dasharray="0,0" stroke-linecap="wide"/></rule>
      <hillshading magnitude="64" color="#80000000"/>)",
                 R"( map-background="#F8F8F8" map-background-outside="#DDDDDD" base-stroke-width="2")"),
        {});
    ASSERT_TRUE(r.theme);
    const RenderTheme& t = *r.theme;
    EXPECT_EQ(t.mapBackground, 0xFFF8F8F8u);
    EXPECT_EQ(t.mapBackgroundOutside, 0xFFDDDDDDu);
    EXPECT_EQ(t.version, 5);
    ASSERT_TRUE(t.hillshading);
    EXPECT_EQ(t.hillshading->magnitude, 64);
    EXPECT_EQ(t.hillshading->colour, 0x80000000u);
    EXPECT_EQ(t.hillshading->zoomMin, 9);
    ASSERT_EQ(t.instructions.size(), 4u);
    const auto& line = t.instructions[0];
    EXPECT_EQ(line.stroke, 0x80112233u);
    EXPECT_EQ(line.strokeWidth, 1.5f);
    EXPECT_EQ(line.dashArray, (std::vector<float>{4, 2, 1, 2}));
    EXPECT_EQ(line.lineCap, LineCap::Butt);
    EXPECT_EQ(line.lineJoin, LineJoin::Bevel);
    EXPECT_EQ(line.dy, -2.0f);
    EXPECT_EQ(line.curve, Curve::Cubic);
    EXPECT_EQ(line.scale, ThemeScale::None);
    const auto& caption = t.instructions[1];
    EXPECT_EQ(caption.textKey, "ele");
    EXPECT_EQ(caption.fontFamily, FontFamily::Serif);
    EXPECT_EQ(caption.fontStyle, FontStyle::BoldItalic);
    EXPECT_EQ(caption.fontSize, 11.5f);
    EXPECT_EQ(caption.fill, 0xFF123456u);
    EXPECT_EQ(caption.position, LabelPosition::AboveLeft);
    EXPECT_EQ(caption.priority, -20);
    EXPECT_EQ(caption.symbolId, "peak");
    EXPECT_EQ(caption.display, LabelDisplay::Always);
    EXPECT_EQ(caption.textTransform, TextTransform::Uppercase);
    const auto& symbol = t.instructions[2];
    EXPECT_EQ(symbol.id, "peak");
    EXPECT_EQ(symbol.image.widthPx, 24);
    EXPECT_EQ(symbol.image.heightPx, 0);
    EXPECT_EQ(symbol.image.percent, 150);
    EXPECT_EQ(symbol.priority, 5);
    // Values that do not read keep their defaults, and say so.
    const auto& wrong = t.instructions[3];
    EXPECT_EQ(wrong.stroke, 0xFF000000u);
    EXPECT_EQ(wrong.strokeWidth, 0.0f);
    EXPECT_TRUE(wrong.dashArray.empty());
    EXPECT_EQ(wrong.lineCap, LineCap::Round);
    EXPECT_EQ(std::count_if(r.problems.begin(), r.problems.end(),
                            [](const ThemeProblem& p) { return p.kind == ThemeProblemKind::BadValue; }),
              4);
}

TEST(ThemeScaling, WidthsGrowWithZoomAndDisplayScale)
{
    RenderTheme theme;
    theme.baseStrokeWidth = 2;
    theme.baseTextSize = 1.5f;
    RenderInstruction line;
    line.strokeWidth = 1;
    EXPECT_FLOAT_EQ(theme.strokeWidth(line, 10, 1), 2);
    EXPECT_FLOAT_EQ(theme.strokeWidth(line, RenderTheme::kBaseZoom, 1), 2);
    EXPECT_FLOAT_EQ(theme.strokeWidth(line, RenderTheme::kBaseZoom + 2, 1), 2 * 1.5f * 1.5f);
    EXPECT_FLOAT_EQ(theme.strokeWidth(line, RenderTheme::kBaseZoom + 2, 2), 4 * 1.5f * 1.5f);
    // The growth stops, so zoom 127 gives no absurd width.
    EXPECT_FLOAT_EQ(theme.strokeWidth(line, 127, 1), theme.strokeWidth(line, RenderTheme::kMaxGrowthZoom, 1));
    line.scale = ThemeScale::None;
    EXPECT_FLOAT_EQ(theme.strokeWidth(line, 18, 3), 6);
    RenderInstruction caption;
    caption.kind = InstructionKind::Caption;
    caption.fontSize = 10;
    EXPECT_FLOAT_EQ(theme.textSize(caption, 18, 2), 30);
    // Symbols and dy grow only with scale All; a circle's radius only with scale-radius.
    RenderInstruction symbol;
    EXPECT_FLOAT_EQ(theme.lengthScale(symbol, 14, 2), 2);
    symbol.scale = ThemeScale::All;
    EXPECT_FLOAT_EQ(theme.lengthScale(symbol, 14, 2), 2 * 1.5f * 1.5f);
    RenderInstruction circle;
    circle.radius = 3;
    EXPECT_FLOAT_EQ(theme.circleRadius(circle, 14, 2), 6);
    circle.scaleRadius = true;
    EXPECT_FLOAT_EQ(theme.circleRadius(circle, 14, 2), 6 * 1.5f * 1.5f);
}

class ThemeFiles : public tw::test::TempDirTest {};

TEST_F(ThemeFiles, SourcesResolvedAgainstTheThemeFolder)
{
    const fs::path& root = dir;
    tw::test::writeFile(root / "themes" / "symbols" / "bench.svg", "<svg/>");
    tw::test::writeFile(root / "themes" / "mine" / "symbols" / "own.svg", "<svg/>");
    const fs::path folder = root / "themes" / "mine";
    EXPECT_EQ(resolveThemeSource("jar:symbols/own.svg", folder), folder / "symbols" / "own.svg");
    EXPECT_EQ(resolveThemeSource("jar:/symbols/bench.svg", folder), root / "themes" / "symbols" / "bench.svg");
    EXPECT_EQ(resolveThemeSource("assets:symbols/none.svg", folder), folder / "symbols" / "none.svg");
    EXPECT_EQ(resolveThemeSource("file:/opt/x.png", folder), fs::path("/opt/x.png"));
    EXPECT_EQ(resolveThemeSource("file:p/x.png", folder), folder / "p" / "x.png");
    EXPECT_EQ(resolveThemeSource("x.png", folder), folder / "x.png");
    EXPECT_EQ(resolveThemeSource("", folder), fs::path());
}

TEST(HostileThemes, DeepNestingIsCutAtTheBound)
{
    std::string body;
    for (int i = 0; i < 5000; ++i)
        body += "<rule e=\"any\" k=\"*\" v=\"*\"><line/>";
    for (int i = 0; i < 5000; ++i)
        body += "</rule>";
    const RenderThemeResult r = readRenderTheme(themeDoc(body), {});
    ASSERT_TRUE(r.theme);
    EXPECT_TRUE(hasProblem(r, ThemeProblemKind::TooDeep));
    EXPECT_EQ(r.theme->rules.size(), static_cast<std::size_t>(kMaxThemeRuleDepth));
    ThemeMatcher matcher(*r.theme);
    EXPECT_EQ(matcher.match(kWay, std::vector<VectorTag>{{"a", "b"}}, 15, false).size(),
              static_cast<std::size_t>(kMaxThemeRuleDepth));
}

TEST(HostileThemes, HugeSymbolIsClampedAndMissingOneNamed)
{
    const RenderThemeResult r = readRenderTheme(
        themeDoc(R"(<rule e="node" k="*" v="*"><symbol src="jar:nowhere.svg" symbol-width="100000" symbol-height="100000"/></rule>)"),
        "/nonexistent");
    ASSERT_TRUE(r.theme);
    const ThemeImage& image = r.theme->instructions.at(0).image;
    EXPECT_EQ(image.widthPx, kMaxSymbolSidePx);
    EXPECT_EQ(image.heightPx, kMaxSymbolSidePx);
    EXPECT_FALSE(image.found);
    EXPECT_TRUE(hasProblem(r, ThemeProblemKind::SymbolTooLarge));
    EXPECT_TRUE(hasProblem(r, ThemeProblemKind::MissingImage));
}

TEST(HostileThemes, BrokenOrForeignXmlKeepsWhatWasRead)
{
    const std::string whole = themeDoc(R"(<rule e="way" k="highway" v="path"><line stroke="#FF0000"/></rule>
        <rule e="way" k="natural" v="water"><area fill="#0000FF"/></rule>)");
    // Cut inside the second rule.
    const RenderThemeResult cut = readRenderTheme(whole.substr(0, whole.find("<area") + 8), {});
    ASSERT_TRUE(cut.theme);
    EXPECT_TRUE(hasProblem(cut, ThemeProblemKind::Broken));
    EXPECT_EQ(cut.theme->instructions.size(), 1u);
    // Crossed end tags.
    const RenderThemeResult crossed = readRenderTheme(themeDoc("<rule e=\"way\" k=\"a\" v=\"b\"><line></rule></line>"), {});
    EXPECT_TRUE(hasProblem(crossed, ThemeProblemKind::Broken));
    for (const std::string& doc : {std::string(), std::string("<gpx><rule e=\"way\" k=\"a\" v=\"b\"/></gpx>"),
                                  std::string("\x01\x02 not xml")}) {
        const RenderThemeResult r = readRenderTheme(doc, {});
        EXPECT_FALSE(r.theme);
        EXPECT_TRUE(hasProblem(r, ThemeProblemKind::Unreadable));
    }
    const RenderThemeResult missing = readRenderTheme(fs::path("/nonexistent/theme.xml"));
    EXPECT_FALSE(missing.theme);
    EXPECT_TRUE(hasProblem(missing, ThemeProblemKind::Unreadable));
}

TEST(HostileThemes, RuleCountIsBounded)
{
    std::string body;
    body.reserve(static_cast<std::size_t>(kMaxThemeRules + 10) * 40);
    for (int i = 0; i < kMaxThemeRules + 10; ++i)
        body += "<rule e=\"way\" k=\"a\" v=\"b\"/>";
    const RenderThemeResult r = readRenderTheme(themeDoc(body), {});
    ASSERT_TRUE(r.theme);
    EXPECT_EQ(r.theme->rules.size(), static_cast<std::size_t>(kMaxThemeRules));
    EXPECT_TRUE(hasProblem(r, ThemeProblemKind::TooMany));

    // Alternatives are held for good: their total is bounded as well.
    std::string values = "x";
    for (int i = 0; i < 4000; ++i)
        values += "|x";
    std::string wide;
    for (int i = 0; i < 40; ++i)
        wide += "<rule e=\"way\" k=\"a\" v=\"" + values + "\"/>";
    const RenderThemeResult w = readRenderTheme(themeDoc(wide), {});
    ASSERT_TRUE(w.theme);
    EXPECT_TRUE(hasProblem(w, ThemeProblemKind::TooMany));
    EXPECT_EQ(w.theme->rules.size(), static_cast<std::size_t>(kMaxThemeAlternatives / 4002));
}
