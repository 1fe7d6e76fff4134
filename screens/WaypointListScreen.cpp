// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/WaypointListScreen.h"

#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "db/CacheReader.h"
#include "geo/CoordEntry.h"
#include "geo/ReferencePosition.h"
#include "platform/Prompter.h"
#include "screens/CacheIcons.h"
#include "screens/LangText.h"
#include "screens/WaypointEditor.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScroller>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextCaption = 480;
constexpr int kTextNew = 481;
constexpr int kTextDelete = 482;
constexpr int kTextNavigate = 483;
constexpr int kTextDeleteQuestion = 484;
constexpr int kTextEmpty = 485;
constexpr int kTextOwnWaypoints = 521;
constexpr int kTextNoPosition = 1190;

enum Role {
    KindRole = Qt::UserRole + 1, // prefix and type name
    CoordsRole,
    DistanceRole,
    TypeRole,
};

// One waypoint a row: type icon, name with the distance at the right, the
// prefix with the type, and the coordinates.
class WaypointDelegate final : public QStyledItemDelegate {
public:
    WaypointDelegate(int rowPx, QObject* parent) : QStyledItemDelegate(parent), m_rowPx(rowPx) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return {option.rect.width(), std::max(m_rowPx, option.fontMetrics.height() * 3 + padPx() * 2)};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        opt.text.clear();
        opt.icon = QIcon();
        const QWidget* widget = option.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

        const int pad = padPx();
        const QRect r = option.rect.adjusted(pad, pad, -pad, -pad);
        const QFontMetrics fm = option.fontMetrics;
        const int icon = std::min(m_rowPx * 2 / 3, r.height());
        painter->save();
        painter->setPen(option.palette.color(option.state & QStyle::State_Selected ? QPalette::HighlightedText
                                                                                   : QPalette::Text));
        painter->drawPixmap(r.left(), r.top() + (r.height() - icon) / 2,
                            waypointIcon(index.data(TypeRole).toInt(), icon));
        const int left = r.left() + icon + pad * 2;
        const QString distance = index.data(DistanceRole).toString();
        const int distanceWidth = fm.horizontalAdvance(distance) + pad;
        const QRect line(left, r.top(), r.right() - left, fm.height());
        painter->drawText(line, Qt::AlignRight | Qt::AlignVCenter, distance);

        QFont bold = option.font;
        bold.setBold(true);
        painter->setFont(bold);
        const QString name = QFontMetrics(bold).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                          line.width() - distanceWidth);
        painter->drawText(line, Qt::AlignLeft | Qt::AlignVCenter, name);
        painter->setFont(option.font);
        const QRect second = line.translated(0, fm.height());
        painter->drawText(second, Qt::AlignLeft | Qt::AlignVCenter,
                          fm.elidedText(index.data(KindRole).toString(), Qt::ElideRight, second.width()));
        const QRect third = second.translated(0, fm.height());
        painter->drawText(third, Qt::AlignLeft | Qt::AlignVCenter,
                          fm.elidedText(index.data(CoordsRole).toString(), Qt::ElideRight, third.width()));
        painter->restore();
    }

private:
    int padPx() const { return std::max(4, m_rowPx / 8); }
    int m_rowPx;
};

} // namespace

WaypointListScreen::WaypointListScreen(CGlobalData& global, const std::string& code, QWidget* parent)
    : Screen(global, parent), m_code(code)
{
    setObjectName(QStringLiteral("waypointList"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("caption"));
    m_caption->setWordWrap(true);
    m_caption->setMargin(touchPx(global) / 6);
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    layout->addWidget(m_caption);

    m_view = new QListWidget(this);
    m_view->setObjectName(QStringLiteral("waypointListView"));
    m_view->setItemDelegate(new WaypointDelegate(touchPx(global), m_view));
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    QScroller::grabGesture(m_view->viewport(), QScroller::LeftMouseButtonGesture);
    layout->addWidget(m_view, 1);
    connect(m_view, &QListWidget::itemClicked, this, &WaypointListScreen::editChosen);
    connect(m_view, &QListWidget::itemActivated, this, &WaypointListScreen::editChosen);
    connect(m_view, &QWidget::customContextMenuRequested, this, &WaypointListScreen::showContextMenu);

    m_empty = new QLabel(langText(global, kTextEmpty), this);
    m_empty->setObjectName(QStringLiteral("empty"));
    m_empty->setWordWrap(true);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setMargin(touchPx(global) / 2);
    layout->addWidget(m_empty, 1);
    reload();
}

QString WaypointListScreen::mainActionText() const
{
    return langText(m_global, kTextNew);
}

void WaypointListScreen::fillMenu(QMenu& menu)
{
    menu.addAction(langText(m_global, kTextNew), this, &WaypointListScreen::newWaypoint);
    QAction* remove = menu.addAction(langText(m_global, kTextDelete), this, &WaypointListScreen::deleteChosen);
    remove->setEnabled(chosen() != nullptr);
    if (m_navigate) {
        QAction* navigate = menu.addAction(langText(m_global, kTextNavigate), this, &WaypointListScreen::navigateToChosen);
        navigate->setEnabled(chosen() != nullptr && hasPosition(*chosen()));
    }
}

void WaypointListScreen::reload()
{
    if (m_code == kDummyCacheCode) {
        m_caption->setText(langText(m_global, kTextOwnWaypoints));
    } else {
        QString title = QString::fromStdString(m_code);
        if (const CGeocache* current = m_global.list.currentCache(); current && current->code == m_code)
            title += QStringLiteral(" ") + QString::fromStdString(current->name);
        m_caption->setText(langText(m_global, kTextCaption).replace(QLatin1String("%s"), title));
    }

    const int keptKey = chosen() ? chosen()->key : 0;
    m_waypoints = loadWaypoints(m_global, m_code);
    const geo::ReferenceContext reference = m_global.reference.context();
    const geo::CoordEntryStyle style = geo::coordEntryStyle(m_global.settings.coordStyle);
    m_view->clear();
    for (const CWaypoint& w : m_waypoints) {
        auto* item = new QListWidgetItem(QString::fromStdString(w.name), m_view);
        QString kind = waypointTypeName(m_global, w.type);
        if (!w.prefix.empty())
            kind = QString::fromStdString(w.prefix) + QStringLiteral(" · ") + kind;
        item->setData(KindRole, kind);
        // A waypoint without a position (0, 0) has neither coordinates nor a distance.
        if (hasPosition(w)) {
            item->setData(CoordsRole, QString::fromStdString(geo::formatCoordsIn({w.lat, w.lon}, style)));
            item->setData(DistanceRole,
                          QString::fromStdString(geo::formatCacheDistance(reference, {w.lat, w.lon}, true, false)).trimmed());
        } else {
            item->setData(CoordsRole, langText(m_global, kTextNoPosition));
            item->setData(DistanceRole, QString());
        }
        item->setData(TypeRole, w.type);
        if (w.key == keptKey && keptKey != 0)
            m_view->setCurrentItem(item);
    }
    const bool empty = m_waypoints.empty();
    m_view->setVisible(!empty);
    m_empty->setVisible(empty);
    emit softKeysChanged();
}

CWaypoint* WaypointListScreen::chosen()
{
    const int row = m_view->currentRow();
    if (row < 0 || row >= static_cast<int>(m_waypoints.size()))
        return nullptr;
    return &m_waypoints[static_cast<std::size_t>(row)];
}

void WaypointListScreen::newWaypoint()
{
    CWaypoint waypoint = newWaypointFor(m_global, m_code);
    if (!editWaypoint(this, m_global, waypoint, true))
        return;
    reload();
    for (int row = 0; row < static_cast<int>(m_waypoints.size()); ++row)
        if (m_waypoints[static_cast<std::size_t>(row)].key == waypoint.key)
            m_view->setCurrentRow(row);
    emit waypointsChanged(QString::fromStdString(m_code));
}

void WaypointListScreen::editChosen()
{
    CWaypoint* waypoint = chosen();
    if (!waypoint)
        return;
    CWaypoint copy = *waypoint;
    if (!editWaypoint(this, m_global, copy, false))
        return;
    reload();
    emit waypointsChanged(QString::fromStdString(m_code));
}

void WaypointListScreen::deleteChosen()
{
    CWaypoint* waypoint = chosen();
    if (!waypoint)
        return;
    QString question = langText(m_global, kTextDeleteQuestion);
    question.replace(QLatin1String("%s"), QString::fromStdString(waypoint->name));
    if (!m_global.prompter.ask(question.toStdString(), false))
        return;
    if (!removeWaypoint(m_global, *waypoint))
        return;
    reload();
    emit waypointsChanged(QString::fromStdString(m_code));
}

void WaypointListScreen::navigateToChosen()
{
    if (CWaypoint* waypoint = chosen(); waypoint && m_navigate && hasPosition(*waypoint))
        m_navigate(*waypoint);
}

void WaypointListScreen::showContextMenu(const QPoint& at)
{
    QListWidgetItem* item = m_view->itemAt(at);
    if (!item)
        return;
    m_view->setCurrentItem(item);
    QMenu menu(this);
    menu.addAction(langText(m_global, kTextDelete), this, &WaypointListScreen::deleteChosen);
    if (m_navigate)
        menu.addAction(langText(m_global, kTextNavigate), this, &WaypointListScreen::navigateToChosen)
            ->setEnabled(chosen() != nullptr && hasPosition(*chosen()));
    menu.exec(m_view->viewport()->mapToGlobal(at));
}

} // namespace tw
