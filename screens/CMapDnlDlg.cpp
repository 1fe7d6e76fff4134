// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CMapDnlDlg.h"

#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "maps/AreaDownload.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"
#include "screens/QtNotifier.h"
#include "screens/Screen.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tw {
namespace {

constexpr int kTextCaption = 728;
constexpr int kTextAroundCaches = 729;
constexpr int kTextVisibleArea = 730;
constexpr int kTextZoomLevels = 731;
constexpr int kTextAreaSize = 732;
constexpr int kTextOnlyNew = 733;
constexpr int kTextWithWaypoints = 734;
constexpr int kTextCount = 735;
constexpr int kTextStart = 736;
constexpr int kTextStop = 737;
constexpr int kTextClose = 738;
constexpr int kTextQueued = 739;
constexpr int kTextOnline = 740;
constexpr int kTextProgress = 741;
constexpr int kTextReadOnly = 742;
constexpr int kTextAllStored = 744;

QString withNumbers(QString text, std::initializer_list<int> numbers)
{
    for (const int n : numbers) {
        const int at = text.indexOf(QLatin1String("%d"));
        if (at < 0)
            break;
        text.replace(at, 2, QString::number(n));
    }
    return text;
}

} // namespace

CMapDnlDlg::CMapDnlDlg(CGlobalData& global, QtNotifier& notifier, maps::TileProvider& provider, QWidget* parent)
    : QDialog(parent), m_global(global), m_provider(provider)
{
    setObjectName(QStringLiteral("mapDownload"));
    setWindowTitle(langText(global, kTextCaption));
    const int tap = touchPx(global);
    setStyleSheet(QStringLiteral("QCheckBox, QRadioButton { min-height: %1px; }"
                                 "QCheckBox::indicator, QRadioButton::indicator { width: %2px; height: %2px; }")
                      .arg(tap)
                      .arg(tap * 3 / 5));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeDialogCaption(langText(global, kTextCaption), this));

    auto* areaChoice = new QButtonGroup(this);
    m_aroundCaches = new QRadioButton(withNumbers(langText(global, kTextAroundCaches),
                                                  {static_cast<int>(global.list.caches.size())}), this);
    m_aroundCaches->setObjectName(QStringLiteral("aroundCaches"));
    m_visible = new QRadioButton(langText(global, kTextVisibleArea), this);
    m_visible->setObjectName(QStringLiteral("visibleArea"));
    m_visible->setVisible(false);
    areaChoice->addButton(m_aroundCaches);
    areaChoice->addButton(m_visible);
    m_aroundCaches->setChecked(true);
    layout->addWidget(m_aroundCaches);
    layout->addWidget(m_visible);

    layout->addWidget(new QLabel(langText(global, kTextZoomLevels), this));
    auto* zoomGrid = new QGridLayout;
    if (const maps::MapType* type = provider.mapType(global.settings.mapType))
        m_zooms = maps::offeredZooms(*type);
    for (std::size_t i = 0; i < m_zooms.size(); ++i) {
        auto* box = new QCheckBox(QString::number(m_zooms[i]), this);
        box->setObjectName(QStringLiteral("zoom%1").arg(m_zooms[i]));
        box->setChecked(m_zooms[i] == provider.zoom());
        zoomGrid->addWidget(box, static_cast<int>(i / 4), static_cast<int>(i % 4));
        m_zoomBoxes.push_back(box);
        connect(box, &QCheckBox::toggled, this, &CMapDnlDlg::recount);
    }
    layout->addLayout(zoomGrid);

    auto* areaRow = new QHBoxLayout;
    auto* areaLabel = new QLabel(langText(global, kTextAreaSize), this);
    areaLabel->setWordWrap(true);
    areaRow->addWidget(areaLabel, 1);
    m_areaSize = new QComboBox(this);
    m_areaSize->setObjectName(QStringLiteral("areaSize"));
    m_areaSize->setMinimumHeight(tap);
    m_areaSize->addItems({QStringLiteral("3x3"), QStringLiteral("5x5"), QStringLiteral("7x7")});
    m_areaSize->setCurrentIndex(std::clamp(global.settings.mapArea, 1, 3) - 1);
    areaRow->addWidget(m_areaSize);
    layout->addLayout(areaRow);

    m_withWaypoints = new QCheckBox(langText(global, kTextWithWaypoints), this);
    m_withWaypoints->setChecked(global.settings.inclWpt != 0);
    layout->addWidget(m_withWaypoints);
    m_onlyNew = new QCheckBox(langText(global, kTextOnlyNew), this);
    m_onlyNew->setChecked(global.settings.dnlOnlyNew != 0);
    layout->addWidget(m_onlyNew);
    m_online = new QCheckBox(langText(global, kTextOnline), this);
    m_online->setObjectName(QStringLiteral("online"));
    m_online->setChecked(global.netClient.downloadsOn());
    layout->addWidget(m_online);

    m_countLabel = new QLabel(this);
    m_countLabel->setObjectName(QStringLiteral("count"));
    QFont bold = m_countLabel->font();
    bold.setBold(true);
    m_countLabel->setFont(bold);
    layout->addWidget(m_countLabel);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setMinimumHeight(tap / 2);
    layout->addWidget(m_progress);
    m_stateLabel = new QLabel(this);
    m_stateLabel->setObjectName(QStringLiteral("state"));
    m_stateLabel->setWordWrap(true);
    layout->addWidget(m_stateLabel);

    auto* run = new QHBoxLayout;
    m_start = makeTouchButton(global, langText(global, kTextStart), this);
    m_start->setObjectName(QStringLiteral("start"));
    m_stop = makeTouchButton(global, langText(global, kTextStop), this);
    m_stop->setObjectName(QStringLiteral("stop"));
    run->addWidget(m_start);
    run->addWidget(m_stop);
    layout->addLayout(run);
    layout->addStretch(1);

    auto* keys = new QDialogButtonBox(this);
    QPushButton* close = keys->addButton(langText(global, kTextClose), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("close"));
    close->setMinimumHeight(tap);
    close->setMinimumWidth(tap * 5 / 2);
    connect(keys, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(keys);

    if (!provider.canStoreDownloads()) {
        m_stateLabel->setText(langText(global, kTextReadOnly));
        m_start->setEnabled(false);
    }
    connect(m_start, &QPushButton::clicked, this, &CMapDnlDlg::start);
    connect(m_stop, &QPushButton::clicked, this, &CMapDnlDlg::stop);
    connect(m_areaSize, &QComboBox::currentIndexChanged, this, &CMapDnlDlg::recount);
    connect(m_withWaypoints, &QCheckBox::toggled, this, &CMapDnlDlg::recount);
    connect(m_aroundCaches, &QRadioButton::toggled, this, &CMapDnlDlg::recount);
    connect(m_online, &QCheckBox::toggled, this, [this](bool on) {
        m_global.settings.dnlOnline = on ? 1 : 0;
        m_global.netClient.setDownloadsOn(on);
    });
    connect(&notifier, &QtNotifier::downloadProgressed, this, &CMapDnlDlg::onDownloadProgressed);
    recount();
}

void CMapDnlDlg::setVisibleArea(geo::LatLon northWest, geo::LatLon southEast)
{
    m_visibleArea = {northWest, southEast};
    m_visible->setVisible(true);
    if (m_global.list.caches.empty())
        m_visible->setChecked(true);
    recount();
}

void CMapDnlDlg::setZoomChosen(int zoom, bool on)
{
    for (std::size_t i = 0; i < m_zooms.size(); ++i)
        if (m_zooms[i] == zoom)
            m_zoomBoxes[i]->setChecked(on);
}

void CMapDnlDlg::setVisibleAreaChosen(bool on)
{
    (on && m_visibleArea ? m_visible : m_aroundCaches)->setChecked(true);
}

void CMapDnlDlg::setMapArea(int mapArea)
{
    m_areaSize->setCurrentIndex(std::clamp(mapArea, 1, 3) - 1);
}

int CMapDnlDlg::recount()
{
    const bool visible = m_visible->isChecked() && m_visibleArea;
    m_areaSize->setEnabled(!visible);
    m_withWaypoints->setEnabled(!visible);
    m_global.settings.mapArea = m_areaSize->currentIndex() + 1;
    m_provider.areaTiles.clear();
    std::vector<geo::LatLon> points;
    if (!visible) {
        for (const auto& cache : m_global.list.caches) {
            points.push_back({cache->lat, cache->lon});
            if (m_withWaypoints->isChecked())
                for (const CWaypoint& w : loadWaypoints(m_global, cache->code))
                    if (w.lat != 0.0 || w.lon != 0.0)
                        points.push_back({w.lat, w.lon});
        }
    }
    for (std::size_t i = 0; i < m_zooms.size(); ++i) {
        if (!m_zoomBoxes[i]->isChecked())
            continue;
        if (visible)
            maps::addRectTiles(m_provider, m_visibleArea->first, m_visibleArea->second, m_zooms[i]);
        for (const geo::LatLon& p : points)
            maps::addAreaTiles(m_provider, p, m_zooms[i], m_global.settings.mapArea);
    }
    const Settings& s = m_global.settings;
    int overlays = 0;
    for (const int k : {0, 1, 2})
        if ((k == 0 ? s.mapType1 : k == 1 ? s.mapType2 : s.mapType3) != 0 && m_provider.mapType(maps::kFirstOverlayIndex + k))
            ++overlays;
    m_count = maps::areaDownloadCount(m_provider, overlays);
    m_running = false;
    m_started = 0;
    m_queued = 0;
    m_progress->setValue(0);
    m_stateLabel->clear();
    showState();
    return m_count;
}

void CMapDnlDlg::saveSettings()
{
    m_global.settings.dnlOnlyNew = m_onlyNew->isChecked() ? 1 : 0;
    m_global.settings.inclWpt = m_withWaypoints->isChecked() ? 1 : 0;
    m_global.settings.mapArea = m_areaSize->currentIndex() + 1;
    m_global.SaveSettings(SettingsGroup::Map);
}

void CMapDnlDlg::start()
{
    if (!m_provider.canStoreDownloads())
        return;
    saveSettings();
    const Settings& s = m_global.settings;
    const bool overlays[3] = {s.mapType1 != 0, s.mapType2 != 0, s.mapType3 != 0};
    // The worker fetches; this only hands the tiles over.
    m_started = maps::startAreaDownload(m_provider, s.mapType, overlays, s.dnlOnlyNew != 0, m_global.netClient);
    m_queued = m_started;
    m_running = m_started > 0;
    m_stateLabel->setText(withNumbers(langText(m_global, kTextQueued), {m_started}));
    m_progress->setValue(m_started == 0 ? 100 : 0);
    if (m_started == 0)
        m_stateLabel->setText(langText(m_global, kTextAllStored));
    showState();
}

void CMapDnlDlg::stop()
{
    m_global.netClient.stopWorker();
    m_provider.areaTiles.clear();
    m_count = 0;
    m_started = 0;
    m_queued = 0;
    m_running = false;
    m_progress->setValue(0);
    m_stateLabel->clear();
    showState();
}

int CMapDnlDlg::progress() const
{
    return m_progress->value();
}

void CMapDnlDlg::onDownloadProgressed(int remaining)
{
    if (!m_running)
        return;
    // The queue may also hold tiles the map asked for; they are not ours.
    m_queued = std::min(m_queued, std::max(0, remaining));
    const int fetched = m_started - m_queued;
    m_progress->setValue(m_started > 0 ? fetched * 100 / m_started : 100);
    m_stateLabel->setText(m_queued == 0 ? langText(m_global, kTextAllStored)
                                        : withNumbers(langText(m_global, kTextProgress), {fetched, m_started}));
    if (m_queued == 0)
        m_running = false;
    showState();
}

void CMapDnlDlg::showState()
{
    m_countLabel->setText(withNumbers(langText(m_global, kTextCount), {m_count}));
    m_start->setEnabled(m_provider.canStoreDownloads() && !m_running && m_count > 0);
    m_stop->setEnabled(m_running);
}

void CMapDnlDlg::done(int result)
{
    m_provider.areaTiles.clear();
    saveSettings();
    m_global.SaveSettings(0xff);
    QDialog::done(result);
}

} // namespace tw
