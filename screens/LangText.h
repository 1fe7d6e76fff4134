// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CGlobalData.h"

#include <QString>

namespace tw {

// A text of the language table, for a widget.
inline QString langText(const CGlobalData& global, int number)
{
    return QString::fromStdString(global.text(number));
}

} // namespace tw
