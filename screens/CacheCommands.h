// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QMenu;
class QWidget;

namespace tw {

class CGlobalData;
class CWaypoint;
class MainWindow;

// The commands on the current cache: the first of the recent list, which
// the cache list sets when a row is tapped. Each does nothing and returns
// false while there is no current cache.

// Edits the user's own note on the cache.
bool editNoteCommand(QWidget* window, CGlobalData& global);
// Records a find on a date the user picks (today by default) at the
// present time of day, or, after asking, a Didn't find it for today.
bool recordVisitCommand(QWidget* window, CGlobalData& global, bool found);
// Deletes the cache after asking; the list and the status line follow.
bool deleteCacheCommand(QWidget* window, CGlobalData& global);
// Copies the coordinates to the clipboard, with the system's short sound.
bool copyCoordinatesCommand(CGlobalData& global);
// Makes the cache, or one of its waypoints, the navigation target; a
// waypoint without a position is none.
bool navigateToCacheCommand(CGlobalData& global);
void navigateToWaypointCommand(CGlobalData& global, const CWaypoint& waypoint);
// Puts the visit screen (field note) or the tags screen of the cache on the window.
bool openVisitScreen(MainWindow& window, CGlobalData& global);
bool openTagsScreen(MainWindow& window, CGlobalData& global);
// The text tools on a text (a selection of the listing, or empty).
void textToolsCommand(QWidget* window, CGlobalData& global, const QString& text = {});
// The field-notes export dialog; true when the file was written.
bool exportFieldNotesCommand(QWidget* window, CGlobalData& global);

// The commands above as entries of the Menu key of a cache's screen.
// Deleting the cache closes the top screen (unless it is the list).
void addCacheCommands(QMenu& menu, MainWindow& window, CGlobalData& global);

} // namespace tw
