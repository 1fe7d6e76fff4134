// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CFilterManagScr.h"

#include "app/CGlobalData.h"
#include "platform/Prompter.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScroller>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextDeleteQuestion = 202;
constexpr int kTextSaveTitle = 203;
constexpr int kTextSavePrompt = 204;
constexpr int kTextSaveAs = 653;
constexpr int kTextLoad = 654;
constexpr int kTextDelete = 655;
constexpr int kTextNotSaved = 656;
constexpr int kTextNoneSaved = 659;
constexpr int kTextOk = 505;
constexpr int kTextCancel = 506;

} // namespace

CFilterManagScr::CFilterManagScr(CGlobalData& global, EditedFilter edited, QWidget* parent)
    : QWidget(parent), m_global(global), m_edited(std::move(edited))
{
    const int gap = touchPx(global) / 5;
    auto* col = new QVBoxLayout(this);
    col->setContentsMargins(gap * 2, gap * 2, gap * 2, gap * 2);
    col->setSpacing(gap);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("savedFilters"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QScroller::grabGesture(m_list->viewport(), QScroller::LeftMouseButtonGesture);
    col->addWidget(m_list, 1);
    m_empty = new QLabel(langText(global, kTextNoneSaved), this);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    col->addWidget(m_empty, 1);

    auto* buttons = new QHBoxLayout;
    const auto makeButton = [&](int textNumber, const QString& name) {
        auto* button = new QPushButton(langText(global, textNumber), this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        buttons->addWidget(button);
        return button;
    };
    m_saveAs = makeButton(kTextSaveAs, QStringLiteral("saveFilterAs"));
    m_load = makeButton(kTextLoad, QStringLiteral("loadFilter"));
    m_delete = makeButton(kTextDelete, QStringLiteral("deleteFilter"));
    col->addLayout(buttons);

    connect(m_list, &QListWidget::itemSelectionChanged, this, &CFilterManagScr::updateButtons);
    connect(m_list, &QListWidget::itemActivated, this, &CFilterManagScr::load);
    connect(m_saveAs, &QPushButton::clicked, this, &CFilterManagScr::saveAs);
    connect(m_load, &QPushButton::clicked, this, &CFilterManagScr::load);
    connect(m_delete, &QPushButton::clicked, this, &CFilterManagScr::remove);
    refresh();
}

void CFilterManagScr::refresh(const QString& select)
{
    const QString keep = select.isEmpty() ? selectedName() : select;
    m_list->clear();
    for (const std::string& name : listFilterFiles(m_global.list.filterFolder())) {
        auto* item = new QListWidgetItem(QString::fromStdString(name), m_list);
        if (item->text() == keep)
            m_list->setCurrentItem(item);
    }
    m_list->setVisible(m_list->count() > 0);
    m_empty->setVisible(m_list->count() == 0);
    updateButtons();
}

QString CFilterManagScr::selectedName() const
{
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void CFilterManagScr::updateButtons()
{
    const bool chosen = !selectedName().isEmpty();
    m_load->setEnabled(chosen);
    m_delete->setEnabled(chosen);
}

void CFilterManagScr::saveAs()
{
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("filterNameDialog"));
    dialog.setWindowTitle(langText(m_global, kTextSaveTitle));
    dialog.setLabelText(langText(m_global, kTextSavePrompt));
    dialog.setOkButtonText(langText(m_global, kTextOk));
    dialog.setCancelButtonText(langText(m_global, kTextCancel));
    const QString selected = selectedName();
    dialog.setTextValue(selected.isEmpty() ? QString::fromStdString(m_global.list.filter.fileName) : selected);
    if (execDialog(dialog, window()) != QDialog::Accepted)
        return;
    const std::string name = sanitizeFilterName(dialog.textValue().trimmed().toStdString());
    if (name.empty())
        return;
    std::optional<CacheFilter> filter = m_edited();
    if (!filter)
        return;
    filter->fileName = name;
    if (!filter->SaveToFile(m_global.list.filterFolder(), name)) {
        m_global.prompter.message(m_global.text(kTextNotSaved), MessageIcon::Exclamation);
        return;
    }
    m_global.list.filter.fileName = name;
    refresh(QString::fromStdString(name));
}

void CFilterManagScr::load()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    m_global.list.filter.fileName = name.toStdString();
    // An unreadable file leaves every field as it is.
    m_global.list.filter.LoadFromFile(m_global.list.filterFolder(), m_global.list.filter.fileName);
    emit filterLoaded();
}

void CFilterManagScr::remove()
{
    const QString name = selectedName();
    if (name.isEmpty() || !m_global.prompter.ask(m_global.text(kTextDeleteQuestion), false))
        return;
    deleteFilterFile(m_global.list.filterFolder(), name.toStdString());
    refresh();
}

} // namespace tw
