// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/BatchActions.h"
#include "maps/MapComposer.h"
#include "maps/TileRenderer.h"

#include <QPalette>

#include <cstdio>
#include <map>
#include <string>

namespace tw {

class CGlobalData;
namespace maps {
struct MapSource;
struct MapTypeChoice;
}

// What the renderer of a vector source draws from: its map files, the theme
// of the options (else the one beside the maps, else the built-in), the
// style and overlays remembered for that theme, the program's language.
maps::VectorMapSettings vectorMapSettingsOf(const CGlobalData& global, const maps::MapSource& source,
                                            float displayScale);

// How the map screen composes its tiles: the chosen map type and overlays,
// the external paint switch, the window's background behind missing tiles.
maps::ComposeOptions composeOptionsOf(const maps::MapTypeChoice& choice, bool extPaint, const QPalette& palette);

// The remembered overlay switches, "id=1,id=0".
std::map<std::string, bool> readOverlaySwitches(const std::string& text);
std::string writeOverlaySwitches(const std::map<std::string, bool>& switches);

// The batch word "png": the map view centred at the position as the map
// screen composes it (tiles, the listed caches with their waypoints, the
// loaded route) written as a PNG file. Vector sources are drawn with the
// global's renderers, every tile at once. False with the reason on err when
// the source is unknown, the zoom outside its limits, nothing is at that
// place, or the file cannot be written.
bool drawMapPicture(CGlobalData& global, const MapPictureRequest& request, std::FILE* err);

} // namespace tw
