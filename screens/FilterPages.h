// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filter/CacheFilter.h"
#include "screens/FilterPage.h"

#include <array>

class QButtonGroup;
class QComboBox;
class QListWidget;

namespace tw {

// Code, name and owner texts, the distance limit, status, final location,
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
    QLineEdit* m_distance = nullptr;
    QCheckBox* m_active = nullptr;
    QCheckBox* m_disabled = nullptr;
    QCheckBox* m_archived = nullptr;
    QCheckBox* m_final = nullptr;
    QLineEdit* m_maxRows = nullptr;
    QComboBox* m_owned = nullptr;
    QComboBox* m_found = nullptr;
};

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

// Only caches with (or without) a tag, chosen from the categories and values
// in the database.
class CFilterTagScr final : public FilterPage {
    Q_OBJECT
public:
    explicit CFilterTagScr(CGlobalData& global, QWidget* parent = nullptr);
    void load(const CacheFilter& filter) override;
    bool store(CacheFilter& filter, Settings& settings) override;

private:
    void fillValues(const QString& selectValue);

    QButtonGroup* m_mode = nullptr;
    QListWidget* m_categories = nullptr;
    QListWidget* m_values = nullptr;
};

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
