// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CacheListScreen.h"

#include "app/CGlobalData.h"
#include "app/CacheList.h"
#include "filter/FilterChoices.h"
#include "geo/GeoMath.h"
#include "screens/CacheItemDelegate.h"
#include "screens/CacheListModel.h"
#include "screens/MainWindow.h"
#include "screens/LangText.h"
#include "screens/QtNotifier.h"
#include "screens/SendDialog.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QScroller>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextSort = 410;
constexpr int kTextSortKeyFirst = 411; // 411 to 418: the eight keys in their order
constexpr int kTextReverse = 419;
constexpr int kTextReload = 420;
constexpr int kTextMap = 428;
constexpr int kTextShowingLastImport = 657;
constexpr int kTextShowAllCaches = 658;
constexpr int kTextSendToDevice = 1277;

// A GPS reference that moved this far makes the list stale.
constexpr double kReloadAfterMoveKm = 0.1;

} // namespace

CacheListScreen::CacheListScreen(CGlobalData& global, QtNotifier& notifier, QWidget* parent)
    : Screen(global, parent)
{
    setObjectName(QStringLiteral("cacheList"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_allBar = new QWidget(this);
    m_allBar->setObjectName(QStringLiteral("allCachesBar"));
    m_allBar->setBackgroundRole(QPalette::AlternateBase);
    m_allBar->setAutoFillBackground(true);
    auto* bar = new QHBoxLayout(m_allBar);
    const int gap = touchPx(global) / 5;
    bar->setContentsMargins(gap, gap, gap, gap);
    m_allText = new QLabel(langText(global, kTextShowingLastImport), m_allBar);
    m_allText->setWordWrap(true);
    bar->addWidget(m_allText, 1);
    auto* showAll = new QPushButton(langText(global, kTextShowAllCaches), m_allBar);
    showAll->setObjectName(QStringLiteral("showAllCaches"));
    showAll->setMinimumHeight(touchPx(global));
    showAll->setMinimumWidth(showAll->sizeHint().width() + touchPx(global) / 2);
    bar->addWidget(showAll);
    connect(showAll, &QPushButton::clicked, this, &CacheListScreen::showAllCaches);
    layout->addWidget(m_allBar);

    m_model = new CacheListModel(global.list, global.reference, this);
    m_view = new QListView(this);
    m_view->setObjectName(QStringLiteral("cacheListView"));
    m_view->setModel(m_model);
    m_view->setItemDelegate(new CacheItemDelegate(global.scaleFactor, m_view));
    // Every row has the same height: the view need not measure 999 of them.
    m_view->setUniformItemSizes(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScroller::grabGesture(m_view->viewport(), QScroller::LeftMouseButtonGesture);
    layout->addWidget(m_view);
    connect(m_view, &QListView::clicked, this, &CacheListScreen::onActivated);
    connect(m_view, &QListView::activated, this, &CacheListScreen::onActivated);

    m_sortMenu = new QMenu(langText(global, kTextSort), this);
    m_keys = new QActionGroup(this);
    m_keys->setExclusive(true);
    for (int key = 0; key < SortKey::Count; ++key) {
        QAction* action = m_sortMenu->addAction(langText(global, kTextSortKeyFirst + key));
        action->setCheckable(true);
        action->setData(key);
        m_keys->addAction(action);
        connect(action, &QAction::triggered, this, [this, key] { sortBy(key, m_global.list.sortAscending != 0); });
    }
    m_sortMenu->addSeparator();
    m_reverse = m_sortMenu->addAction(langText(global, kTextReverse));
    m_reverse->setCheckable(true);
    connect(m_reverse, &QAction::triggered, this, [this](bool on) { sortBy(m_global.list.sortKey, !on); });
    m_sortMenu->addSeparator();
    m_sortMenu->addAction(langText(global, kTextReload), this, &CacheListScreen::reload);
    syncSortActions();

    connect(&notifier, &QtNotifier::topicChanged, this, &CacheListScreen::onTopicChanged);
}

QString CacheListScreen::mainActionText() const
{
    return langText(m_global, kTextMap);
}

void CacheListScreen::mainAction()
{
    if (auto* window = qobject_cast<MainWindow*>(this->window()))
        window->showMap();
}

void CacheListScreen::fillMenu(QMenu& menu)
{
    menu.addMenu(m_sortMenu);
    if (scopeOf(m_global.list.filter) != FilterScope::AllCaches)
        menu.addAction(langText(m_global, kTextShowAllCaches), this, &CacheListScreen::showAllCaches);
    menu.addAction(langText(m_global, kTextSendToDevice), this, [this] { sendToDeviceCommand(this, m_global); });
}

void CacheListScreen::showAllCaches()
{
    tw::showAllCaches(m_global.list.filter);
    m_global.list.saveFilter();
    reload();
}

void CacheListScreen::updateAllCachesBar()
{
    const FilterScope scope = scopeOf(m_global.list.filter);
    m_allText->setVisible(scope == FilterScope::LastImport);
    m_allBar->setVisible(scope != FilterScope::AllCaches);
}

void CacheListScreen::reload()
{
    m_model->beginReload();
    m_global.list.readCaches();
    m_model->endReload();
    m_loadedFrom = geo::referencePosition(m_global.reference.context(), false);
    updateAllCachesBar();
}

void CacheListScreen::sortBy(int sortKey, bool ascending)
{
    m_global.list.sortKey = sortKey;
    m_global.list.sortAscending = ascending ? 1 : 0;
    m_model->beginReload();
    sortCaches(m_global.list.caches,
               {sortKey, ascending, geo::referencePosition(m_global.reference.context(), false)});
    m_model->endReload();
    syncSortActions();
}

void CacheListScreen::syncSortActions()
{
    for (QAction* action : m_keys->actions())
        action->setChecked(action->data().toInt() == m_global.list.sortKey);
    m_reverse->setChecked(m_global.list.sortAscending == 0);
}

void CacheListScreen::onTopicChanged(Topic topic)
{
    if (topic == Topic::CacheList) {
        // Someone else rebuilt the list (an import, the map).
        m_model->beginReload();
        m_model->endReload();
        updateAllCachesBar();
    } else if (topic == Topic::Settings) {
        reload();
    } else if (topic == Topic::Gps && m_global.list.filter.refPoint == geo::kRefGps) {
        const geo::LatLon now = geo::referencePosition(m_global.reference.context(), false);
        if (geo::distanceKm(m_loadedFrom, now) > kReloadAfterMoveKm)
            reload();
    }
}

void CacheListScreen::onActivated(const QModelIndex& index)
{
    const auto row = static_cast<std::size_t>(index.row());
    if (!index.isValid() || row >= m_global.list.caches.size())
        return;
    const CGeocache& cache = *m_global.list.caches[row];
    m_global.list.setCurrentCache(cache);
    emit cacheChosen(QString::fromStdString(cache.code));
}

} // namespace tw
