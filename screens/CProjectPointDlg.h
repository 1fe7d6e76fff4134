// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <QDialog>

#include <optional>

class QDoubleSpinBox;

namespace tw {

class CGlobalData;

// Projects a point by a distance in metres and a bearing in degrees.
class CProjectPointDlg final : public QDialog {
    Q_OBJECT
public:
    CProjectPointDlg(CGlobalData& global, geo::LatLon from, QWidget* parent = nullptr);

    QDoubleSpinBox* distanceField() const { return m_distance; }
    QDoubleSpinBox* bearingField() const { return m_bearing; }
    geo::LatLon result() const;

    // Places and runs the dialog; nothing when cancelled.
    static std::optional<geo::LatLon> project(QWidget* window, CGlobalData& global, geo::LatLon from);

private:
    geo::LatLon m_from;
    QDoubleSpinBox* m_distance = nullptr;
    QDoubleSpinBox* m_bearing = nullptr;
};

} // namespace tw
