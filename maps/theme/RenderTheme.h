// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// A render theme for vector maps: the rules that say which point of interest
// or way is drawn how, read from the theme XML. Nothing here draws. A tile
// renderer reads a theme once (readRenderTheme), lets the user choose a style
// from its style menu (StyleMenu), and then, for every element of a tile,
// asks a ThemeMatcher (ThemeMatcher.h) for the instructions that apply, and
// draws them in the order they come.
namespace tw::maps {

// Bounds that a theme from anywhere is held to. Real themes stay far below.
inline constexpr int kMaxThemeRuleDepth = 32;      // rules inside rules
inline constexpr int kMaxThemeRules = 20000;       // large real themes have ~500
inline constexpr int kMaxThemeInstructions = 40000;
inline constexpr int kMaxThemeLayers = 1000;       // layers of the style menu
inline constexpr int kMaxThemeAlternatives = 100000; // k and v alternatives of all rules together; real themes ~1,500
inline constexpr int kMaxSymbolSidePx = 1024;      // symbol-width and -height
inline constexpr int kMaxSymbolPercent = 1000;
inline constexpr float kMaxThemeWidth = 1000.0f;   // stroke widths, radii, font sizes, dy (absolute)
inline constexpr int kMaxDashEntries = 16;

// Colours are ARGB, alpha in the top byte: "#RRGGBB" is opaque, "#AARRGGBB"
// as written. Anything else gives nothing.
std::optional<std::uint32_t> parseThemeColour(std::string_view text);

enum class ThemeElement : std::uint8_t { Node, Way, Any };
enum class ThemeClosed : std::uint8_t { Any, Yes, No };

enum class InstructionKind : std::uint8_t { Area, Caption, Circle, Line, LineSymbol, PathText, Symbol };
// What grows with the zoom level: strokes only (the default), everything
// (strokes, symbols, dy), or nothing.
enum class ThemeScale : std::uint8_t { Stroke, All, None };
enum class LineCap : std::uint8_t { Round, Butt, Square };
enum class LineJoin : std::uint8_t { Round, Miter, Bevel };
enum class Curve : std::uint8_t { No, Cubic };
enum class FontFamily : std::uint8_t { Default, Monospace, SansSerif, Serif };
enum class FontStyle : std::uint8_t { Normal, Bold, BoldItalic, Italic };
enum class LabelPosition : std::uint8_t {
    Auto, Center, Below, BelowLeft, BelowRight, Above, AboveLeft, AboveRight, Left, Right
};
// How a label or symbol competes for space (see the theme document).
enum class LabelDisplay : std::uint8_t { IfSpace, Order, Always, Never };
enum class TextTransform : std::uint8_t { None, Uppercase, Lowercase, Capitalize };
enum class SymbolOrientation : std::uint8_t { Right, Auto, AutoDown, Left, Up, Down };

/** A bitmap or SVG a theme names (`src`), with the size asked for. */
struct ThemeImage {
    std::string src;               // as written, empty for none
    std::filesystem::path file;    // resolved (resolveThemeSource); empty for none
    bool found = false;            // file existed when the theme was read
    int widthPx = 0;               // symbol-width, 0 = not given; at most kMaxSymbolSidePx
    int heightPx = 0;              // symbol-height, likewise
    int percent = 0;               // symbol-percent, 0 = not given
};

/** One drawing instruction. One type for all kinds; each field carries the
 *  default of the theme language for the instruction's kind, and only the
 *  fields of that kind mean anything. Widths, sizes, radii and dy are in
 *  theme units: pixels at the base zoom level and display scale 1 (see
 *  RenderTheme::strokeWidth and textSize). */
struct RenderInstruction {
    InstructionKind kind = InstructionKind::Line;
    // Position in the theme: instructions are drawn in increasing order
    // (labels and symbols apart: those go by priority).
    int order = 0;
    std::string cat;               // empty: belongs to no category

    std::uint32_t fill = 0xFF000000;
    std::uint32_t stroke = 0xFF000000;
    float strokeWidth = 0;
    std::vector<float> dashArray;  // stroke-dasharray, empty for a solid line
    LineCap lineCap = LineCap::Round;
    LineJoin lineJoin = LineJoin::Round;
    Curve curve = Curve::No;
    ThemeScale scale = ThemeScale::Stroke;
    float dy = 0;                  // offset of a line or label, in theme units; + is below/right
    ThemeImage image;              // area/line pattern, symbol, line symbol

    // Labels (caption, pathText): the text is the value of tag textKey.
    std::string textKey;
    FontFamily fontFamily = FontFamily::Default;
    FontStyle fontStyle = FontStyle::Normal;
    float fontSize = 0;
    TextTransform textTransform = TextTransform::None;
    int textWrapWidth = 0;
    SymbolOrientation orientation = SymbolOrientation::Right; // pathText: Auto

    // Labels and symbols.
    int priority = 0;              // higher first
    LabelDisplay display = LabelDisplay::IfSpace;
    LabelPosition position = LabelPosition::Auto;
    std::string id;                // symbol: its id
    std::string symbolId;          // caption: the symbol it is placed beside

    // Circle.
    float radius = 0;
    bool scaleRadius = false;

    // Repeated along a way (lineSymbol, pathText).
    bool repeat = false;
    float repeatGap = 0;
    float repeatStart = 0;
    bool rotate = true;
};

/** The hill shading a theme asks for. */
struct ThemeHillshading {
    std::string cat;
    int zoomMin = 9;
    int zoomMax = 17;
    int magnitude = 128;           // 0..255, multiplied with the colour's alpha
    std::uint32_t colour = 0xFF000000;
    int layer = 5;
};

/** One layer of the style menu: a style the user chooses (visible) or a base
 *  from which styles inherit, or an overlay the user switches on and off. */
struct StyleLayer {
    std::string id;
    std::string parent;            // empty: none
    bool visible = false;          // shown to the user
    bool enabled = false;          // an overlay that is on until switched off
    std::vector<std::pair<std::string, std::string>> names; // (language, name)
    std::vector<std::string> cats;
    std::vector<std::string> overlays;
};

/** What the map's style menu shows: a style or an overlay. */
struct StyleMenuEntry {
    std::string id;
    std::string name;              // in the language asked for, else the menu's default language, else the id
    bool enabled = false;          // overlays: whether it is on (the user's switch, else the theme's default)
};

/** The style menu of a theme. Without one (`layers` empty) no category is
 *  switched off. */
struct StyleMenu {
    std::string id;
    std::string defaultValue;      // the style chosen until the user chooses
    std::string defaultLang;
    std::vector<StyleLayer> layers;

    const StyleLayer* layer(std::string_view id) const;
    // The name of a layer in language (two letters, "cs"); see StyleMenuEntry.
    std::string name(const StyleLayer& layer, std::string_view language) const;
    // The layers the user may choose from (visible ones), in theme order.
    std::vector<StyleMenuEntry> styles(std::string_view language) const;
    // The overlays of a style, its parents' overlays included, each once, in
    // theme order; switches override the theme's enabled defaults.
    std::vector<StyleMenuEntry> overlays(std::string_view style, std::string_view language,
                                         const std::map<std::string, bool>& switches = {}) const;
    // The categories drawn with that style (empty: the default style) and
    // those overlay switches: the style's cats and its parents', and the cats
    // of each overlay that is on. A style the menu does not have gives the
    // default style's categories.
    std::unordered_set<std::string> categories(std::string_view style,
                                               const std::map<std::string, bool>& switches = {}) const;
};

/** A rule, compiled. `k` and `v` are held as lists of interned ids (see
 *  RenderTheme::keyId, valueId), so matching compares integers. */
struct ThemeRule {
    ThemeElement element = ThemeElement::Any;
    ThemeClosed closed = ThemeClosed::Any;
    std::uint8_t zoomMin = 0;
    std::uint8_t zoomMax = 127;
    bool anyKey = false;           // k="*"
    bool anyValue = false;         // "*" among the values
    bool absentKey = false;        // "~": also when the element has none of the keys
    bool negated = false;          // "-": when no tag of the keys has one of the values
    int cat = -1;                  // index into RenderTheme::categories, -1 none
    std::vector<std::int32_t> keys;
    std::vector<std::int32_t> values;
    // Instructions and subrules in theme order: >= 0 an instruction index,
    // < 0 the subrule -(item + 1).
    std::vector<std::int32_t> items;
};

enum class ThemeProblemKind {
    Unreadable,    // no file, or not a render theme at all
    Broken,        // malformed XML: what came before the fault was kept
    TooDeep,       // rules nested deeper than kMaxThemeRuleDepth: the deeper ones were left out
    TooMany,       // more rules, instructions or layers than the bounds: the rest was left out
    BadValue,      // an attribute that does not read: its default was used
    SymbolTooLarge,// a symbol size beyond kMaxSymbolSidePx: clamped
    MissingImage,  // a src that names no existing file
};

struct ThemeProblem {
    ThemeProblemKind kind;
    std::string detail;            // element and attribute, or the src, for the log
};

class RenderTheme {
public:
    int version = 0;
    std::uint32_t mapBackground = 0xFFFFFFFF;
    std::uint32_t mapBackgroundOutside = 0xFFFFFFFF;
    float baseStrokeWidth = 1;
    float baseTextSize = 1;
    std::filesystem::path folder;  // where relative src paths start
    StyleMenu styleMenu;
    std::optional<ThemeHillshading> hillshading;

    std::vector<ThemeRule> rules;  // every rule; the top-level ones listed in topRules
    std::vector<std::int32_t> topRules;
    std::vector<RenderInstruction> instructions; // in theme order (index = order)
    std::vector<std::string> categories;         // the cat names rules use, interned

    // Interned key and value of the rules; -1 for one no rule names.
    std::int32_t keyId(std::string_view key) const;
    std::int32_t valueId(std::string_view value) const;
    std::int32_t internKey(const std::string& key);
    std::int32_t internValue(const std::string& value);
    std::int32_t category(const std::string& name); // interned, for the reader

    // The zoom level below which widths stay as written, and how much they
    // grow for each level above it. The theme language leaves this to the
    // renderer; these keep a path readable at zoom 18 without making roads
    // fat at 12.
    static constexpr int kBaseZoom = 12;
    static constexpr float kGrowthPerZoom = 1.5f;
    static constexpr int kMaxGrowthZoom = 22; // no growth beyond it

    // Effective stroke width in pixels of an instruction at a zoom level and a
    // display scale (device pixels per theme pixel, > 0): written width ×
    // base-stroke-width × display scale, × the zoom growth unless the
    // instruction's scale is None.
    float strokeWidth(const RenderInstruction& instruction, int zoom, float displayScale) const;
    // Font size in pixels: written size × base-text-size × display scale;
    // a pathText with scale All grows with the zoom as strokes do.
    float textSize(const RenderInstruction& instruction, int zoom, float displayScale) const;
    // The factor for the other lengths of an instruction (symbol sizes, dy,
    // repeat gaps): the display scale, × the zoom growth when its scale is All.
    float lengthScale(const RenderInstruction& instruction, int zoom, float displayScale) const;
    // A circle's radius in pixels: × display scale, × the zoom growth when
    // scale-radius is set.
    float circleRadius(const RenderInstruction& instruction, int zoom, float displayScale) const;
    // The zoom growth factor alone: 1 up to kBaseZoom.
    static float zoomGrowth(int zoom);

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
    };
    using Table = std::unordered_map<std::string, std::int32_t, TextHash, std::equal_to<>>;
    Table m_keys;
    Table m_values;
    Table m_categoryIds;
};

struct RenderThemeResult {
    std::optional<RenderTheme> theme; // empty only when nothing could be read
    std::vector<ThemeProblem> problems;
};

// Where a src points: "jar:" and "assets:" name a file inside the bundle the
// theme came from; here that is the theme's folder, and when the file is not
// there, the folder above it (bundles keep their themes in a folder of their
// own beside the shared symbols/ and patterns/). "file:" and a plain path are
// relative to the theme's folder unless absolute. Empty src gives an empty
// path.
std::filesystem::path resolveThemeSource(std::string_view src, const std::filesystem::path& themeFolder);

// The theme the program ships, in the installation folder (installDir of
// platform/Paths.h), with its symbols in the folder "tarnwick" beside it.
std::filesystem::path builtInThemeFile(const std::filesystem::path& installDir);

// Reads a theme file; relative symbol paths start at its folder.
RenderThemeResult readRenderTheme(const std::filesystem::path& file);
// Reads a theme held in memory, with folder for the symbol paths.
RenderThemeResult readRenderTheme(std::string_view bytes, const std::filesystem::path& folder);

} // namespace tw::maps
