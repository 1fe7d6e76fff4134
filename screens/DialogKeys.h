// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QBoxLayout;
class QDialog;
class QDialogButtonBox;

namespace tw {

class CGlobalData;

// The keys at the bottom of a dialog, finger-sized: OK and Cancel, or
// Close alone. OK accepts, Cancel and Close reject (as Esc does). The
// dialog takes the font of the window it belongs to.
QDialogButtonBox* addDialogKeys(QDialog& dialog, QBoxLayout& layout, const CGlobalData& global,
                                bool okAndCancel = true);

// A menu entry's text as a title: without the trailing ellipsis.
QString titleOf(QString menuText);

} // namespace tw
