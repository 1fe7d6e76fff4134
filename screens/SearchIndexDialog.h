// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

namespace tw {

class CGlobalData;

// The one-time build of the search index: asks the user first when ask is
// true, then builds it on a worker with its own connection behind the
// progress dialog, which can cancel it. True when the open cache database
// has its index afterwards. A cancelled or failed build leaves the database
// as it was.
bool buildSearchIndex(QWidget* parent, CGlobalData& global, bool ask);

} // namespace tw
