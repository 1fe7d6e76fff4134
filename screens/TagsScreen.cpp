// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/TagsScreen.h"

#include "app/CGlobalData.h"
#include "app/CacheActions.h"
#include "screens/LangText.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScroller>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextNoTags = 546;
constexpr int kTextCategory = 547;
constexpr int kTextValue = 548;
constexpr int kTextAdd = 549;
constexpr int kTextRemove = 550;

constexpr int kCategoryRole = Qt::UserRole;
constexpr int kValueRole = Qt::UserRole + 1;

} // namespace

TagsScreen::TagsScreen(CGlobalData& global, std::string code, QWidget* parent)
    : Screen(global, parent), m_code(std::move(code))
{
    setObjectName(QStringLiteral("tagsScreen"));
    const int tap = touchPx(global);
    auto* layout = new QVBoxLayout(this);

    QString name = QString::fromStdString(m_code);
    for (const auto& cache : global.list.recent)
        if (cache->code == m_code)
            name = QStringLiteral("%1 (%2)").arg(QString::fromStdString(cache->name), name);
    auto* title = new QLabel(QStringLiteral("<b>%1</b>").arg(name.toHtmlEscaped()), this);
    title->setWordWrap(true);
    layout->addWidget(title);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("tagList"));
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QScroller::grabGesture(m_list->viewport(), QScroller::LeftMouseButtonGesture);
    layout->addWidget(m_list, 1);

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(langText(global, kTextCategory), this), 0, 0);
    m_category = new QComboBox(this);
    m_category->setObjectName(QStringLiteral("category"));
    m_category->setEditable(true);
    m_category->setInsertPolicy(QComboBox::NoInsert);
    m_category->setMinimumHeight(tap);
    form->addWidget(m_category, 0, 1);
    form->addWidget(new QLabel(langText(global, kTextValue), this), 1, 0);
    m_value = new QComboBox(this);
    m_value->setObjectName(QStringLiteral("value"));
    m_value->setEditable(true);
    m_value->setInsertPolicy(QComboBox::NoInsert);
    m_value->setMinimumHeight(tap);
    form->addWidget(m_value, 1, 1);
    form->setColumnStretch(1, 1);
    layout->addLayout(form);

    // Adding is the main action key; removing works on the chosen row.
    m_remove = new QPushButton(langText(global, kTextRemove), this);
    m_remove->setObjectName(QStringLiteral("removeTag"));
    m_remove->setMinimumHeight(tap);
    layout->addWidget(m_remove);

    connect(m_remove, &QPushButton::clicked, this, &TagsScreen::removeSelectedTag);
    connect(m_list, &QListWidget::currentRowChanged, this, &TagsScreen::updateKeys);
    connect(m_category, &QComboBox::currentTextChanged, this, &TagsScreen::fillValues);

    fillCategories();
    showTags();
}

void TagsScreen::showTags()
{
    m_list->clear();
    const auto tags = userTagsOf(m_global, m_code);
    for (const auto& [category, value] : tags) {
        auto* item = new QListWidgetItem(QStringLiteral("%1: %2").arg(QString::fromStdString(category),
                                                                       QString::fromStdString(value)),
                                         m_list);
        item->setSizeHint(QSize(0, touchPx(m_global)));
        item->setData(kCategoryRole, QString::fromStdString(category));
        item->setData(kValueRole, QString::fromStdString(value));
    }
    if (tags.empty()) {
        auto* empty = new QListWidgetItem(langText(m_global, kTextNoTags), m_list);
        empty->setFlags(Qt::NoItemFlags);
    }
    updateKeys();
}

void TagsScreen::fillCategories()
{
    const QString typed = m_category->currentText();
    m_category->blockSignals(true);
    m_category->clear();
    for (const std::string& name : userTagCategories(m_global))
        m_category->addItem(QString::fromStdString(name));
    m_category->setCurrentText(typed);
    m_category->blockSignals(false);
    fillValues();
}

void TagsScreen::fillValues()
{
    const QString typed = m_value->currentText();
    m_value->blockSignals(true);
    m_value->clear();
    const std::string category = m_category->currentText().trimmed().toStdString();
    if (!category.empty())
        for (const std::string& value : tagValuesOf(m_global, category))
            m_value->addItem(QString::fromStdString(value));
    m_value->setCurrentText(typed);
    m_value->blockSignals(false);
}

void TagsScreen::updateKeys()
{
    const QString category = m_category->currentText().trimmed();
    const QListWidgetItem* chosen = m_list->currentItem();
    m_remove->setEnabled(chosen && chosen->data(kCategoryRole).isValid());
}

QString TagsScreen::mainActionText() const
{
    return langText(m_global, kTextAdd);
}

void TagsScreen::mainAction()
{
    addTag();
}

void TagsScreen::fillMenu(QMenu& menu)
{
    QAction* remove = menu.addAction(langText(m_global, kTextRemove), this, &TagsScreen::removeSelectedTag);
    remove->setEnabled(m_remove->isEnabled());
}

bool TagsScreen::addTag()
{
    const std::string category = m_category->currentText().trimmed().toStdString();
    const std::string value = m_value->currentText().trimmed().toStdString();
    if (!addUserTag(m_global, m_code, category, value))
        return false;
    fillCategories();
    m_value->setCurrentText(QString());
    showTags();
    return true;
}

bool TagsScreen::removeSelectedTag()
{
    const QListWidgetItem* chosen = m_list->currentItem();
    if (!chosen || !chosen->data(kCategoryRole).isValid() || !m_global.db.cacheDbAvailable())
        return false;
    const bool ok = removeUserTag(m_global, m_code, chosen->data(kCategoryRole).toString().toStdString(),
                                  chosen->data(kValueRole).toString().toStdString());
    showTags();
    fillValues();
    return ok;
}

} // namespace tw
