// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// printf-style field widths over the locale-independent number writers, so
// that a German locale never turns "07.407" into "07,407".
namespace tw::geo {

/** Like printf("%W.Pf") with pad ' ', or "%0W.Pf" with pad '0'. */
std::string fixedText(double value, int decimals, int width = 0, char pad = ' ');

/** Like printf("%0Wd"): at least `width` characters, zeros after the sign. */
std::string zeroPaddedInt(long long value, int width);

/** A double that holds a whole number, written like printf("%d") writes an
 *  int, without the undefined conversion when it does not fit an int. */
std::string wholeNumberText(double value);

} // namespace tw::geo
