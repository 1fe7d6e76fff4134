// SPDX-License-Identifier: GPL-3.0-or-later
// Reading render theme XML into rules and instructions.
#include "maps/theme/RenderTheme.h"
#include "platform/Numbers.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/CXmlTokenizer.h"
#include "xml/XmlElementWalker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace fs = std::filesystem;

namespace tw::maps {
namespace {

// Problems kept for the log; a hostile file could otherwise make millions.
constexpr std::size_t kMaxProblems = 200;
// Elements whose nesting the reader follows; beyond it only the depth is counted.
constexpr std::size_t kMaxTrackedDepth = 128;
// Attributes of one element: the largest instruction has 18.
constexpr std::size_t kMaxAttributes = 64;

template <class E, std::size_t N>
std::optional<E> enumValue(std::string_view text, const std::array<std::pair<std::string_view, E>, N>& names)
{
    for (const auto& [name, value] : names)
        if (text == name)
            return value;
    return std::nullopt;
}

constexpr std::array kElements{std::pair{std::string_view("node"), ThemeElement::Node},
                               std::pair{std::string_view("way"), ThemeElement::Way},
                               std::pair{std::string_view("any"), ThemeElement::Any}};
constexpr std::array kClosed{std::pair{std::string_view("any"), ThemeClosed::Any},
                             std::pair{std::string_view("yes"), ThemeClosed::Yes},
                             std::pair{std::string_view("no"), ThemeClosed::No}};
constexpr std::array kScales{std::pair{std::string_view("stroke"), ThemeScale::Stroke},
                             std::pair{std::string_view("all"), ThemeScale::All},
                             std::pair{std::string_view("none"), ThemeScale::None}};
constexpr std::array kCaps{std::pair{std::string_view("round"), LineCap::Round},
                           std::pair{std::string_view("butt"), LineCap::Butt},
                           std::pair{std::string_view("square"), LineCap::Square}};
constexpr std::array kJoins{std::pair{std::string_view("round"), LineJoin::Round},
                            std::pair{std::string_view("miter"), LineJoin::Miter},
                            std::pair{std::string_view("bevel"), LineJoin::Bevel}};
constexpr std::array kCurves{std::pair{std::string_view("no"), Curve::No},
                             std::pair{std::string_view("cubic"), Curve::Cubic}};
constexpr std::array kFamilies{std::pair{std::string_view("default"), FontFamily::Default},
                               std::pair{std::string_view("monospace"), FontFamily::Monospace},
                               std::pair{std::string_view("sans_serif"), FontFamily::SansSerif},
                               std::pair{std::string_view("serif"), FontFamily::Serif}};
constexpr std::array kStyles{std::pair{std::string_view("normal"), FontStyle::Normal},
                             std::pair{std::string_view("bold"), FontStyle::Bold},
                             std::pair{std::string_view("bold_italic"), FontStyle::BoldItalic},
                             std::pair{std::string_view("italic"), FontStyle::Italic}};
constexpr std::array kPositions{std::pair{std::string_view("auto"), LabelPosition::Auto},
                                std::pair{std::string_view("center"), LabelPosition::Center},
                                std::pair{std::string_view("below"), LabelPosition::Below},
                                std::pair{std::string_view("below_left"), LabelPosition::BelowLeft},
                                std::pair{std::string_view("below_right"), LabelPosition::BelowRight},
                                std::pair{std::string_view("above"), LabelPosition::Above},
                                std::pair{std::string_view("above_left"), LabelPosition::AboveLeft},
                                std::pair{std::string_view("above_right"), LabelPosition::AboveRight},
                                std::pair{std::string_view("left"), LabelPosition::Left},
                                std::pair{std::string_view("right"), LabelPosition::Right}};
constexpr std::array kDisplays{std::pair{std::string_view("ifspace"), LabelDisplay::IfSpace},
                               std::pair{std::string_view("order"), LabelDisplay::Order},
                               std::pair{std::string_view("always"), LabelDisplay::Always},
                               std::pair{std::string_view("never"), LabelDisplay::Never}};
constexpr std::array kTransforms{std::pair{std::string_view("none"), TextTransform::None},
                                 std::pair{std::string_view("uppercase"), TextTransform::Uppercase},
                                 std::pair{std::string_view("lowercase"), TextTransform::Lowercase},
                                 std::pair{std::string_view("capitalize"), TextTransform::Capitalize}};
constexpr std::array kOrientations{std::pair{std::string_view("right"), SymbolOrientation::Right},
                                   std::pair{std::string_view("auto"), SymbolOrientation::Auto},
                                   std::pair{std::string_view("auto_down"), SymbolOrientation::AutoDown},
                                   std::pair{std::string_view("left"), SymbolOrientation::Left},
                                   std::pair{std::string_view("up"), SymbolOrientation::Up},
                                   std::pair{std::string_view("down"), SymbolOrientation::Down}};
constexpr std::array kInstructions{std::pair{std::string_view("area"), InstructionKind::Area},
                                   std::pair{std::string_view("caption"), InstructionKind::Caption},
                                   std::pair{std::string_view("circle"), InstructionKind::Circle},
                                   std::pair{std::string_view("line"), InstructionKind::Line},
                                   std::pair{std::string_view("lineSymbol"), InstructionKind::LineSymbol},
                                   std::pair{std::string_view("pathText"), InstructionKind::PathText},
                                   std::pair{std::string_view("symbol"), InstructionKind::Symbol}};

// The defaults of the theme language, per kind.
RenderInstruction defaultInstruction(InstructionKind kind)
{
    RenderInstruction in;
    in.kind = kind;
    switch (kind) {
    case InstructionKind::Area:
        in.stroke = 0x00000000;
        break;
    case InstructionKind::Circle:
        in.fill = 0x00000000;
        in.stroke = 0x00000000;
        break;
    case InstructionKind::LineSymbol:
        in.position = LabelPosition::BelowRight;
        in.repeatGap = 200;
        in.repeatStart = 30;
        break;
    case InstructionKind::PathText:
        in.repeat = true;
        in.repeatGap = 100;
        in.repeatStart = 10;
        in.orientation = SymbolOrientation::Auto;
        break;
    case InstructionKind::Symbol:
        in.position = LabelPosition::Center;
        break;
    case InstructionKind::Caption:
    case InstructionKind::Line:
        break;
    }
    return in;
}

// The parts of a k or v list.
template <class F>
void forEachAlternative(std::string_view list, F&& f)
{
    for (;;) {
        const std::size_t bar = list.find('|');
        f(list.substr(0, bar));
        if (bar == std::string_view::npos)
            return;
        list.remove_prefix(bar + 1);
    }
}

enum class Frame : std::uint8_t { Root, Rule, StyleMenu, Layer, Leaf, Skip };

struct ThemeReader {
    ThemeReader(RenderTheme& t, std::vector<ThemeProblem>& p, fs::path f) : theme(t), problems(p), folder(std::move(f)) {}

    RenderTheme& theme;
    std::vector<ThemeProblem>& problems;
    fs::path folder;

    struct Open {
        Frame frame;
        std::string name;
        std::int32_t index = -1; // rule or layer
    };
    std::vector<Open> stack;
    std::size_t untracked = 0;   // elements open beyond kMaxTrackedDepth
    int ruleDepth = 0;
    std::size_t alternativeCount = 0;
    bool sawRoot = false;
    bool rootClosed = false;
    bool broken = false;
    bool reportedDepth = false;
    bool reportedCount = false;

    bool pending = false;
    std::string pendingName;
    std::vector<std::pair<std::string, std::string>> attrs;
    std::size_t attrCount = 0;

    void problem(ThemeProblemKind kind, std::string detail)
    {
        if (problems.size() < kMaxProblems)
            problems.push_back({kind, std::move(detail)});
    }

    void start(const std::string& name, std::string&)
    {
        flush();
        pending = true;
        // A prefix ("tns:rule") is not part of the name the language knows.
        const std::size_t colon = name.find(':');
        pendingName.assign(colon == std::string::npos ? name : name.substr(colon + 1));
        attrCount = 0;
    }

    void attribute(const std::string&, std::string_view name, std::u16string_view value)
    {
        if (!pending || attrCount >= kMaxAttributes)
            return;
        if (attrs.size() <= attrCount)
            attrs.emplace_back();
        attrs[attrCount].first.assign(name);
        attrs[attrCount].second = toUtf8(value);
        ++attrCount;
    }

    void end(const std::string& name, std::string&)
    {
        flush();
        if (untracked > 0) {
            --untracked;
            return;
        }
        if (stack.empty()) {
            broken = true;
            return;
        }
        const Open& top = stack.back();
        const std::size_t colon = name.find(':');
        if (std::string_view(name).substr(colon == std::string::npos ? 0 : colon + 1) != top.name)
            broken = true;
        if (top.frame == Frame::Rule)
            --ruleDepth;
        if (top.frame == Frame::Root)
            rootClosed = true;
        stack.pop_back();
    }

    void push(Frame frame, std::int32_t index = -1)
    {
        if (stack.size() >= kMaxTrackedDepth) {
            ++untracked;
            return;
        }
        stack.push_back({frame, pendingName, index});
    }

    void flush()
    {
        if (!pending)
            return;
        pending = false;
        const std::string& name = pendingName;
        // The XML declaration comes as a start tag that never ends.
        if (name.starts_with('?'))
            return;
        if (untracked > 0 || stack.size() >= kMaxTrackedDepth) {
            ++untracked;
            return;
        }
        if (stack.empty()) {
            if (name == "rendertheme" && !sawRoot) {
                sawRoot = true;
                readRoot();
                push(Frame::Root);
            } else {
                broken = broken || sawRoot;
                push(Frame::Skip);
            }
            return;
        }
        const Open parent = stack.back();
        switch (parent.frame) {
        case Frame::Root:
            if (name == "rule")
                return openRule(-1);
            if (name == "stylemenu" && theme.styleMenu.layers.empty() && theme.styleMenu.id.empty()) {
                readStyleMenu();
                return push(Frame::StyleMenu);
            }
            if (name == "hillshading") {
                readHillshading();
                return push(Frame::Leaf);
            }
            break;
        case Frame::Rule:
            if (name == "rule")
                return openRule(parent.index);
            if (const auto kind = enumValue(name, kInstructions)) {
                addInstruction(*kind, parent.index);
                return push(Frame::Leaf);
            }
            break;
        case Frame::StyleMenu:
            if (name == "layer")
                return openLayer();
            break;
        case Frame::Layer:
            readLayerChild(theme.styleMenu.layers[static_cast<std::size_t>(parent.index)], name);
            return push(Frame::Leaf);
        case Frame::Leaf:
        case Frame::Skip:
            break;
        }
        push(Frame::Skip);
    }

    std::string_view attr(std::string_view name) const
    {
        for (std::size_t i = 0; i < attrCount; ++i)
            if (attrs[i].first == name)
                return attrs[i].second;
        return {};
    }

    bool has(std::string_view name) const
    {
        for (std::size_t i = 0; i < attrCount; ++i)
            if (attrs[i].first == name)
                return true;
        return false;
    }

    void bad(std::string_view name, std::string_view value)
    {
        problem(ThemeProblemKind::BadValue,
                pendingName + " " + std::string(name) + "=\"" + std::string(value.substr(0, 80)) + "\"");
    }

    template <class E, std::size_t N>
    void readEnum(std::string_view name, E& field, const std::array<std::pair<std::string_view, E>, N>& names)
    {
        if (!has(name))
            return;
        const std::string_view text = attr(name);
        if (const auto v = enumValue(text, names))
            field = *v;
        else
            bad(name, text);
    }

    void readColour(std::string_view name, std::uint32_t& field)
    {
        if (!has(name))
            return;
        const std::string_view text = attr(name);
        if (const auto v = parseThemeColour(text))
            field = *v;
        else
            bad(name, text);
    }

    // A number within [low, kMaxThemeWidth]; one beyond the top is clamped.
    void readFloat(std::string_view name, float& field, float low = 0)
    {
        if (!has(name))
            return;
        const std::string_view text = attr(name);
        const auto v = num::parseDouble(text);
        if (!v || !std::isfinite(*v) || *v < low) {
            bad(name, text);
            return;
        }
        field = static_cast<float>(std::min(*v, static_cast<double>(kMaxThemeWidth)));
    }

    void readSignedFloat(std::string_view name, float& field) { readFloat(name, field, -kMaxThemeWidth); }

    void readInt(std::string_view name, int& field, int low, int high)
    {
        if (!has(name))
            return;
        const std::string_view text = attr(name);
        const auto v = num::parseInt(text);
        if (!v || *v < low || *v > high) {
            bad(name, text);
            return;
        }
        field = static_cast<int>(*v);
    }

    void readBool(std::string_view name, bool& field)
    {
        if (!has(name))
            return;
        const std::string_view text = attr(name);
        if (text == "true" || text == "1")
            field = true;
        else if (text == "false" || text == "0")
            field = false;
        else
            bad(name, text);
    }

    void readRoot()
    {
        readInt("version", theme.version, 0, 1000);
        readColour("map-background", theme.mapBackground);
        readColour("map-background-outside", theme.mapBackgroundOutside);
        readFloat("base-stroke-width", theme.baseStrokeWidth);
        readFloat("base-text-size", theme.baseTextSize);
    }

    void readHillshading()
    {
        ThemeHillshading h;
        h.cat = std::string(attr("cat"));
        readInt("zoom-min", h.zoomMin, 0, 255);
        readInt("zoom-max", h.zoomMax, 0, 255);
        readInt("magnitude", h.magnitude, 0, 255);
        readColour("color", h.colour);
        readInt("layer", h.layer, 0, 255);
        theme.hillshading = h;
    }

    bool roomFor(std::size_t used, int bound)
    {
        if (used < static_cast<std::size_t>(bound))
            return true;
        if (!reportedCount)
            problem(ThemeProblemKind::TooMany, pendingName);
        reportedCount = true;
        return false;
    }

    void openRule(std::int32_t parent)
    {
        if (ruleDepth >= kMaxThemeRuleDepth) {
            if (!reportedDepth)
                problem(ThemeProblemKind::TooDeep, "rule");
            reportedDepth = true;
            return push(Frame::Skip);
        }
        // A rule's lists are interned for good, so a theme of endless
        // alternatives is refused rather than held.
        const std::string_view keyList = attr("k");
        const std::string_view valueList = attr("v");
        alternativeCount += static_cast<std::size_t>(std::count(keyList.begin(), keyList.end(), '|')
                                                     + std::count(valueList.begin(), valueList.end(), '|') + 2);
        if (!roomFor(theme.rules.size(), kMaxThemeRules) || !roomFor(alternativeCount - 1, kMaxThemeAlternatives))
            return push(Frame::Skip);
        ThemeRule rule;
        readEnum("e", rule.element, kElements);
        readEnum("closed", rule.closed, kClosed);
        int zoomMin = 0;
        int zoomMax = 127;
        readInt("zoom-min", zoomMin, 0, 255);
        readInt("zoom-max", zoomMax, 0, 255);
        rule.zoomMin = static_cast<std::uint8_t>(zoomMin);
        rule.zoomMax = static_cast<std::uint8_t>(zoomMax);
        if (has("cat"))
            rule.cat = theme.category(std::string(attr("cat")));
        // A rule without k or v is read as "*": it asks nothing of the tags.
        const std::string_view keys = has("k") ? attr("k") : "*";
        const std::string_view values = has("v") ? attr("v") : "*";
        forEachAlternative(keys, [&](std::string_view k) {
            if (k == "*")
                rule.anyKey = true;
            else
                rule.keys.push_back(theme.internKey(std::string(k)));
        });
        forEachAlternative(values, [&](std::string_view v) {
            if (v == "*")
                rule.anyValue = true;
            else if (v == "~")
                rule.absentKey = true;
            else if (v == "-")
                rule.negated = true;
            else
                rule.values.push_back(theme.internValue(std::string(v)));
        });
        const auto index = static_cast<std::int32_t>(theme.rules.size());
        theme.rules.push_back(std::move(rule));
        if (parent < 0)
            theme.topRules.push_back(index);
        else
            theme.rules[static_cast<std::size_t>(parent)].items.push_back(-(index + 1));
        ++ruleDepth;
        push(Frame::Rule, index);
    }

    void readImage(ThemeImage& image)
    {
        if (has("src")) {
            image.src = std::string(attr("src"));
            image.file = resolveThemeSource(image.src, folder);
            std::error_code ec;
            image.found = !image.file.empty() && fs::is_regular_file(image.file, ec);
            if (!image.found)
                problem(ThemeProblemKind::MissingImage, image.src);
        }
        const auto side = [&](std::string_view name, int& field, int high, ThemeProblemKind tooLarge) {
            if (!has(name))
                return;
            const std::string_view text = attr(name);
            const auto v = num::parseInt(text);
            if (!v || *v <= 0)
                return bad(name, text);
            if (*v > high)
                problem(tooLarge, pendingName + " " + std::string(name) + "=" + std::string(text.substr(0, 20)));
            field = static_cast<int>(std::min<std::int64_t>(*v, high));
        };
        side("symbol-width", image.widthPx, kMaxSymbolSidePx, ThemeProblemKind::SymbolTooLarge);
        side("symbol-height", image.heightPx, kMaxSymbolSidePx, ThemeProblemKind::SymbolTooLarge);
        side("symbol-percent", image.percent, kMaxSymbolPercent, ThemeProblemKind::SymbolTooLarge);
    }

    void readDashes(RenderInstruction& in)
    {
        if (!has("stroke-dasharray"))
            return;
        const std::string_view text = attr("stroke-dasharray");
        std::vector<float> dashes;
        bool ok = true;
        float sum = 0;
        forEachAlternativeComma(text, [&](std::string_view part) {
            const auto v = num::parseDouble(part);
            if (!v || !std::isfinite(*v) || *v < 0 || dashes.size() >= kMaxDashEntries) {
                ok = false;
                return;
            }
            dashes.push_back(static_cast<float>(std::min(*v, static_cast<double>(kMaxThemeWidth))));
            sum += dashes.back();
        });
        // A pattern of nothing but gaps of zero would never advance.
        if (!ok || dashes.size() < 2 || sum <= 0)
            return bad("stroke-dasharray", text);
        in.dashArray = std::move(dashes);
    }

    template <class F>
    static void forEachAlternativeComma(std::string_view list, F&& f)
    {
        for (;;) {
            const std::size_t comma = list.find(',');
            f(list.substr(0, comma));
            if (comma == std::string_view::npos)
                return;
            list.remove_prefix(comma + 1);
        }
    }

    void addInstruction(InstructionKind kind, std::int32_t rule)
    {
        if (!roomFor(theme.instructions.size(), kMaxThemeInstructions))
            return;
        RenderInstruction in = defaultInstruction(kind);
        in.order = static_cast<int>(theme.instructions.size());
        in.cat = std::string(attr("cat"));
        readColour("fill", in.fill);
        readColour("stroke", in.stroke);
        readFloat("stroke-width", in.strokeWidth);
        readEnum("scale", in.scale, kScales);
        readSignedFloat("dy", in.dy);
        readEnum("text-transform", in.textTransform, kTransforms);
        readEnum("display", in.display, kDisplays);
        readInt("priority", in.priority, -1000000, 1000000);
        switch (kind) {
        case InstructionKind::Area:
            readImage(in.image);
            break;
        case InstructionKind::Line:
            readImage(in.image);
            readDashes(in);
            readEnum("stroke-linecap", in.lineCap, kCaps);
            readEnum("stroke-linejoin", in.lineJoin, kJoins);
            readEnum("curve", in.curve, kCurves);
            break;
        case InstructionKind::Caption:
        case InstructionKind::PathText:
            in.textKey = std::string(attr("k"));
            if (in.textKey.empty())
                bad("k", "");
            readEnum("font-family", in.fontFamily, kFamilies);
            readEnum("font-style", in.fontStyle, kStyles);
            readFloat("font-size", in.fontSize);
            readEnum("position", in.position, kPositions);
            in.symbolId = std::string(attr("symbol-id"));
            readInt("text-wrap-width", in.textWrapWidth, 0, 100000);
            readBool("repeat", in.repeat);
            readFloat("repeat-gap", in.repeatGap);
            readFloat("repeat-start", in.repeatStart);
            readBool("rotate", in.rotate);
            if (kind == InstructionKind::PathText)
                readEnum("text-orientation", in.orientation, kOrientations);
            break;
        case InstructionKind::Circle:
            if (!has("radius"))
                bad("radius", "");
            readFloat("radius", in.radius);
            readBool("scale-radius", in.scaleRadius);
            break;
        case InstructionKind::Symbol:
        case InstructionKind::LineSymbol:
            in.id = std::string(attr("id"));
            readImage(in.image);
            if (in.image.src.empty())
                bad("src", "");
            readEnum("position", in.position, kPositions);
            readBool("repeat", in.repeat);
            readFloat("repeat-gap", in.repeatGap);
            readFloat("repeat-start", in.repeatStart);
            readBool("rotate", in.rotate);
            readEnum("symbol-orientation", in.orientation, kOrientations);
            break;
        }
        const int order = in.order;
        theme.instructions.push_back(std::move(in));
        theme.rules[static_cast<std::size_t>(rule)].items.push_back(order);
    }

    void readStyleMenu()
    {
        StyleMenu& menu = theme.styleMenu;
        menu.id = std::string(attr("id"));
        menu.defaultValue = std::string(attr("defaultvalue"));
        menu.defaultLang = std::string(attr("defaultlang"));
    }

    void openLayer()
    {
        auto& layers = theme.styleMenu.layers;
        if (!roomFor(layers.size(), kMaxThemeLayers))
            return push(Frame::Skip);
        StyleLayer layer;
        layer.id = std::string(attr("id"));
        layer.parent = std::string(attr("parent"));
        readBool("visible", layer.visible);
        readBool("enabled", layer.enabled);
        layers.push_back(std::move(layer));
        push(Frame::Layer, static_cast<std::int32_t>(layers.size() - 1));
    }

    void readLayerChild(StyleLayer& layer, const std::string& name)
    {
        // As many names as there are languages; far more is not a menu.
        constexpr std::size_t kMaxEntries = 512;
        if (name == "name" && layer.names.size() < kMaxEntries)
            layer.names.emplace_back(std::string(attr("lang")), std::string(attr("value")));
        else if (name == "cat" && layer.cats.size() < kMaxEntries)
            layer.cats.emplace_back(attr("id"));
        else if (name == "overlay" && layer.overlays.size() < kMaxEntries)
            layer.overlays.emplace_back(attr("id"));
    }
};

RenderThemeResult readFrom(CXmlCharSource& source, const fs::path& folder)
{
    RenderThemeResult result;
    RenderTheme theme;
    theme.folder = folder;
    ThemeReader reader(theme, result.problems, folder);
    CXmlTokenizer xml(source);
    walkElements<XmlWalkOptions{.maxText = 0, .maxDepth = static_cast<int>(kMaxTrackedDepth)}>(xml, reader);
    // An element whose start tag the input ended in is not taken: its
    // attributes may be cut off.
    if (!reader.sawRoot) {
        result.problems.insert(result.problems.begin(), {ThemeProblemKind::Unreadable, "no rendertheme element"});
        return result;
    }
    if (reader.broken || !reader.rootClosed)
        result.problems.insert(result.problems.begin(), {ThemeProblemKind::Broken, "malformed or cut-off XML"});
    result.theme = std::move(theme);
    return result;
}

} // namespace

RenderThemeResult readRenderTheme(const fs::path& file)
{
    CUtf8FileSource source(file);
    if (!source.isOpen()) {
        RenderThemeResult result;
        result.problems.push_back({ThemeProblemKind::Unreadable, file.string()});
        return result;
    }
    return readFrom(source, file.parent_path());
}

RenderThemeResult readRenderTheme(std::string_view bytes, const fs::path& folder)
{
    CUtf8MemorySource source(bytes);
    return readFrom(source, folder);
}

} // namespace tw::maps
