// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CGlobalData.h"

class QMenu;
class QWidget;

namespace tw {

class MainWindow;

// The main menu's entries for the way out: GPS on/off, display off, the GPS
// screen, navigation, the track manager and the field-notes export.
void fillMovingMenu(QMenu& menu, MainWindow& window, CGlobalData& global);

// Makes the target the navigation target (and the proximity alert's) and
// shows the navigation view.
void navigateTo(MainWindow& window, CGlobalData& global, const NavigationTarget& target);

// The screens and dialogs of the menu, for the window's shortcuts.
void openGpsScreen(MainWindow& window, CGlobalData& global);
void openNavigation(MainWindow& window, CGlobalData& global);
void openTrackManager(QWidget* parent, CGlobalData& global);
// Darkens the screen until it is tapped or a key is pressed; the program,
// the receiver and the track logger keep running.
void displayOff(MainWindow& window, CGlobalData& global);

} // namespace tw
