// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "login/HandoverFile.h"

#include <QString>
#include <QUrl>

#include <optional>

namespace lorvik {

// The relay's sign-in address for the stored ticket and signature:
// <relay>login.php?a=<twa>&b=<twb>; a value that cannot be read is left out.
QUrl signInAddress(const QUrl& relay, const HandoverFile& handover);

// The token a finished sign-in page carries: the text after the first "=" of
// its address, at most 99 characters. Only an address that contains "done"
// and comes from the relay's own scheme, host and port counts.
std::optional<QString> tokenOfDonePage(const QUrl& page, const QUrl& relay);

} // namespace lorvik
