// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tw::net {

// The bodies of the Live API calls: fixed templates whose placeholders
// ("%ACCESS%", "%NICK%", ...) are filled just before sending.

// Ampersand, less-than, greater-than, double quote and apostrophe as entities.
std::string xmlEscape(std::string_view text);

// Replaces every "%NAME%" of the template whose NAME is a key of values, in
// one pass: a value that itself reads like a placeholder stays as it is.
std::string fillTemplate(std::string_view templ, const std::map<std::string, std::string>& values);

// SearchForGeocaches for the given codes (escaped here): maxPerPage 1 for a
// download by code, 10 for a refresh. Placeholders: ACCESS, ISLITE.
std::string searchByCodesTemplate(const std::vector<std::string>& codes, int maxPerPage);
// GetGeocacheStatus for the given codes. Placeholder: ACCESS.
std::string statusTemplate(const std::vector<std::string>& codes);
// SearchForGeocaches around a point. Placeholders: ACCESS, ISLITE,
// MAX_PER_PAGE, DIST, LAT, LON and NICK. basicMember limits the search to
// traditional caches; notFoundBlock leaves out the caches the user found.
std::string nearestTemplate(bool basicMember, bool notFoundBlock);
// GetMoreGeocaches. Placeholders: ACCESS, ISLITE, START_INDEX, MAX_PER_PAGE.
std::string moreTemplate();
// GetYourUserProfile. Placeholder: ACCESS.
std::string profileTemplate();
// CreateFieldNoteAndPublish. Placeholders: ACCESS, CODE, TYPE, DATE, TEXT.
std::string publishTemplate();

// The note of a published field note: escaped, every line feed sent as a
// CR LF character reference pair.
std::string noteText(std::string_view note);
// "YYYY-MM-DDTHH:MM:00" of a local time.
std::string noteDate(const std::tm& local);
// "%f" and "%.0f" with a decimal point whatever the locale.
std::string fixed6(double value);
std::string fixed0(double value);

} // namespace tw::net
