// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QMenu;
class QRadioButton;
class QSpinBox;
class QDoubleSpinBox;

namespace tw {

class CGlobalData;
class MainWindow;

// The online commands. Each runs its job behind the progress dialog on a
// worker thread, with Cancel; the window thread never waits on the network.
// Download by code: asks for the code (pre-filled "GC"), checks the limits.
void downloadByCodeCommand(QWidget* parent, CGlobalData& global);
// The caches nearest the list's reference point, after the search options.
void nearestCachesCommand(QWidget* parent, CGlobalData& global);
// Fresh full data of every listed cache (not for basic members).
void refreshListedCommand(QWidget* parent, CGlobalData& global);
// Only the status of every listed cache.
void refreshStatusCommand(QWidget* parent, CGlobalData& global);

// The four entries for the main window's menu, enabled as the settings allow.
void fillOnlineMenu(QMenu& menu, MainWindow& window, CGlobalData& global);

// The login that runs when the service refuses the token; it is called on
// the window thread whichever thread asks, and returns whether a token is
// there afterwards.
void setOnlineLogin(CGlobalData& global, std::function<bool()> login);

} // namespace tw
