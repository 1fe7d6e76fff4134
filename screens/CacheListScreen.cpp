// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CacheListScreen.h"

#include "app/CGlobalData.h"
#include "app/CacheList.h"
#include "app/ListSearch.h"
#include "db/FullText.h"
#include "filter/FilterChoices.h"
#include "geo/GeoMath.h"
#include "screens/CacheItemDelegate.h"
#include "screens/CacheListModel.h"
#include "screens/MainWindow.h"
#include "screens/LangText.h"
#include "screens/QtNotifier.h"
#include "screens/CacheSheetCommands.h"
#include "screens/SendDialog.h"
#include "screens/SearchIndexDialog.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QScroller>
#include <QSignalBlocker>
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
constexpr int kTextPrintSheets = 1341;
constexpr int kTextSearchField = 1240;
constexpr int kTextSearchUnavailable = 1241;
constexpr int kTextNoIndex = 1247;
constexpr int kTextBuildIndex = 1248;
constexpr int kTextByRelevance = 1249;
constexpr int kTextNoMatch = 1258;

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
    buildSearchBar(layout);

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
    // The relevance has an entry of its own: it orders searched lists only.
    for (int key = 0; key < SortKey::Relevance; ++key) {
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
    m_relevance = m_sortMenu->addAction(langText(global, kTextByRelevance));
    m_relevance->setObjectName(QStringLiteral("searchByRelevance"));
    m_relevance->setCheckable(true);
    m_relevance->setChecked(global.list.searchByRelevance());
    connect(m_relevance, &QAction::triggered, this, [this](bool on) {
        m_global.list.setSearchByRelevance(on);
        if (!m_global.list.filter.textQuery.empty())
            startSearch();
    });
    m_sortMenu->addSeparator();
    m_sortMenu->addAction(langText(global, kTextReload), this, &CacheListScreen::reload);
    syncSortActions();

    connect(&notifier, &QtNotifier::topicChanged, this, &CacheListScreen::onTopicChanged);
}

CacheListScreen::~CacheListScreen() = default;

void CacheListScreen::buildSearchBar(QVBoxLayout* layout)
{
    const int touch = touchPx(m_global);
    const int gap = touch / 5;
    auto* row = new QWidget(this);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(gap, gap, gap, gap);
    m_searchField = new QLineEdit(row);
    m_searchField->setObjectName(QStringLiteral("searchField"));
    m_searchField->setMinimumHeight(touch);
    m_searchField->setClearButtonEnabled(true);
    m_searchField->installEventFilter(this);
    rowLayout->addWidget(m_searchField);
    layout->addWidget(row);

    m_searchBar = new QWidget(this);
    m_searchBar->setObjectName(QStringLiteral("searchInfoBar"));
    m_searchBar->setBackgroundRole(QPalette::AlternateBase);
    m_searchBar->setAutoFillBackground(true);
    auto* bar = new QHBoxLayout(m_searchBar);
    bar->setContentsMargins(gap, gap, gap, gap);
    m_searchInfo = new QLabel(m_searchBar);
    m_searchInfo->setObjectName(QStringLiteral("searchInfo"));
    m_searchInfo->setWordWrap(true);
    bar->addWidget(m_searchInfo, 1);
    m_buildIndex = new QPushButton(langText(m_global, kTextBuildIndex), m_searchBar);
    m_buildIndex->setObjectName(QStringLiteral("buildSearchIndex"));
    m_buildIndex->setMinimumHeight(touch);
    m_buildIndex->setMinimumWidth(m_buildIndex->sizeHint().width() + touch / 2);
    bar->addWidget(m_buildIndex);
    connect(m_buildIndex, &QPushButton::clicked, this, [this] { buildIndex(false); });
    m_searchBar->hide();
    layout->addWidget(m_searchBar);

    if (!fulltext::Supported()) {
        m_searchField->setEnabled(false);
        m_searchField->setPlaceholderText(langText(m_global, kTextSearchUnavailable));
        return;
    }
    m_searchField->setPlaceholderText(langText(m_global, kTextSearchField));
    m_searchField->setText(QString::fromStdString(m_global.list.filter.textQuery));
    m_search = std::make_unique<ListSearch>(
        [this] { QMetaObject::invokeMethod(this, [this] { onSearchReady(); }, Qt::QueuedConnection); });
    connect(m_searchField, &QLineEdit::textChanged, this, &CacheListScreen::onSearchEdited);
    // The query stays with the filter; it is saved once the user is done
    // typing, not at every key.
    connect(m_searchField, &QLineEdit::editingFinished, this, [this] { m_global.list.saveFilter(); });
}

bool CacheListScreen::focusSearch()
{
    if (!m_searchField->isEnabled() || m_searchField->hasFocus())
        return false;
    m_searchField->setFocus(Qt::ShortcutFocusReason);
    m_searchField->selectAll();
    return true;
}

bool CacheListScreen::eventFilter(QObject* watched, QEvent* event)
{
    // Esc in a field with text clears it instead of leaving the screen.
    if (watched == m_searchField && (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && !m_searchField->text().isEmpty()) {
            event->accept();
            if (event->type() == QEvent::KeyPress) {
                m_searchField->clear();
                m_global.list.saveFilter();
            }
            return true;
        }
    }
    return Screen::eventFilter(watched, event);
}

void CacheListScreen::onSearchEdited(const QString& text)
{
    const std::string query = text.simplified().toStdString();
    if (query == m_global.list.filter.textQuery && (query.empty() || m_global.list.searched))
        return;
    if (!query.empty() && !searchIndexReady())
        return;
    m_global.list.filter.textQuery = query;
    startSearch();
}

void CacheListScreen::startSearch()
{
    if (!m_search)
        return;
    CacheList& list = m_global.list;
    ListSearch::Request request;
    request.databasePath = m_global.db.cacheDb.fileName();
    request.filter = list.filter;
    request.reading = list.reading(m_global.settings.maxRows);
    request.query = list.filter.textQuery;
    request.fields = list.filter.textFields;
    m_search->start(std::move(request));
}

void CacheListScreen::onSearchReady()
{
    std::optional<ListSearch::Result> result = m_search->take();
    if (!result)
        return;
    if (!result->ok) {
        // The worker could not read the database (another program holds it):
        // the window's own connection reads the list and says what failed.
        reload();
        return;
    }
    const bool narrowed = !m_global.list.filter.textQuery.empty();
    m_model->beginReload();
    m_global.list.takeSearched(std::move(result->caches), std::move(result->snippets), narrowed);
    m_model->endReload();
    m_loadedFrom = geo::referencePosition(m_global.reference.context(), false);
    if (narrowed && m_global.list.caches.empty())
        showSearchInfo(kTextNoMatch);
    else
        m_searchBar->hide();
    updateAllCachesBar();
    emit searchShown();
}

bool CacheListScreen::searchIndexReady()
{
    SQLite::Database& db = m_global.db.cacheDb;
    if (!db.opened())
        return false;
    if (m_indexedFile == db.fileName())
        return true;
    if (fulltext::Ready(db)) {
        m_indexedFile = db.fileName();
        return true;
    }
    showSearchInfo(kTextNoIndex);
    if (!m_indexOffered) {
        m_indexOffered = true;
        // Asked once the key that started it has been handled.
        QMetaObject::invokeMethod(this, [this] { buildIndex(true); }, Qt::QueuedConnection);
    }
    return false;
}

void CacheListScreen::buildIndex(bool ask)
{
    if (!buildSearchIndex(this, m_global, ask))
        return;
    m_searchBar->hide();
    m_indexedFile = m_global.db.cacheDb.fileName();
    onSearchEdited(m_searchField->text());
}

void CacheListScreen::showSearchInfo(int textNumber)
{
    m_searchInfo->setText(langText(m_global, textNumber));
    m_buildIndex->setVisible(textNumber == kTextNoIndex);
    m_searchBar->show();
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
    menu.addAction(langText(m_global, kTextPrintSheets), this, [this] { printListedSheetsCommand(this, m_global); });
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
    // The filter may have brought a text query (from its page or a saved
    // filter): the worker reads the list again with the found texts.
    const QString query = QString::fromStdString(m_global.list.filter.textQuery);
    if (m_search && m_searchField->text().simplified() != query) {
        const QSignalBlocker quiet(m_searchField);
        m_searchField->setText(query);
    }
    if (m_search && !query.isEmpty() && searchIndexReady())
        startSearch();
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

bool CacheListScreen::selectCache(const std::string& code, bool scroll)
{
    const auto& caches = m_global.list.caches;
    for (std::size_t row = 0; row < caches.size(); ++row) {
        if (caches[row]->code != code)
            continue;
        const QModelIndex index = m_model->index(static_cast<int>(row), 0);
        // The view scrolls to its cursor by itself unless told not to.
        const bool autoScroll = m_view->hasAutoScroll();
        m_view->setAutoScroll(scroll && autoScroll);
        m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_view->setAutoScroll(autoScroll);
        if (scroll)
            m_view->scrollTo(index, QAbstractItemView::EnsureVisible);
        return true;
    }
    m_view->selectionModel()->clearSelection();
    return false;
}

std::string CacheListScreen::currentCode() const
{
    const QModelIndex index = m_view->currentIndex();
    const auto row = static_cast<std::size_t>(index.row());
    if (!index.isValid() || row >= m_global.list.caches.size())
        return {};
    return m_global.list.caches[row]->code;
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
