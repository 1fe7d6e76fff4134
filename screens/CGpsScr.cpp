// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CGpsScr.h"

#include "app/GpsSwitch.h"
#include "gps/CTrackLogger.h"
#include "screens/CGpsAvg.h"
#include "screens/CGpsMon.h"
#include "screens/CGpsTrip.h"
#include "screens/GpsPage.h"
#include "screens/LangText.h"
#include "screens/QtNotifier.h"

#include <QMenu>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace tw {
namespace {

constexpr int kTextGpsOff = 1200;
constexpr int kTextGpsOn = 1201;
constexpr int kTextPageMonitor = 760;
constexpr int kTextPageAveraging = 761;
constexpr int kTextPageTrip = 762;
constexpr int kTickMs = 1000;

} // namespace

void addGpsSwitchEntry(QMenu& menu, CGlobalData& global)
{
    if (global.gpsServices.gpsSwitch->isOn())
        menu.addAction(langText(global, kTextGpsOff), &menu, [&global] { global.gpsServices.gpsSwitch->switchOff(); });
    else
        menu.addAction(langText(global, kTextGpsOn), &menu, [&global] {
            global.gpsServices.gpsSwitch->switchOn(global.settings.gpsPortS, static_cast<unsigned>(global.settings.gpsBaud));
        });
}

CGpsScr::CGpsScr(CGlobalData& global, QtNotifier* notifier, QWidget* parent) : Screen(global, parent)
{
    setObjectName(QStringLiteral("gpsScreen"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_tabs = makePageTabs(global, this);
    m_monitor = new CGpsMon(global, m_tabs);
    m_averaging = new CGpsAvg(global, m_tabs);
    m_trip = new CGpsTrip(global, m_tabs);
    m_tabs->addTab(m_monitor, langText(global, kTextPageMonitor));
    m_tabs->addTab(m_averaging, langText(global, kTextPageAveraging));
    m_tabs->addTab(m_trip, langText(global, kTextPageTrip));
    layout->addWidget(m_tabs);
    for (GpsPage* page : {static_cast<GpsPage*>(m_monitor), static_cast<GpsPage*>(m_averaging),
                          static_cast<GpsPage*>(m_trip)})
        connect(page, &GpsPage::softKeysChanged, this, &Screen::softKeysChanged);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        if (GpsPage* page = currentPage())
            page->refresh(m_snapshot);
        emit softKeysChanged();
    });
    m_trip->openTrackManager = [this] {
        if (openTrackManager)
            openTrackManager();
    };
    if (notifier)
        connect(notifier, &QtNotifier::topicChanged, this, [this](Topic topic) {
            if (topic == Topic::Gps)
                tick();
        });
    connect(&m_timer, &QTimer::timeout, this, &CGpsScr::tick);
    m_timer.start(kTickMs);
    tick();
}

CGpsScr::~CGpsScr() = default;

GpsPage* CGpsScr::currentPage() const
{
    return qobject_cast<GpsPage*>(m_tabs->currentWidget());
}

void CGpsScr::showPage(Page page)
{
    m_tabs->setCurrentIndex(page);
}

void CGpsScr::activated()
{
    tick();
}

void CGpsScr::tick()
{
    // A copy taken under the receiver's lock, which its reader holds only
    // for a few assignments.
    m_snapshot = m_global.gpsServices.gps->snapshot();
    // Only real fixes are averaged, also from a receiver that counts no satellites.
    m_global.gpsServices.trackLogger->averaging.sample({m_snapshot.latitude, m_snapshot.longitude},
                                                       m_snapshot.hasPosition() ? std::max(m_snapshot.satsUsed, 1) : 0);
    if (GpsPage* page = currentPage())
        page->refresh(m_snapshot);
    emit softKeysChanged();
}

QString CGpsScr::mainActionText() const
{
    GpsPage* page = currentPage();
    return page ? page->mainActionText() : QString();
}

void CGpsScr::mainAction()
{
    if (GpsPage* page = currentPage())
        page->mainAction();
    emit softKeysChanged();
}

void CGpsScr::fillMenu(QMenu& menu)
{
    if (GpsPage* page = currentPage())
        page->fillMenu(menu);
}

} // namespace tw
