// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace tw {

class CGlobalData;
class CProgressDlg;

// The progress dialog of a send, titled and with its buttons.
CProgressDlg* makeSendDialog(CGlobalData& global, QWidget* parent);

// Send to GPS on the cache list's menu: the unit found (a choice when there
// are several, the folder picker when none), then the send on a worker
// behind the progress dialog, which can cancel it and says how it went.
void sendToDeviceCommand(QWidget* parent, CGlobalData& global);

} // namespace tw
