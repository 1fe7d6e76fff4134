// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QStyledItemDelegate>

namespace tw {

class CGlobalData;

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
    };

    explicit CacheListModel(CGlobalData& global, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Around every rebuild of the list.
    void beginReload() { beginResetModel(); }
    void endReload() { endResetModel(); }

private:
    CGlobalData& m_global;
};

// Draws one cache per row: type icon with its state, name, code with the
// ratings and the size, distance and the direction arrow.
class CacheItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    CacheItemDelegate(double scaleFactor, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The width of the distance column: the same on every row, and never
    // narrower than the row's own distance text.
    static int distanceColumnPx(const QFontMetrics& fm, const QString& distance, int iconPx);

private:
    int iconPx() const;
    double m_scale;
};

} // namespace tw
