// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QString>

namespace tw {

// The icons live in a static library: its resources are registered by hand
// (once; every function that draws an icon calls this first), or the linker
// drops them with the unreferenced object file.
void registerIconResources();

// The list's own icons, drawn from the SVG files in the resources at the size
// asked for and kept in the pixmap cache.

// Resource path of the icon of a cache type number ("Other" for unknown ones).
QString cacheTypeIconPath(int type);
// Resource path of the icon of a container size number.
QString cacheSizeIconPath(int size);

// The type icon with the cache's state drawn over its corner: archived wins
// over disabled, and a find is shown on an available cache.
QPixmap cacheIcon(int type, int status, bool found, int px);
QPixmap cacheSizeIcon(int size, int px);
// The icon of a waypoint type number (Reference Point for unknown ones).
QPixmap waypointIcon(int type, int px);
// The direction arrow turned to one of the eight compass sectors (0 north,
// clockwise); a null pixmap for sector 8 (no direction).
QPixmap directionArrow(int sector, int px);

} // namespace tw
