// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

namespace tw {

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
