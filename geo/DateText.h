// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw::geo {

/** YYYYMMDD of a date or time text as exchange files and the Live service
 *  write them: the dashes removed, the leading number read
 *  ("2011-11-24T19:00:00Z" gives 20111124); 0 when there is none. */
int gpxDate(const std::string& text);

} // namespace tw::geo
