// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <optional>
#include <string>
#include <string_view>

namespace tw::geo {

/** Reads coordinates that the user typed, pasted or selected (UTF-8).
 *
 *  Four numbers are degrees and minutes of latitude and longitude:
 *  "N 50° 07.407 E 014° 30.000", "50 07.407 14 30.000", "50d07.407 14d30.000".
 *  Two numbers are the minutes of each value, the whole degrees coming from
 *  `base` (the position of the open cache, or 0, 0 when there is none); a
 *  whole number is thousandths of a minute, the whole minutes coming from the
 *  base too: with the base 50°07.407' "08.500 ..." gives 50°08.500' and
 *  "123 ..." gives 50°07.123'. A third number is ignored.
 *
 *  Hemispheres: a value is southern (western) when the text names S (W) as a
 *  letter of its own, when its degrees are typed negative, or when the text
 *  names no hemisphere for it and the base value is negative; so every text
 *  formatCoords writes reads back to its own point. Letters N, S, E, W, line
 *  breaks, degree signs, "d" and apostrophes may stand anywhere.
 *
 *  Nothing when the text is empty, holds fewer than two numbers, or a number
 *  is not finite. */
std::optional<LatLon> parseCoords(std::string_view text, LatLon base = {});

/** -1 or +1 for the hemisphere letter the text names first for a value (S or
 *  N for the latitude, W or E for the longitude), 0 when it names neither.
 *  Only a letter standing alone counts. */
int namedHemisphere(std::string_view text, bool isLongitude);

/** A masked coordinate field "DD° MM.MMM'" (or "DDD° ..."): degrees + minutes / 60,
 *  negated when the hemisphere list shows "S" (latitude) or "W" (longitude);
 *  0 when the field does not read as degrees and minutes. */
double readCoordField(std::string_view fieldText, std::string_view hemisphereText, bool isLongitude);

} // namespace tw::geo
