// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "screens/FilterPage.h"

class QButtonGroup;

namespace tw {

class CoordEdit;

// The point distances are measured from: the GPS position, the map centre,
// a point the user enters (typed or pasted) or home.
class CFilterPosScr final : public FilterPage {
    Q_OBJECT
public:
    explicit CFilterPosScr(CGlobalData& global, QWidget* parent = nullptr);
    void load(const CacheFilter& filter) override;
    // A point that does not read is refused while the entered point is the
    // reference; otherwise the stored point stays.
    bool store(CacheFilter& filter, Settings& settings) override;

private:
    QButtonGroup* m_mode = nullptr;
    CoordEdit* m_point = nullptr;
};

} // namespace tw
