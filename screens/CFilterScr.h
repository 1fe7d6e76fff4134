// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filter/CacheFilter.h"
#include "screens/Screen.h"

#include <optional>
#include <vector>

class QTabWidget;


namespace tw {

struct Settings;
class CFilterImportScr;
class CFilterManagScr;
class FilterPage;
class MainWindow;

// The filter screen: which caches the list shows and from where distances
// are measured, as pages of large tabs. OK stores every page, saves the
// filter and the settings, reloads the list and closes the screen; Back
// leaves everything as it was.
class CFilterScr final : public Screen {
    Q_OBJECT
public:
    enum class Pages {
        Filter,        // properties, types, position, tags, saved filters, search options
        SearchNearest, // search options and position, for an online search around the point
    };

    CFilterScr(CGlobalData& global, MainWindow& window, Pages pages = Pages::Filter, QWidget* parent = nullptr);

    QString mainActionText() const override;
    void mainAction() override;

    QTabWidget* tabs() const { return m_tabs; }
    // The filter as the pages show it now (settings the pages edit go into
    // settings when given); nothing when a field does not read.
    std::optional<CacheFilter> editedFilter(Settings* settings = nullptr);

signals:
    // OK stored and saved the pages (before the screen closes).
    void confirmed();

private:
    void loadPages();
    void apply();

    MainWindow& m_window;
    Pages m_pages;
    QTabWidget* m_tabs = nullptr;
    std::vector<FilterPage*> m_filterPages;
    CFilterManagScr* m_saved = nullptr;
};

// Opens the filter screen on top of the window.
void openFilterScreen(MainWindow& window, CGlobalData& global);

} // namespace tw
