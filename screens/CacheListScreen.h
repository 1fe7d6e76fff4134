// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "platform/Notifier.h"

#include "screens/Screen.h"

#include <memory>
#include <string>

class QActionGroup;
class QAction;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QPushButton;
class QVBoxLayout;

namespace tw {

class CGlobalData;
class CacheListModel;
class ListSearch;
class QtNotifier;

// The cache list: one row per listed cache, sorted as the sort menu says.
// Tapping a row makes that cache the current one. The search field above
// the list narrows it to the caches whose texts hold the words typed; the
// list is read by a worker, so typing never waits for the database.
class CacheListScreen final : public Screen {
    Q_OBJECT
public:
    CacheListScreen(CGlobalData& global, QtNotifier& notifier, QWidget* parent = nullptr);
    ~CacheListScreen() override;

    // The sort keys and the direction, for the main menu.
    QMenu* sortMenu() const { return m_sortMenu; }
    QListView* view() const { return m_view; }
    void fillMenu(QMenu& menu) override;
    QString mainActionText() const override;
    void mainAction() override;

    // Reads the list again (after a filter or position change).
    void reload();
    // Orders the list by a key (0 to 7) in the chosen direction.
    void sortBy(int sortKey, bool ascending);
    // Drops every condition of the filter (the reference point stays),
    // saves it and reads the list again.
    void showAllCaches();
    // The bar above the list that leads back to all caches; shown while the
    // filter hides some.
    QWidget* allCachesBar() const { return m_allBar; }

    // Marks the row of the cache and, with scroll, brings it into sight;
    // false when the list does not hold it.
    bool selectCache(const std::string& code, bool scroll = true);
    // The code of the row the list's cursor is on; empty without one.
    std::string currentCode() const;

    QLineEdit* searchField() const { return m_searchField; }
    // Ctrl+F: puts the cursor into the search field. False when it is there
    // already (a second Ctrl+F opens the filter) or search is unavailable.
    bool focusSearch();
    // The list search's worker, for tests that hold its results.
    ListSearch& listSearch() { return *m_search; }

signals:
    // A row was tapped; that cache is now the current one.
    void cacheChosen(const QString& code);
    // A searched list (or the whole list again) has replaced the shown one.
    void searchShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onTopicChanged(Topic topic);
    void onActivated(const QModelIndex& index);
    void syncSortActions();
    void updateAllCachesBar();
    void buildSearchBar(QVBoxLayout* layout);
    void onSearchEdited(const QString& text);
    // Reads the list through the search's worker with the filter's text query.
    void startSearch();
    void onSearchReady();
    // True when the database has its search index; otherwise offers to
    // build it (once a run) and shows the bar that builds it.
    bool searchIndexReady();
    void buildIndex(bool ask);
    void showSearchInfo(int textNumber);

    CacheListModel* m_model = nullptr;
    QListView* m_view = nullptr;
    QMenu* m_sortMenu = nullptr;
    QActionGroup* m_keys = nullptr;
    QAction* m_reverse = nullptr;
    QWidget* m_allBar = nullptr;
    QLabel* m_allText = nullptr;
    geo::LatLon m_loadedFrom; // the reference position of the last reload
    QLineEdit* m_searchField = nullptr;
    QWidget* m_searchBar = nullptr;
    QLabel* m_searchInfo = nullptr;
    QPushButton* m_buildIndex = nullptr;
    QAction* m_relevance = nullptr;
    std::unique_ptr<ListSearch> m_search;
    std::string m_indexedFile; // the database last seen with its index
    bool m_indexOffered = false;
};

} // namespace tw
