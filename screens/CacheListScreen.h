// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "platform/Notifier.h"

#include "screens/Screen.h"

class QActionGroup;
class QAction;
class QLabel;
class QListView;
class QMenu;
class QPushButton;

namespace tw {

class CGlobalData;
class CacheListModel;
class QtNotifier;

// The cache list: one row per listed cache, sorted as the sort menu says.
// Tapping a row makes that cache the current one.
class CacheListScreen final : public Screen {
    Q_OBJECT
public:
    CacheListScreen(CGlobalData& global, QtNotifier& notifier, QWidget* parent = nullptr);

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

signals:
    // A row was tapped; that cache is now the current one.
    void cacheChosen(const QString& code);

private:
    void onTopicChanged(Topic topic);
    void onActivated(const QModelIndex& index);
    void syncSortActions();
    void updateAllCachesBar();

    CacheListModel* m_model = nullptr;
    QListView* m_view = nullptr;
    QMenu* m_sortMenu = nullptr;
    QActionGroup* m_keys = nullptr;
    QAction* m_reverse = nullptr;
    QWidget* m_allBar = nullptr;
    QLabel* m_allText = nullptr;
    geo::LatLon m_loadedFrom; // the reference position of the last reload
};

} // namespace tw
