// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

#include <utility>
#include <vector>

namespace tw {

// Draws one cache per row: type icon with its state, name, code with the
// ratings and the size, distance and the direction arrow; while the list is
// narrowed by a text query, two lines of the text that matched under them.
class CacheItemDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    CacheItemDelegate(double scaleFactor, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // The width of the distance column: the same on every row, and never
    // narrower than the row's own distance text.
    static int distanceColumnPx(const QFontMetrics& fm, const QString& distance, int iconPx);
    // The row's second line, code and ratings, as it fits the width: the
    // ratings close up ("D1.5/T2") before the end is cut.
    static QString secondLine(const QFontMetrics& fm, const QString& code, const QString& rating, int width);
    // The second line as the row in option.rect shows it.
    QString secondLineShown(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    // A snippet of the search as shown: its text, and where the found words
    // are in it (start, length).
    struct Snippet {
        QString text;
        std::vector<std::pair<int, int>> found;
    };
    static Snippet parseSnippet(const QString& marked);

private:
    int iconPx() const;
    // The column of the name and the second line, between the icon and the distance.
    QRect middleRect(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    // The second line's width: the middle and, beside the arrow, the distance column's room.
    int secondLineWidth(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void drawSnippet(QPainter* painter, const QStyleOptionViewItem& option, const Snippet& snippet,
                     const QRect& area) const;
    double m_scale;
};

} // namespace tw
