// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filter/CacheFilter.h"
#include "screens/FilterPage.h"

#include <array>

namespace tw {

// The ten cache-type and the six waypoint-type selections.
class CFilterTypesScr final : public FilterPage {
    Q_OBJECT
public:
    explicit CFilterTypesScr(CGlobalData& global, QWidget* parent = nullptr);
    void load(const CacheFilter& filter) override;
    bool store(CacheFilter& filter, Settings& settings) override;

private:
    std::array<QCheckBox*, CacheFilter::kCacheTypeSlots> m_cacheTypes{};
    std::array<QCheckBox*, CacheFilter::kWaypointTypeSlots> m_wptTypes{};
};

} // namespace tw
