// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "screens/FilterPage.h"

class QComboBox;

namespace tw {

// Code, name and owner texts, words searched in the caches' texts and where
// they are looked for, the distance limit, status, final location,
// the list's row limit and whether the user owns or found the cache.
// The distance is shown here and on the search page; each writes it only
// when it was typed there, so the last one typed wins and an untouched,
// rounded copy never replaces the stored value.
class CFilterPropsScr final : public FilterPage {
    Q_OBJECT
public:
    explicit CFilterPropsScr(CGlobalData& global, QWidget* parent = nullptr);
    void load(const CacheFilter& filter) override;
    bool store(CacheFilter& filter, Settings& settings) override;
    // Shows a distance edited elsewhere (kilometres).
    void showDistance(double distanceKm);

signals:
    // The user typed a distance (kilometres).
    void distanceEdited(double distanceKm);

private:
    QLineEdit* m_code = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_owner = nullptr;
    QLineEdit* m_text = nullptr;
    QComboBox* m_textFields = nullptr;
    QLineEdit* m_distance = nullptr;
    QCheckBox* m_active = nullptr;
    QCheckBox* m_disabled = nullptr;
    QCheckBox* m_archived = nullptr;
    QCheckBox* m_final = nullptr;
    QLineEdit* m_maxRows = nullptr;
    QComboBox* m_owned = nullptr;
    QComboBox* m_found = nullptr;
};

} // namespace tw
