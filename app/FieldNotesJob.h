// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <string>

namespace tw {

class CGlobalData;
class CGeocache;

// The field-note operations of the visit screen and the export, with the
// found count kept in step.

// Stores the note of a visit; the found count follows the found date (a
// new find adds one, a withdrawn one takes one away).
bool saveFieldNote(CGlobalData& global, CGeocache& cache, int logType, const std::string& text, std::time_t visit);
// Removes the note (its text, type and time tags), the find and the
// published mark.
bool deleteFieldNote(CGlobalData& global, CGeocache& cache);
// Counts the found caches again; returns the number shown (with the finds
// made outside the database).
int recountFinds(CGlobalData& global);
// The text a published note carries: as typed, or through the template
// when WebLogUseFNT is on.
std::string publishedNoteText(CGlobalData& global, int logType, std::time_t visit, const std::string& text);

// Writes the notes since the given time to the file of the settings (FNFile).
// A file that cannot be written is reported and returns false.
bool exportFieldNotes(CGlobalData& global, std::time_t since);

} // namespace tw
