// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string>

class QDialog;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QWidget;

namespace tw {

class CGlobalData;

// A bold caption for the top of a dialog: a dialog that covers a narrow
// window has no title bar to say what it is.
QLabel* makeDialogCaption(const QString& text, QWidget* parent);

// Finger-sized OK and Cancel keys wired to the dialog's accept and reject.
QDialogButtonBox* makeDialogKeys(const CGlobalData& global, QDialog& dialog);

// A push button at least as tall as a finger tap.
QPushButton* makeTouchButton(const CGlobalData& global, const QString& text, QWidget* parent);

// Multi-line texts end their lines with CR LF in the core and with LF in an
// edit widget.
QString linesForWidget(const std::string& text);
std::string linesFromWidget(const QString& text);

} // namespace tw
