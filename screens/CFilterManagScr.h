// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filter/CacheFilter.h"

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QListWidget;
class QPushButton;

namespace tw {

class CGlobalData;

// The saved filters: the ".pf" files of the filter folder. Save as writes
// the filter the screen shows now under a name; Load makes a saved filter
// the current one; Delete removes a file after asking.
class CFilterManagScr final : public QWidget {
    Q_OBJECT
public:
    // The filter as the other pages show it; nothing when a field does not read.
    using EditedFilter = std::function<std::optional<CacheFilter>()>;

    CFilterManagScr(CGlobalData& global, EditedFilter edited, QWidget* parent = nullptr);

    // Reads the folder again, keeping the selected name when it is still there.
    void refresh(const QString& select = {});
    QListWidget* list() const { return m_list; }

signals:
    // A saved filter was loaded into the current filter: apply it.
    void filterLoaded();

private:
    QString selectedName() const;
    void updateButtons();
    void saveAs();
    void load();
    void remove();

    CGlobalData& m_global;
    EditedFilter m_edited;
    QListWidget* m_list = nullptr;
    QLabel* m_empty = nullptr;
    QPushButton* m_saveAs = nullptr;
    QPushButton* m_load = nullptr;
    QPushButton* m_delete = nullptr;
};

} // namespace tw
