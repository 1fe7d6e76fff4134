// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CFilterImportScr.h"

#include "app/CGlobalData.h"
#include "filter/CacheFilter.h"
#include "filter/FilterChoices.h"
#include "screens/LangText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tw {
namespace {

constexpr int kTextSearchMaxCaches = 164;
constexpr int kTextSearchDistance = 169;
constexpr int kTextSearchNote = 170;
constexpr int kTextOnlyNew = 351;
constexpr int kTextNotFound = 352;
constexpr int kTextLiteData = 375;
constexpr int kTextFullData = 376;

// A limit shown in a text with "%d": an unknown one (negative) as "?".
QString withCount(QString text, int count)
{
    return text.replace(QStringLiteral("%d"), count < 0 ? QStringLiteral("?") : QString::number(count));
}

} // namespace

CFilterImportScr::CFilterImportScr(CGlobalData& global, QWidget* parent) : FilterPage(global, parent)
{
    QVBoxLayout* col = column();
    m_maxCaches = addEdit(col, kTextSearchMaxCaches, QStringLiteral("maxImpCaches"));
    acceptNumbers(m_maxCaches, false);
    m_maxCaches->setMaxLength(3);

    auto* distanceLabel = new QLabel(langText(global, kTextSearchDistance));
    distanceLabel->setWordWrap(true);
    col->addWidget(distanceLabel);
    auto* row = new QHBoxLayout;
    m_distance = new QLineEdit;
    m_distance->setObjectName(QStringLiteral("searchDistance"));
    acceptNumbers(m_distance, true);
    distanceLabel->setBuddy(m_distance);
    row->addWidget(m_distance, 1);
    connect(m_distance, &QLineEdit::textEdited, this, [this] {
        emit distanceEdited(distanceKmFromUserUnits(numberIn(m_distance), m_global.settings.metricUnits != 0));
    });
    row->addWidget(new QLabel(unitText()));
    col->addLayout(row);

    m_onlyNew = addCheck(col, langText(global, kTextOnlyNew));
    m_onlyNew->setObjectName(QStringLiteral("impOnlyNew"));
    m_notFound = addCheck(col, langText(global, kTextNotFound));
    m_notFound->setObjectName(QStringLiteral("impNotFound"));
    auto* dataKind = new QButtonGroup(this);
    m_full = addRadio(col, withCount(langText(global, kTextFullData), global.settings.dnlFull));
    m_full->setObjectName(QStringLiteral("fullData"));
    m_lite = addRadio(col, withCount(langText(global, kTextLiteData), global.settings.dnlLite));
    m_lite->setObjectName(QStringLiteral("liteData"));
    dataKind->addButton(m_full);
    dataKind->addButton(m_lite);

    auto* note = new QLabel(langText(global, kTextSearchNote));
    note->setWordWrap(true);
    col->addWidget(note);
    col->addStretch(1);
}

void CFilterImportScr::load(const CacheFilter& f)
{
    const Settings& s = m_global.settings;
    m_maxCaches->setText(QString::number(std::clamp(s.maxImpCaches, 0, 999)));
    showDistance(f.distanceKm);
    m_onlyNew->setChecked(s.impOnlyNew != 0);
    m_notFound->setChecked(s.impNotFound != 0);
    // A basic membership downloads lite data only.
    m_full->setEnabled(s.isBasic == 0);
    (s.isLite != 0 || s.isBasic != 0 ? m_lite : m_full)->setChecked(true);
}

void CFilterImportScr::showDistance(double distanceKm)
{
    m_distance->setText(numberText(searchDistanceInUserUnits(distanceKm, m_global.settings.metricUnits != 0), 2));
}

bool CFilterImportScr::store(CacheFilter& f, Settings& s)
{
    s.maxImpCaches = static_cast<int>(std::min(numberIn(m_maxCaches), 999.0));
    s.impOnlyNew = m_onlyNew->isChecked() ? 1 : 0;
    s.impNotFound = m_notFound->isChecked() ? 1 : 0;
    s.isLite = m_lite->isChecked() ? 1 : 0;
    if (m_distance->isModified())
        f.distanceKm = distanceKmFromUserUnits(std::min(numberIn(m_distance), 999.0), s.metricUnits != 0);
    return true;
}

} // namespace tw
