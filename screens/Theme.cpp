// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/Theme.h"

#include "app/CGlobalData.h"
#include "app/Settings.h"
#include "platform/Notifier.h"

#include <QApplication>
#include <QImage>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tw {
namespace {

Theme g_applied = Theme::Day;
// The platform's palette, taken before the first theme replaced it.
std::optional<QPalette> g_dayPalette;

void setAll(QPalette& p, QPalette::ColorRole role, const QColor& c)
{
    p.setColor(QPalette::Active, role, c);
    p.setColor(QPalette::Inactive, role, c);
    p.setColor(QPalette::Disabled, role, c);
}

void setTexts(QPalette& p, const QColor& enabled, const QColor& disabled)
{
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText}) {
        setAll(p, role, enabled);
        p.setColor(QPalette::Disabled, role, disabled);
    }
}

// Red light above about 620 nm leaves the eyes' dark adaptation alone:
// every colour is a dim red-orange, the grounds nearly black. Fields are a
// shade lighter than the window so they still show where they are.
QPalette nightPalette()
{
    QPalette p;
    setAll(p, QPalette::Window, QColor(12, 5, 4));
    setAll(p, QPalette::Base, QColor(28, 12, 8));
    setAll(p, QPalette::AlternateBase, QColor(38, 16, 10));
    setAll(p, QPalette::Button, QColor(40, 17, 10));
    setAll(p, QPalette::Light, QColor(96, 44, 26));
    setAll(p, QPalette::Midlight, QColor(70, 32, 20));
    setAll(p, QPalette::Mid, QColor(110, 50, 28));
    setAll(p, QPalette::Dark, QColor(8, 3, 2));
    setAll(p, QPalette::Shadow, QColor(0, 0, 0));
    setAll(p, QPalette::Highlight, QColor(112, 38, 16));
    setAll(p, QPalette::HighlightedText, QColor(236, 146, 96));
    setAll(p, QPalette::Link, QColor(232, 130, 76));
    setAll(p, QPalette::LinkVisited, QColor(186, 106, 72));
    setAll(p, QPalette::BrightText, QColor(250, 150, 90));
    setAll(p, QPalette::ToolTipBase, QColor(40, 17, 10));
    setAll(p, QPalette::PlaceholderText, QColor(128, 60, 32));
    setTexts(p, QColor(204, 92, 44), QColor(110, 50, 26));
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(22, 9, 6));
    return p;
}

// Black on white, the strongest there is; borders black, the selection black.
QPalette contrastPalette()
{
    QPalette p;
    const QColor white(255, 255, 255);
    const QColor black(0, 0, 0);
    setAll(p, QPalette::Window, white);
    setAll(p, QPalette::Base, white);
    setAll(p, QPalette::AlternateBase, QColor(236, 236, 236));
    setAll(p, QPalette::Button, QColor(232, 232, 232));
    setAll(p, QPalette::Light, white);
    setAll(p, QPalette::Midlight, QColor(224, 224, 224));
    setAll(p, QPalette::Mid, black);
    setAll(p, QPalette::Dark, black);
    setAll(p, QPalette::Shadow, black);
    setAll(p, QPalette::Highlight, black);
    setAll(p, QPalette::HighlightedText, white);
    setAll(p, QPalette::Link, QColor(0, 0, 190));
    setAll(p, QPalette::LinkVisited, QColor(90, 0, 140));
    setAll(p, QPalette::BrightText, white);
    setAll(p, QPalette::ToolTipBase, white);
    setAll(p, QPalette::PlaceholderText, QColor(80, 80, 80));
    setTexts(p, black, QColor(96, 96, 96));
    return p;
}

double linear(int channel)
{
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int lumaOf(QRgb c)
{
    // Integer weights of the luminance, summing to 256.
    return (qRed(c) * 54 + qGreen(c) * 183 + qBlue(c) * 19) >> 8;
}

} // namespace

Theme themeFromSetting(int value)
{
    return value >= 0 && value < kThemeCount ? static_cast<Theme>(value) : Theme::Day;
}

QPalette themePalette(Theme theme, const QPalette& day)
{
    switch (theme) {
    case Theme::Night: return nightPalette();
    case Theme::Contrast: return contrastPalette();
    case Theme::Day: break;
    }
    return day;
}

QString themeStyleSheet(Theme theme)
{
    switch (theme) {
    case Theme::Contrast:
        // In sunlight a thin grey frame vanishes: fields get a black one,
        // keys and tabs bold text.
        return QStringLiteral("QPushButton, QToolButton, QTabBar::tab:selected, QCheckBox, QRadioButton,"
                              " QLabel#statusLine { font-weight: bold; }"
                              "QLineEdit, QPlainTextEdit, QTextEdit, QAbstractItemView { border: 2px solid black; }");
    case Theme::Night:
        // The window's own frames are drawn a shade darker than its ground,
        // which is nothing at night: the fields' edges are drawn dim.
        return QStringLiteral("QLineEdit, QPlainTextEdit, QAbstractItemView { border: 1px solid rgb(110, 50, 28); }");
    case Theme::Day: break;
    }
    return {};
}

void applyTheme(Theme theme)
{
    if (g_dayPalette && theme == g_applied)
        return;
    if (!g_dayPalette)
        g_dayPalette = QApplication::palette();
    g_applied = theme;
    QApplication::setPalette(themePalette(theme, *g_dayPalette));
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        app->setStyleSheet(themeStyleSheet(theme));
}

Theme appliedTheme()
{
    return g_applied;
}

void storeTheme(Settings& settings, Theme theme)
{
    // The night is left for the day it was chosen from, even when that
    // came from settings written before the day's theme was kept.
    Theme day = theme;
    if (theme == Theme::Night) {
        const Theme before = themeFromSetting(settings.theme);
        day = before != Theme::Night ? before : dayThemeOf(settings);
    }
    settings.theme = static_cast<int>(theme);
    settings.dayTheme = static_cast<int>(day);
}

void chooseTheme(CGlobalData& global, Theme theme)
{
    storeTheme(global.settings, theme);
    global.SaveSettings(SettingsGroup::General);
    applyTheme(theme);
    // The window takes what else belongs to the theme.
    global.notifier.stateChanged(Topic::Settings);
}

Theme dayThemeOf(const Settings& settings)
{
    const Theme day = themeFromSetting(settings.dayTheme);
    return day == Theme::Night ? Theme::Day : day;
}

Theme toggledTheme(const Settings& settings)
{
    return g_applied == Theme::Night ? dayThemeOf(settings) : Theme::Night;
}

MapInk mapInk(Theme theme, const QColor& dayTrack, const QColor& dayRoute)
{
    switch (theme) {
    case Theme::Night:
        // Red for the position, amber for the way walked: both apart from the
        // map's red-orange lines, neither brighter than the night's text by
        // much. A black casing parts them from the lines they cross.
        return {.track = QColor(206, 122, 20),
                .route = QColor(176, 36, 20),
                .targetLine = QColor(214, 52, 24),
                .fix = QColor(236, 60, 24),
                .fixBlink = QColor(250, 96, 50),
                .receiving = QColor(206, 122, 20),
                .silent = QColor(140, 22, 12),
                .silentBlink = QColor(172, 38, 20),
                .blinkLow = QColor(92, 30, 14),
                .arrowEdge = QColor(0, 0, 0),
                .dotEdge = QColor(0, 0, 0),
                .casing = QColor(0, 0, 0)};
    case Theme::Contrast:
        // Deep colours that no map paints its lines in, with a white casing
        // against dark roads and a black edge around the position.
        return {.track = QColor(200, 0, 130),
                .route = QColor(100, 0, 190),
                .targetLine = QColor(210, 0, 0),
                .fix = QColor(0, 0, 220),
                .fixBlink = QColor(40, 40, 255),
                .receiving = QColor(200, 90, 0),
                .silent = QColor(190, 0, 0),
                .silentBlink = QColor(240, 30, 30),
                .blinkLow = QColor(255, 255, 255),
                .arrowEdge = QColor(0, 0, 0),
                .dotEdge = QColor(0, 0, 0),
                .casing = QColor(255, 255, 255)};
    case Theme::Day: break;
    }
    return {.track = dayTrack,
            .route = dayRoute,
            .targetLine = QColor(255, 0, 0),
            .fix = QColor(0, 0, 255),
            .fixBlink = QColor(60, 60, 255),
            .receiving = QColor(255, 140, 0),
            .silent = QColor(220, 0, 0),
            .silentBlink = QColor(255, 60, 60),
            .blinkLow = QColor(255, 255, 255),
            .arrowEdge = QColor(255, 255, 255),
            .dotEdge = QColor(),
            .casing = QColor()};
}

double luminance(const QColor& colour)
{
    return 0.2126 * linear(colour.red()) + 0.7152 * linear(colour.green()) + 0.0722 * linear(colour.blue());
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool isDarkPalette(const QPalette& palette)
{
    return luminance(palette.color(QPalette::Base)) < luminance(palette.color(QPalette::Text));
}

TileLook::TileLook(Theme theme) : m_theme(theme)
{
    for (int i = 0; i < 256; ++i) {
        // Night: paper (light) becomes the darkest, lines (dark) the
        // brightest, which stays a dim red-orange; the curve keeps the
        // many light shades of a map's ground dark.
        const double ink = std::pow(1.0 - i / 255.0, 1.3);
        m_byLuma[static_cast<std::size_t>(i)] = qRgb(static_cast<int>(std::lround(14 + ink * 206)),
                                                     static_cast<int>(std::lround(6 + ink * 84)),
                                                     static_cast<int>(std::lround(4 + ink * 30)));
        // High contrast: the middle shades steepened, the ends kept.
        const double x = i / 255.0 - 0.5;
        const double steep = 0.5 + 0.5 * std::tanh(3.2 * x) / std::tanh(1.6);
        m_steep[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(std::clamp(std::lround(steep * 255), 0L, 255L));
    }
}

std::uint32_t TileLook::background(const QPalette& palette) const
{
    switch (m_theme) {
    case Theme::Night: return 0xFFFFFF; // paper, which the look turns into the night's ground
    case Theme::Contrast: return 0xFFFFFF;
    case Theme::Day: break;
    }
    return palette.color(QPalette::Window).rgb() & 0xFFFFFF;
}

void TileLook::apply(QImage& image, const QRect& area) const
{
    if (!changesPixels())
        return;
    const QRect r = area & image.rect();
    if (r.isEmpty())
        return;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* p = reinterpret_cast<QRgb*>(image.scanLine(y)) + r.left();
        auto* const end = p + r.width();
        if (m_theme == Theme::Night) {
            for (; p != end; ++p)
                *p = m_byLuma[static_cast<std::size_t>(lumaOf(*p))];
        } else {
            for (; p != end; ++p)
                *p = qRgb(m_steep[static_cast<std::size_t>(qRed(*p))], m_steep[static_cast<std::size_t>(qGreen(*p))],
                          m_steep[static_cast<std::size_t>(qBlue(*p))]);
        }
    }
}

} // namespace tw
