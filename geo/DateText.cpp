// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/DateText.h"

#include "platform/Numbers.h"
#include "platform/Text.h"

namespace tw::geo {

int gpxDate(const std::string& text)
{
    return num::leadingInt(text::replaceAll(text, "-", "")).value_or(0);
}

} // namespace tw::geo
