// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "screens/FilterPage.h"

namespace tw {

// What an online search downloads: how many caches, how far from the
// reference point, only new or unfound ones, full or lite data.
class CFilterImportScr final : public FilterPage {
    Q_OBJECT
public:
    explicit CFilterImportScr(CGlobalData& global, QWidget* parent = nullptr);
    void load(const CacheFilter& filter) override;
    bool store(CacheFilter& filter, Settings& settings) override;
    // Shows a distance edited elsewhere (kilometres).
    void showDistance(double distanceKm);

signals:
    void distanceEdited(double distanceKm);

private:
    QLineEdit* m_maxCaches = nullptr;
    QLineEdit* m_distance = nullptr;
    QCheckBox* m_onlyNew = nullptr;
    QCheckBox* m_notFound = nullptr;
    QRadioButton* m_full = nullptr;
    QRadioButton* m_lite = nullptr;
};

} // namespace tw
