// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CFilterPropsScr.h"

#include "app/CGlobalData.h"
#include "db/FullText.h"
#include "filter/CacheFilter.h"
#include "filter/FilterChoices.h"
#include "screens/LangText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace tw {
namespace {

constexpr int kTextCode = 607;
constexpr int kTextName = 608;
constexpr int kTextOwner = 609;
constexpr int kTextDistance = 610;
constexpr int kTextAvailable = 611;
constexpr int kTextDisabled = 612;
constexpr int kTextArchived = 613;
constexpr int kTextFinalKnown = 614;
constexpr int kTextMaxRows = 615;
constexpr int kTextOwnedByMe = 616;
constexpr int kTextFoundByMe = 617;
constexpr int kTextEitherFirst = 618; // 618 to 620: no, yes, either
constexpr int kTextTextQuery = 1250;
constexpr int kTextLookIn = 1251;
constexpr int kTextPlaceFirst = 1252; // 1252 to 1257: in the order of kPlaces

// Where the text query looks, as the choice lists them.
constexpr TextFields kPlaces[] = {TextField::All,  TextField::Listing, TextField::Hint,
                                  TextField::Logs, TextField::Note,    TextField::Waypoints};

} // namespace

CFilterPropsScr::CFilterPropsScr(CGlobalData& global, QWidget* parent) : FilterPage(global, parent)
{
    QVBoxLayout* col = column();
    auto* codeLabel = new QLabel(langText(global, kTextCode));
    col->addWidget(codeLabel);
    auto* codeRow = new QHBoxLayout;
    codeRow->addWidget(new QLabel(QStringLiteral("GC")));
    m_code = new QLineEdit;
    m_code->setObjectName(QStringLiteral("code"));
    codeLabel->setBuddy(m_code);
    codeRow->addWidget(m_code, 1);
    col->addLayout(codeRow);
    m_name = addEdit(col, kTextName, QStringLiteral("name"));
    m_owner = addEdit(col, kTextOwner, QStringLiteral("owner"));
    m_text = addEdit(col, kTextTextQuery, QStringLiteral("textQuery"));
    auto* placeLabel = new QLabel(langText(global, kTextLookIn));
    col->addWidget(placeLabel);
    m_textFields = new QComboBox;
    m_textFields->setObjectName(QStringLiteral("textFields"));
    for (std::size_t i = 0; i < std::size(kPlaces); ++i)
        m_textFields->addItem(langText(global, kTextPlaceFirst + static_cast<int>(i)));
    placeLabel->setBuddy(m_textFields);
    col->addWidget(m_textFields);

    auto* distanceLabel = new QLabel(langText(global, kTextDistance).replace(QStringLiteral("%s"), unitText()));
    distanceLabel->setWordWrap(true);
    col->addWidget(distanceLabel);
    m_distance = new QLineEdit;
    m_distance->setObjectName(QStringLiteral("distance"));
    acceptNumbers(m_distance, true);
    distanceLabel->setBuddy(m_distance);
    col->addWidget(m_distance);
    connect(m_distance, &QLineEdit::textEdited, this, [this] {
        emit distanceEdited(distanceKmFromUserUnits(numberIn(m_distance), m_global.settings.metricUnits != 0));
    });

    m_active = addCheck(col, langText(global, kTextAvailable));
    m_active->setObjectName(QStringLiteral("active"));
    m_disabled = addCheck(col, langText(global, kTextDisabled));
    m_disabled->setObjectName(QStringLiteral("disabled"));
    m_archived = addCheck(col, langText(global, kTextArchived));
    m_archived->setObjectName(QStringLiteral("archived"));
    m_final = addCheck(col, langText(global, kTextFinalKnown));
    m_final->setObjectName(QStringLiteral("mustHaveFinal"));

    const auto addEither = [&](int labelNumber, const QString& name) {
        auto* label = new QLabel(langText(global, labelNumber));
        col->addWidget(label);
        auto* combo = new QComboBox;
        combo->setObjectName(name);
        for (int i = 0; i < 3; ++i)
            combo->addItem(langText(global, kTextEitherFirst + i));
        label->setBuddy(combo);
        col->addWidget(combo);
        return combo;
    };
    m_owned = addEither(kTextOwnedByMe, QStringLiteral("owned"));
    m_found = addEither(kTextFoundByMe, QStringLiteral("found"));

    m_maxRows = addEdit(col, kTextMaxRows, QStringLiteral("maxRows"));
    acceptNumbers(m_maxRows, false);
    col->addStretch(1);
}

void CFilterPropsScr::load(const CacheFilter& f)
{
    m_code->setText(QString::fromStdString(f.code));
    m_name->setText(QString::fromStdString(f.name));
    m_owner->setText(QString::fromStdString(f.owner));
    m_text->setText(QString::fromStdString(f.textQuery));
    // A place the choice does not list (a mix) reads as everywhere.
    const auto place = std::find(std::begin(kPlaces), std::end(kPlaces), f.textFields);
    m_textFields->setCurrentIndex(place == std::end(kPlaces) ? 0 : static_cast<int>(place - std::begin(kPlaces)));
    showDistance(f.distanceKm);
    m_active->setChecked(f.active != 0);
    m_disabled->setChecked(f.disabled != 0);
    m_archived->setChecked(f.archived != 0);
    m_final->setChecked(f.mustHaveFinal != 0);
    m_owned->setCurrentIndex(eitherIndex(f.owned));
    m_found->setCurrentIndex(eitherIndex(f.found));
    m_maxRows->setText(QString::number(m_global.settings.maxRows));
}

void CFilterPropsScr::showDistance(double distanceKm)
{
    m_distance->setText(numberText(distanceInUserUnits(distanceKm, m_global.settings.metricUnits != 0), 2));
}

bool CFilterPropsScr::store(CacheFilter& f, Settings& s)
{
    f.code = m_code->text().trimmed().toStdString();
    f.name = m_name->text().trimmed().toStdString();
    f.owner = m_owner->text().trimmed().toStdString();
    f.textQuery = m_text->text().simplified().toStdString();
    f.textFields = kPlaces[static_cast<std::size_t>(std::clamp(m_textFields->currentIndex(), 0,
                                                               static_cast<int>(std::size(kPlaces)) - 1))];
    // Untouched, the shown (rounded) distance must not replace the stored one.
    if (m_distance->isModified())
        f.distanceKm = distanceKmFromUserUnits(numberIn(m_distance), s.metricUnits != 0);
    f.active = m_active->isChecked() ? 1 : 0;
    f.disabled = m_disabled->isChecked() ? 1 : 0;
    f.archived = m_archived->isChecked() ? 1 : 0;
    f.mustHaveFinal = m_final->isChecked() ? 1 : 0;
    f.owned = std::max(m_owned->currentIndex(), 0);
    f.found = std::max(m_found->currentIndex(), 0);
    // An empty or zero row limit would show an empty list for no reason.
    const double rows = numberIn(m_maxRows);
    if (rows >= 1)
        s.maxRows = static_cast<int>(rows);
    return true;
}

} // namespace tw
