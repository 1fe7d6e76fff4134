// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

namespace tw {

// The pictures of the listing pages, drawn by the program itself.

// The attribute names that have a picture of their own, lower case ("dogs",
// "hike_short", "s-tool" …).
QStringList drawnAttributeNames();

// The icon of an attribute entry such as "dogs-yes" or "fuel-no" (any case):
// a rounded square in the colour of the attribute's kind with its picture;
// "-no" strikes it through. An unknown name gets a neutral square with its
// initial. A null image for a text that is no attribute entry.
QImage attributeIcon(const QString& entry, int px);

// The icon of a log type number (see listing::logIconNumber).
QImage logTypeIcon(int number, int px);

} // namespace tw
