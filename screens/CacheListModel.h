// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>

namespace tw {

class CacheList;
class ReferenceSources;

// The current cache list as rows of a list view. It reads CacheList::caches
// and must be reset whenever that list is rebuilt.
class CacheListModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        CodeRole = Qt::UserRole + 1,
        RatingRole,       // "D 2.5 / T 1.5"
        DistanceTextRole, // from the reference position, in the user's units
        SectorRole,       // compass sector 0..7 of the direction, 8: none
        TypeRole,
        SizeRole,
        StatusRole,
        FoundRole,
        // While the list is narrowed by a text query: the piece of the text
        // that matched, the found words between '\x02' and '\x03' (empty
        // when none came with the cache); otherwise no value.
        SnippetRole,
    };

    // Distances and directions are measured from the reference sources.
    CacheListModel(const CacheList& list, const ReferenceSources& reference, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Around every rebuild of the list.
    void beginReload() { beginResetModel(); }
    void endReload() { endResetModel(); }

private:
    const CacheList& m_list;
    const ReferenceSources& m_reference;
};

} // namespace tw
