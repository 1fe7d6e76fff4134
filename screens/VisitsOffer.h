// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/VisitsImport.h"

#include <QObject>
#include <QTimer>

#include <set>
#include <string>

class QWidget;

namespace tw {

class CGlobalData;
class CProgressDlg;
class JobProgress;

// Offers the visits of a handheld GPS when one is plugged in while the
// program runs. Every few seconds it lists the folders under the mount
// folders (a stat each, in the window thread); a volume that appeared and
// holds visits newer than the ones taken from it is offered once.
class VisitsOffer final : public QObject {
    Q_OBJECT
public:
    VisitsOffer(CGlobalData& global, QWidget* window);

    // One look at the mount folders; the volumes there at the first look
    // are taken as known. Returns the number of units offered.
    int check();

    // Reads the visits with the progress dialog; its completion lists the
    // visits taken and those that could not be placed.
    static VisitsSummary readWithProgress(QWidget* parent, CGlobalData& global, const VisitsSource& source);
    // The parts of it: the dialog with the visits' counters, and the read
    // into it, ending with the listing of what was taken and not placed.
    static CProgressDlg* makeDialog(QWidget* parent, CGlobalData& global);
    static VisitsSummary readInto(JobProgress& dialog, CGlobalData& global, const VisitsSource& source);

private:
    CGlobalData& m_global;
    QWidget* m_window;
    QTimer m_timer;
    std::set<std::string> m_known;
    bool m_looked = false;
};

} // namespace tw
