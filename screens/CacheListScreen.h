// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "platform/Notifier.h"

#include "screens/Screen.h"

class QActionGroup;
class QAction;
class QListView;
class QMenu;

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

    // Reads the list again (after a filter or position change).
    void reload();
    // Orders the list by a key (0 to 7) in the chosen direction.
    void sortBy(int sortKey, bool ascending);

signals:
    // A row was tapped; that cache is now the current one.
    void cacheChosen(const QString& code);

private:
    void onTopicChanged(Topic topic);
    void onActivated(const QModelIndex& index);
    void syncSortActions();

    CacheListModel* m_model = nullptr;
    QListView* m_view = nullptr;
    QMenu* m_sortMenu = nullptr;
    QActionGroup* m_keys = nullptr;
    QAction* m_reverse = nullptr;
    geo::LatLon m_loadedFrom; // the reference position of the last reload
};

} // namespace tw
