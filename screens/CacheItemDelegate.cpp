// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CacheItemDelegate.h"

#include "screens/CacheIcons.h"
#include "screens/CacheListModel.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

namespace tw {
namespace {

// Sizes of a 240-pixel-wide screen; multiplied by the display scale factor.
constexpr int kBaseIconPx = 16;
constexpr int kBasePaddingPx = 3;
// Lines of the found text under the name and code.
constexpr int kSnippetLines = 2;

bool hasSnippet(const QModelIndex& index)
{
    return index.data(CacheListModel::SnippetRole).isValid();
}

} // namespace

CacheItemDelegate::Snippet CacheItemDelegate::parseSnippet(const QString& marked)
{
    Snippet out;
    int start = -1;
    for (const QChar c : marked) {
        if (c == QChar(0x02)) {
            start = static_cast<int>(out.text.size());
        } else if (c == QChar(0x03)) {
            if (start >= 0 && out.text.size() > start)
                out.found.push_back({start, static_cast<int>(out.text.size()) - start});
            start = -1;
        } else {
            // Line breaks of the listing would waste the two lines.
            out.text += c.isSpace() ? QChar(u' ') : c;
        }
    }
    if (start >= 0 && out.text.size() > start)
        out.found.push_back({start, static_cast<int>(out.text.size()) - start});
    return out;
}

CacheItemDelegate::CacheItemDelegate(double scaleFactor, QObject* parent)
    : QStyledItemDelegate(parent), m_scale(scaleFactor)
{
}

int CacheItemDelegate::iconPx() const
{
    return static_cast<int>(kBaseIconPx * m_scale);
}

QString CacheItemDelegate::secondLine(const QFontMetrics& fm, const QString& code, const QString& rating, int width)
{
    const QString roomy = code + QStringLiteral("  ") + rating;
    if (fm.horizontalAdvance(roomy) <= width)
        return roomy;
    // A narrow list (a pane of the desk's window) keeps the terrain in sight:
    // the ratings close up before anything is cut.
    QString tight = rating;
    tight.remove(QLatin1Char(' '));
    return fm.elidedText(code + QLatin1Char(' ') + tight, Qt::ElideRight, width);
}

int CacheItemDelegate::distanceColumnPx(const QFontMetrics& fm, const QString& distance, int iconPx)
{
    // Wide enough for the far side of the Earth, so that the columns align.
    const int usual = fm.horizontalAdvance(QStringLiteral("19999 km"));
    return std::max({usual, fm.horizontalAdvance(distance), iconPx});
}

QRect CacheItemDelegate::middleRect(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int pad = static_cast<int>(kBasePaddingPx * m_scale);
    const QRect r = option.rect.adjusted(pad, pad, -pad, -pad);
    const int rightWidth = distanceColumnPx(option.fontMetrics,
                                            index.data(CacheListModel::DistanceTextRole).toString(), iconPx());
    const int left = r.left() + iconPx() + pad * 2;
    return {left, r.top(), r.right() - rightWidth - pad - left, r.height()};
}

int CacheItemDelegate::secondLineWidth(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    // The arrow under the distance is narrower than the distance: the line
    // goes on below the distance up to the arrow.
    const int rightWidth = distanceColumnPx(option.fontMetrics,
                                            index.data(CacheListModel::DistanceTextRole).toString(), iconPx());
    return middleRect(option, index).width() + rightWidth - iconPx();
}

QString CacheItemDelegate::secondLineShown(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return secondLine(option.fontMetrics, index.data(CacheListModel::CodeRole).toString(),
                      index.data(CacheListModel::RatingRole).toString(), secondLineWidth(option, index));
}

QSize CacheItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int pad = static_cast<int>(kBasePaddingPx * m_scale);
    const int text = option.fontMetrics.height() * (hasSnippet(index) ? 2 + kSnippetLines : 2);
    return {option.rect.width(), std::max(text, iconPx() + option.fontMetrics.height() / 2) + 2 * pad};
}

void CacheItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const int pad = static_cast<int>(kBasePaddingPx * m_scale);
    const int icon = iconPx();
    const QRect r = option.rect.adjusted(pad, pad, -pad, -pad);
    const QFontMetrics fm = option.fontMetrics;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));

    painter->drawPixmap(r.left(), r.top() + (r.height() - icon) / 2,
                        cacheIcon(index.data(CacheListModel::TypeRole).toInt(),
                                  index.data(CacheListModel::StatusRole).toInt(),
                                  index.data(CacheListModel::FoundRole).toBool(), icon));

    // Right column: distance over the arrow.
    const QString distance = index.data(CacheListModel::DistanceTextRole).toString();
    const int rightWidth = distanceColumnPx(fm, distance, icon);
    const QRect right(r.right() - rightWidth, r.top(), rightWidth, r.height());
    painter->drawText(QRect(right.left(), right.top(), right.width(), fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                      distance);
    const QPixmap arrow = directionArrow(index.data(CacheListModel::SectorRole).toInt(), icon);
    if (!arrow.isNull())
        painter->drawPixmap(right.right() - icon + 1, right.top() + fm.height(), arrow);

    // Middle: the name, then code, ratings and size.
    const QRect middle = middleRect(option, index);
    QFont bold = option.font;
    bold.setBold(true);
    painter->setFont(bold);
    const QString name = QFontMetrics(bold).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                      middle.width());
    painter->drawText(QRect(middle.left(), middle.top(), middle.width(), fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      name);
    painter->setFont(option.font);
    const QString second = secondLineShown(option, index);
    const QRect secondRect(middle.left(), middle.top() + fm.height(), secondLineWidth(option, index), fm.height());
    painter->drawText(secondRect, Qt::AlignLeft | Qt::AlignVCenter, second);
    const int sizeX = middle.left() + fm.horizontalAdvance(second) + pad * 2;
    const int sizePx = fm.height();
    if (sizeX + sizePx <= secondRect.right())
        painter->drawPixmap(sizeX, secondRect.top(), cacheSizeIcon(index.data(CacheListModel::SizeRole).toInt(), sizePx));

    const QString marked = index.data(CacheListModel::SnippetRole).toString();
    if (!marked.isEmpty()) {
        // The found text under the name, clear of the direction arrow and as
        // large as the rest of the row: it is read outdoors. Found words are bold on the highlight colour.
        const QRect found(middle.left(), secondRect.bottom() + 1, middle.width(), fm.height() * kSnippetLines);
        drawSnippet(painter, option, parseSnippet(marked), found);
    }
    painter->restore();
}


void CacheItemDelegate::drawSnippet(QPainter* painter, const QStyleOptionViewItem& option, const Snippet& snippet,
                                    const QRect& area) const
{
    const bool selected = option.state & QStyle::State_Selected;
    QTextCharFormat mark;
    mark.setFontWeight(QFont::Bold);
    if (!selected) {
        mark.setBackground(option.palette.brush(QPalette::Highlight));
        mark.setForeground(option.palette.brush(QPalette::HighlightedText));
    } else {
        mark.setFontUnderline(true);
    }
    QList<QTextLayout::FormatRange> formats;
    for (const auto& [start, length] : snippet.found)
        formats.append({start, length, mark});
    QTextLayout layout(snippet.text, option.font, painter->device());
    layout.setFormats(formats);
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    layout.beginLayout();
    qreal y = 0;
    for (int n = 0; n < kSnippetLines; ++n) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(area.width());
        line.setPosition({0, y});
        y += line.height();
    }
    layout.endLayout();
    painter->save();
    painter->setClipRect(area);
    layout.draw(painter, area.topLeft());
    painter->restore();
}

} // namespace tw
