// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string>
#include <vector>

class QWidget;

namespace tw {

class CGlobalData;

// "Print sheet…" of the listing: asks for the PDF file, writes the cache's
// sheet, and says in the status line where it went (or why not, in a message).
void printSheetCommand(QWidget* parent, CGlobalData& global, const std::string& code);
// The sheets of every cache of the filter into one PDF file, behind the
// progress dialog, which can cancel them.
void printListedSheetsCommand(QWidget* parent, CGlobalData& global);

// The writing behind both, once the file is chosen: one cache is written at
// once, more behind the progress dialog. Returns the completion sentence,
// which the status line shows when the file was written; a failure is also
// shown as a message.
QString printSheets(QWidget* parent, CGlobalData& global, const std::vector<std::string>& codes, const QString& path);

} // namespace tw
