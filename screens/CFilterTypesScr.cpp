// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CFilterTypesScr.h"

#include "app/CGlobalData.h"
#include "db/Enumerations.h"
#include "screens/CacheIcons.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace tw {
namespace {

constexpr int kTextCacheTypes = 621;
constexpr int kTextWaypointTypes = 622;
constexpr int kTextAll = 623;
constexpr int kTextNone = 624;
constexpr int kTextCacheTypeFirst = 625; // 625 to 634: the ten type selections in their order
constexpr int kTextWptTypeFirst = 486;   // 486 to 491: the six waypoint types in their order

// The cache type each selection shows the icon of.
constexpr std::array<int, CacheFilter::kCacheTypeSlots> kSlotIconTypes{
    CacheType::Traditional, CacheType::Multi,     CacheType::Unknown, CacheType::Earthcache, CacheType::Wherigo,
    CacheType::Webcam,      CacheType::Letterbox, CacheType::Event,   CacheType::Virtual,    CacheType::Other};

} // namespace

CFilterTypesScr::CFilterTypesScr(CGlobalData& global, QWidget* parent) : FilterPage(global, parent)
{
    QVBoxLayout* col = column();
    const int iconPx = touchPx(global) * 3 / 4;

    auto* head = new QHBoxLayout;
    addHeading(head, kTextCacheTypes);
    head->addStretch(1);
    QPushButton* all = makeButton(langText(global, kTextAll));
    all->setObjectName(QStringLiteral("allTypes"));
    QPushButton* none = makeButton(langText(global, kTextNone));
    none->setObjectName(QStringLiteral("noTypes"));
    head->addWidget(all);
    head->addWidget(none);
    col->addLayout(head);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(touchPx(global) / 4);
    for (int i = 0; i < CacheFilter::kCacheTypeSlots; ++i) {
        auto* box = new QCheckBox(langText(global, kTextCacheTypeFirst + i));
        box->setObjectName(QStringLiteral("cacheType%1").arg(i));
        box->setIcon(cacheIcon(kSlotIconTypes[static_cast<std::size_t>(i)], 0, false, iconPx));
        box->setIconSize(QSize(iconPx, iconPx));
        grid->addWidget(box, i / 2, i % 2);
        m_cacheTypes[static_cast<std::size_t>(i)] = box;
    }
    col->addLayout(grid);
    const auto setAll = [this](bool on) {
        for (QCheckBox* box : m_cacheTypes)
            box->setChecked(on);
    };
    connect(all, &QPushButton::clicked, this, [setAll] { setAll(true); });
    connect(none, &QPushButton::clicked, this, [setAll] { setAll(false); });

    col->addSpacing(touchPx(global) / 3);
    addHeading(col, kTextWaypointTypes);
    auto* wpts = new QGridLayout;
    for (int i = 0; i < CacheFilter::kWaypointTypeSlots; ++i) {
        auto* box = new QCheckBox(langText(global, kTextWptTypeFirst + i));
        box->setObjectName(QStringLiteral("wptType%1").arg(i));
        wpts->addWidget(box, i / 2, i % 2);
        m_wptTypes[static_cast<std::size_t>(i)] = box;
    }
    col->addLayout(wpts);
    col->addStretch(1);
}

void CFilterTypesScr::load(const CacheFilter& f)
{
    for (std::size_t i = 0; i < m_cacheTypes.size(); ++i)
        m_cacheTypes[i]->setChecked(f.cacheTypes[i] != 0);
    for (std::size_t i = 0; i < m_wptTypes.size(); ++i)
        m_wptTypes[i]->setChecked(f.wptTypes[i] != 0);
}

bool CFilterTypesScr::store(CacheFilter& f, Settings&)
{
    for (std::size_t i = 0; i < m_cacheTypes.size(); ++i)
        f.cacheTypes[i] = m_cacheTypes[i]->isChecked() ? 1 : 0;
    for (std::size_t i = 0; i < m_wptTypes.size(); ++i)
        f.wptTypes[i] = m_wptTypes[i]->isChecked() ? 1 : 0;
    return true;
}

} // namespace tw
