// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <QDialog>

#include <optional>

namespace tw {

class CGlobalData;
class CoordEdit;

// A dialog that asks for one position in the coordinate fields.
class CoordEntryDialog final : public QDialog {
    Q_OBJECT
public:
    CoordEntryDialog(CGlobalData& global, geo::LatLon initial, QWidget* parent = nullptr);

    CoordEdit* coordEdit() const { return m_edit; }
    // The confirmed position (valid after the dialog was accepted).
    geo::LatLon result() const { return m_result; }
    void accept() override;

    // Places and runs the dialog over the window; nothing when cancelled.
    static std::optional<geo::LatLon> ask(QWidget* window, CGlobalData& global, geo::LatLon initial);

private:
    CGlobalData& m_global;
    CoordEdit* m_edit = nullptr;
    geo::LatLon m_result;
};

} // namespace tw
