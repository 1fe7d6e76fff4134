// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QDialog;
class QWidget;

namespace tw {

class CGlobalData;

// Places a dialog as the window's size asks: on a narrow window (a handheld
// held upright) it covers the window with large OK/Cancel keys at the
// bottom; on a wide one it is a centred dialog no wider than 600 px.
void placeDialog(QDialog& dialog, QWidget* window);

// Places the dialog and runs it modally; returns QDialog::Accepted or Rejected.
int execDialog(QDialog& dialog, QWidget* window);

} // namespace tw
