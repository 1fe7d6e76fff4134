// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPalette>
#include <QRgb>

#include <array>
#include <cstdint>

class QImage;
class QRect;

namespace tw {

class CGlobalData;
struct Settings;

// The looks of the program. The numbers are the stored values of the
// setting "Theme".
enum class Theme { Day = 0, Night = 1, Contrast = 2 };
inline constexpr int kThemeCount = 3;

// A stored value as a theme; an unknown one is the day theme.
Theme themeFromSetting(int value);

// The colours of a theme. Day is the palette the platform gave the program
// (passed in); night is dim red-orange on near black, which keeps the eyes
// used to the dark; high contrast is black on white with black borders, to
// be read in sunlight.
QPalette themePalette(Theme theme, const QPalette& day);
// What a palette cannot say (bold keys, thick field borders); empty for day.
QString themeStyleSheet(Theme theme);

// Puts a theme in force for the whole program at once: every widget gets
// the theme's palette (and hears QEvent::PaletteChange) and style sheet.
void applyTheme(Theme theme);
// The theme put in force last; day before any.
Theme appliedTheme();
// Takes a theme into the settings (without saving them). A theme of the
// day (day or high contrast) is also the one the night key returns to; so
// is the theme in force when the night is chosen.
void storeTheme(Settings& settings, Theme theme);
// Stores the theme in the settings, saves them, and puts it in force.
void chooseTheme(CGlobalData& global, Theme theme);
// The theme of the day the settings keep: day or high contrast, never night.
Theme dayThemeOf(const Settings& settings);
// The night key: night, and from night back to the theme of the day (day
// or high contrast) that was in force last, in this run or an earlier one.
Theme toggledTheme(const Settings& settings);

// The colours a theme gives what is drawn over a map: the GPS position
// mark, the track and route, the line to the target and the message at the
// top. By day the track and route keep the user's own colours; at night all
// of it is red and amber, dim enough to keep the eyes used to the dark; in
// high contrast the colours are deep, with edges that hold in sunlight.
struct MapInk {
    QColor track;
    QColor route;
    QColor targetLine;
    QColor fix;            // the dot and the arrow with a fix
    QColor fixBlink;       // the dot's second phase with a fix
    QColor receiving;      // data, but no fix yet
    QColor silent;         // nothing from the receiver
    QColor silentBlink;
    QColor blinkLow;       // the dot's third, smallest phase
    QColor arrowEdge;
    QColor dotEdge;        // invalid: the dot has no edge
    QColor casing;         // drawn beneath the lines, a little wider; invalid: none
};
MapInk mapInk(Theme theme, const QColor& dayTrack, const QColor& dayRoute);

// Relative luminance of a colour, 0 (black) to 1 (white), and the contrast
// of two colours, 1 (none) to 21 (black on white), as for readable text.
double luminance(const QColor& colour);
double contrastRatio(const QColor& a, const QColor& b);
// A palette with light text on a dark ground.
bool isDarkPalette(const QPalette& palette);

// How a theme changes the composed tiles of a map, raster and vector alike.
// Night turns the map's light paper dark and its dark lines dim red-orange;
// high contrast steepens the colours for sunlight; day leaves every pixel.
// Each pixel is one table look-up, so panning stays fast.
class TileLook {
public:
    explicit TileLook(Theme theme = Theme::Day);
    Theme theme() const { return m_theme; }
    bool changesPixels() const { return m_theme != Theme::Day; }
    // The colour (0xRRGGBB) the composer fills places without tiles with,
    // chosen so that it looks like the window's ground once the look is
    // applied.
    std::uint32_t background(const QPalette& palette) const;
    // Changes the pixels of an RGB32 image inside the area.
    void apply(QImage& image, const QRect& area) const;

private:
    Theme m_theme;
    std::array<QRgb, 256> m_byLuma{};       // night: a colour for each luminance
    std::array<std::uint8_t, 256> m_steep{}; // high contrast: each channel
};

} // namespace tw
