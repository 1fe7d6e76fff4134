// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CFilterTagScr.h"

#include "app/CGlobalData.h"
#include "app/CacheActions.h"
#include "filter/CacheFilter.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QButtonGroup>
#include <QListWidget>
#include <QRadioButton>
#include <QScroller>
#include <QVBoxLayout>

#include <algorithm>

namespace tw {
namespace {

constexpr int kTextTagModeFirst = 647;   // 647 to 649: no tag condition, with the tag, without it
constexpr int kTextCategory = 650;
constexpr int kTextValue = 651;
constexpr int kTextAnyValue = 652;

QListWidget* makeChoiceList(QWidget* parent)
{
    auto* list = new QListWidget(parent);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QScroller::grabGesture(list->viewport(), QScroller::LeftMouseButtonGesture);
    return list;
}

} // namespace

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
    for (const std::string& name : tagCategoryNames(m_global))
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
    if (!category)
        return;
    for (const std::string& value : tagValuesOf(m_global, category->text().toStdString())) {
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

} // namespace tw
