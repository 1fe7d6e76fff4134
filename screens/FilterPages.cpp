// SPDX-License-Identifier: GPL-3.0-or-later
// The filter screen's pages of plain fields: properties, types, tags and the
// online search options.
#include "screens/FilterPages.h"

#include "app/CGlobalData.h"
#include "db/Enumerations.h"
#include "db/Tags.h"
#include "filter/FilterChoices.h"
#include "screens/CacheIcons.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScroller>

#include <algorithm>
#include <cmath>

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
constexpr int kTextCacheTypes = 621;
constexpr int kTextWaypointTypes = 622;
constexpr int kTextAll = 623;
constexpr int kTextNone = 624;
constexpr int kTextCacheTypeFirst = 625; // 625 to 634: the ten type selections in their order
constexpr int kTextWptTypeFirst = 486;   // 486 to 491: the six waypoint types in their order
constexpr int kTextTagModeFirst = 647;   // 647 to 649: no tag condition, with the tag, without it
constexpr int kTextCategory = 650;
constexpr int kTextValue = 651;
constexpr int kTextAnyValue = 652;
constexpr int kTextSearchMaxCaches = 164;
constexpr int kTextSearchDistance = 169;
constexpr int kTextSearchNote = 170;
constexpr int kTextOnlyNew = 351;
constexpr int kTextNotFound = 352;
constexpr int kTextLiteData = 375;
constexpr int kTextFullData = 376;

// The cache type each selection shows the icon of.
constexpr std::array<int, CacheFilter::kCacheTypeSlots> kSlotIconTypes{
    CacheType::Traditional, CacheType::Multi,     CacheType::Unknown, CacheType::Earthcache, CacheType::Wherigo,
    CacheType::Webcam,      CacheType::Letterbox, CacheType::Event,   CacheType::Virtual,    CacheType::Other};

QString unitText(const CGlobalData& g)
{
    return g.settings.metricUnits ? QStringLiteral("km") : QStringLiteral("mi");
}

// A limit shown in a text with "%d": an unknown one (negative) as "?".
QString withCount(QString text, int count)
{
    return text.replace(QStringLiteral("%d"), count < 0 ? QStringLiteral("?") : QString::number(count));
}

QListWidget* makeChoiceList(QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QScroller::grabGesture(list->viewport(), QScroller::LeftMouseButtonGesture);
    return list;
}

} // namespace

// ---------------------------------------------------------------------------

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

    auto* distanceLabel = new QLabel(langText(global, kTextDistance).replace(QStringLiteral("%s"), unitText(global)));
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

// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------

CFilterTagScr::CFilterTagScr(CGlobalData& global, QWidget* parent) : FilterPage(global, parent)
{
    QVBoxLayout* col = column();
    m_mode = new QButtonGroup(this);
    for (int mode = 0; mode < 3; ++mode) {
        QRadioButton* button = addRadio(col, langText(global, kTextTagModeFirst + mode));
        button->setObjectName(QStringLiteral("tagMode%1").arg(mode));
        m_mode->addButton(button, mode);
    }
    const int listPx = touchPx(global) * 4;
    addHeading(col, kTextCategory);
    m_categories = makeChoiceList(this);
    m_categories->setObjectName(QStringLiteral("categories"));
    m_categories->setMinimumHeight(listPx);
    col->addWidget(m_categories, 1);
    addHeading(col, kTextValue);
    m_values = makeChoiceList(this);
    m_values->setObjectName(QStringLiteral("values"));
    m_values->setMinimumHeight(listPx);
    col->addWidget(m_values, 1);

    connect(m_categories, &QListWidget::currentRowChanged, this, [this] {
        fillValues({});
        // Choosing a tag means filtering by it.
        if (m_categories->currentRow() >= 0 && m_mode->checkedId() == 0)
            m_mode->button(1)->setChecked(true);
    });
}

void CFilterTagScr::load(const CacheFilter& f)
{
    const QSignalBlocker block(m_categories);
    m_categories->clear();
    if (m_global.db.cacheDb.opened())
        for (const std::string& name : ListCategories(m_global.db.cacheDb))
            m_categories->addItem(QString::fromStdString(name));
    const auto found = m_categories->findItems(QString::fromStdString(f.tagCategory), Qt::MatchExactly);
    m_categories->setCurrentRow(found.isEmpty() || f.tagCategory.empty() ? -1 : m_categories->row(found.first()));
    fillValues(QString::fromStdString(f.tagValue));
    const int mode = f.useTag == 1 || f.useTag == 2 ? f.useTag : 0;
    m_mode->button(mode)->setChecked(true);
}

void CFilterTagScr::fillValues(const QString& selectValue)
{
    m_values->clear();
    QListWidgetItem* any = new QListWidgetItem(langText(m_global, kTextAnyValue), m_values);
    m_values->setCurrentItem(any);
    QListWidgetItem* category = m_categories->currentItem();
    if (!category || !m_global.db.cacheDb.opened())
        return;
    for (const std::string& value : ListValues(m_global.db.cacheDb, category->text().toStdString())) {
        auto* item = new QListWidgetItem(QString::fromStdString(value), m_values);
        item->setData(Qt::UserRole, true); // a real value, not "any value"
        if (!selectValue.isEmpty() && item->text() == selectValue)
            m_values->setCurrentItem(item);
    }
}

bool CFilterTagScr::store(CacheFilter& f, Settings&)
{
    QListWidgetItem* category = m_categories->currentItem();
    QListWidgetItem* value = m_values->currentItem();
    if (!category) {
        f.useTag = 0;
        f.tagCategory.clear();
        f.tagValue.clear();
        return true;
    }
    f.useTag = std::max(m_mode->checkedId(), 0);
    f.tagCategory = category->text().toStdString();
    f.tagValue = value && value->data(Qt::UserRole).toBool() ? value->text().toStdString() : std::string();
    return true;
}

// ---------------------------------------------------------------------------

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
    row->addWidget(new QLabel(unitText(global)));
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
