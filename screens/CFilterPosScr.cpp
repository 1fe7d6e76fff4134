// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CFilterPosScr.h"

#include "screens/AddressSearchBox.h"

#include "app/CGlobalData.h"
#include "geo/ReferencePosition.h"
#include "platform/Prompter.h"
#include "screens/CoordEdit.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextModeFirst = 641; // 641 to 644: GPS, map centre, entered point, home
constexpr int kTextCoordinates = 497;
constexpr int kTextUnreadable = 226;

constexpr int kModeHome = 3;

} // namespace

CFilterPosScr::CFilterPosScr(CGlobalData& global, QWidget* parent) : FilterPage(global, parent)
{
    QVBoxLayout* col = column();
    m_mode = new QButtonGroup(this);
    for (int mode = 0; mode < 4; ++mode) {
        QRadioButton* button = addRadio(col, langText(global, kTextModeFirst + mode));
        button->setObjectName(QStringLiteral("refPoint%1").arg(mode));
        m_mode->addButton(button, mode);
    }
    col->addSpacing(touchPx(global) / 3);
    auto* label = new QLabel(langText(global, kTextCoordinates));
    col->addWidget(label);
    m_point = new CoordEdit(global, this);
    label->setBuddy(m_point->latField());
    col->addWidget(m_point);
    // Typing or pasting a point means measuring from it.
    connect(m_point, &CoordEdit::edited, this, [this] { m_mode->button(geo::kRefManual)->setChecked(true); });
    // An address found online becomes the manual point.
    col->addSpacing(touchPx(global) / 3);
    auto* address = new AddressSearchBox(global, this);
    col->addWidget(address);
    connect(address, &AddressSearchBox::found, this, [this](double lat, double lon) {
        m_point->setPosition({lat, lon});
        m_mode->button(geo::kRefManual)->setChecked(true);
    });
    col->addStretch(1);
}

void CFilterPosScr::load(const CacheFilter& f)
{
    const int mode = f.refPoint >= geo::kRefGps && f.refPoint <= geo::kRefManual ? f.refPoint : kModeHome;
    m_mode->button(mode)->setChecked(true);
    m_point->setPosition({f.manLat, f.manLon});
}

bool CFilterPosScr::store(CacheFilter& f, Settings&)
{
    const int mode = m_mode->checkedId();
    if (const auto point = m_point->position()) {
        f.manLat = point->lat;
        f.manLon = point->lon;
    } else if (mode == geo::kRefManual) {
        m_global.prompter.message(m_global.text(kTextUnreadable), MessageIcon::Exclamation);
        m_point->latField()->setFocus();
        return false;
    }
    f.refPoint = mode >= 0 ? mode : kModeHome;
    return true;
}

} // namespace tw
