// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace tw {

class CGlobalData;

// The file commands of the main menu. Each asks for the file, runs the job
// behind the progress dialog and leaves the cache list reloaded.

// Import GPX: 1 when the import ran to its end and was confirmed, else 2.
int importGpxCommand(QWidget* parent, CGlobalData& global);
// Export GPX: the caches of the current filter.
void exportGpxCommand(QWidget* parent, CGlobalData& global);
// Load route: every route and track of a GPX, KML, PLT or RTE file, drawn on the map.
void loadRouteCommand(QWidget* parent, CGlobalData& global);

} // namespace tw
