// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CWaypoint.h"

#include <QDialog>
#include <QString>

#include <string>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tw {

class CGlobalData;
class CoordEdit;

// The shown name of a waypoint type number.
QString waypointTypeName(const CGlobalData& global, int type);

// Edits one waypoint: name, type, prefix (chosen only while it is new),
// coordinates, the description it came with and the user's note, which
// holds its formulas. OK stores it; Delete removes a stored one after asking.
class WaypointEditor final : public QDialog {
    Q_OBJECT
public:
    WaypointEditor(CGlobalData& global, CWaypoint& waypoint, bool isNew, QWidget* parent = nullptr);

    // Checks the coordinates and stores the waypoint; stays open when they
    // are no position or the store failed.
    void accept() override;
    QSize sizeHint() const override;
    // Asks, then deletes the stored waypoint and closes as accepted.
    void deleteWaypoint();
    // The projection and formula dialogs, over this one.
    void openProjection();
    void openFormulas();

    bool deleted() const { return m_deleted; }
    CoordEdit* coordEdit() const { return m_coords; }

private:
    CGlobalData& m_global;
    CWaypoint& m_waypoint;
    bool m_isNew;
    bool m_deleted = false;
    QLineEdit* m_name = nullptr;
    QComboBox* m_type = nullptr;
    QLineEdit* m_prefix = nullptr;
    CoordEdit* m_coords = nullptr;
    QPlainTextEdit* m_description = nullptr;
    QPlainTextEdit* m_note = nullptr;
    QWidget* m_page = nullptr;
};

// Opens the waypoint editor over the window. True when the waypoint was
// stored (its key is set) or deleted (its key is 0 again).
bool editWaypoint(QWidget* window, CGlobalData& global, CWaypoint& waypoint, bool isNew);

// A new waypoint of the cache `code` (GC0: one of the user's own) filled from
// text selected in its listing: coordinates when the text reads as such,
// otherwise the text as the waypoint's note. True when it was stored.
bool newWaypointFromText(QWidget* window, CGlobalData& global, const std::string& code, const std::string& text);

} // namespace tw
