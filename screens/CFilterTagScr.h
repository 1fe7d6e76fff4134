// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "screens/FilterPage.h"

class QButtonGroup;
class QListWidget;

namespace tw {

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

} // namespace tw
