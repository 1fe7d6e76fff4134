// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CFilterScr.h"

#include "app/CGlobalData.h"
#include "screens/CFilterImportScr.h"
#include "screens/CFilterManagScr.h"
#include "screens/CFilterPosScr.h"
#include "screens/CFilterPropsScr.h"
#include "screens/CFilterTagScr.h"
#include "screens/CFilterTypesScr.h"
#include "screens/CacheListScreen.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"

#include <QKeySequence>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextPageFirst = 600; // 600 to 605: properties, types, position, tags, saved, search
constexpr int kTextOk = 505;

enum Page { Properties, Types, Position, Tags, Saved, Search };

} // namespace

CFilterScr::CFilterScr(CGlobalData& global, MainWindow& window, Pages pages, QWidget* parent)
    : Screen(global, parent), m_window(window), m_pages(pages)
{
    setObjectName(QStringLiteral("filterScreen"));
    setStyleSheet(filterPageStyle(global));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = makePageTabs(global, this);
    layout->addWidget(m_tabs);

    const auto addPage = [this](FilterPage* page, Page which, const char* name) {
        page->setObjectName(QString::fromLatin1(name));
        m_tabs->addTab(page, langText(m_global, kTextPageFirst + which));
        m_filterPages.push_back(page);
        return page;
    };
    if (pages == Pages::Filter) {
        auto* props = new CFilterPropsScr(global, this);
        addPage(props, Properties, "filterProperties");
        addPage(new CFilterTypesScr(global, this), Types, "filterTypes");
        addPage(new CFilterPosScr(global, this), Position, "filterPosition");
        addPage(new CFilterTagScr(global, this), Tags, "filterTags");
        m_saved = new CFilterManagScr(global, [this] { return editedFilter(); }, this);
        m_saved->setObjectName(QStringLiteral("filterSaved"));
        m_tabs->addTab(m_saved, langText(global, kTextPageFirst + Saved));
        auto* search = new CFilterImportScr(global, this);
        addPage(search, Search, "filterSearch");
        connect(props, &CFilterPropsScr::distanceEdited, search, &CFilterImportScr::showDistance);
        connect(search, &CFilterImportScr::distanceEdited, props, &CFilterPropsScr::showDistance);
        connect(m_saved, &CFilterManagScr::filterLoaded, this, &CFilterScr::apply);
    } else {
        addPage(new CFilterImportScr(global, this), Search, "filterSearch");
        addPage(new CFilterPosScr(global, this), Position, "filterPosition");
    }
    loadPages();

    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* ok = new QShortcut(QKeySequence(key), this);
        ok->setContext(Qt::WidgetWithChildrenShortcut);
        connect(ok, &QShortcut::activated, this, &CFilterScr::mainAction);
    }
}

QString CFilterScr::mainActionText() const
{
    return langText(m_global, kTextOk);
}

void CFilterScr::loadPages()
{
    for (FilterPage* page : m_filterPages)
        page->load(m_global.list.filter);
}

std::optional<CacheFilter> CFilterScr::editedFilter(Settings* settings)
{
    CacheFilter filter = m_global.list.filter;
    Settings scratch = m_global.settings;
    for (FilterPage* page : m_filterPages) {
        if (!page->store(filter, settings ? *settings : scratch)) {
            m_tabs->setCurrentWidget(page);
            return std::nullopt;
        }
    }
    return filter;
}

void CFilterScr::mainAction()
{
    Settings settings = m_global.settings;
    const std::optional<CacheFilter> filter = editedFilter(&settings);
    if (!filter)
        return;
    m_global.list.filter = *filter;
    m_global.settings = settings;
    m_global.SaveSettings(SettingsGroup::All);
    apply();
}

void CFilterScr::apply()
{
    m_global.list.saveFilter();
    if (m_pages == Pages::Filter && m_window.cacheList())
        m_window.cacheList()->reload();
    emit confirmed();
    emit closeRequested();
}

void openFilterScreen(MainWindow& window, CGlobalData& global)
{
    window.pushScreen(new CFilterScr(global, window));
}

} // namespace tw
