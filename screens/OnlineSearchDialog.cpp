// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/OnlineSearchDialog.h"

#include "app/CGlobalData.h"
#include "screens/CFilterImportScr.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextSearchTitle = 831;

} // namespace

OnlineSearchDialog::OnlineSearchDialog(CGlobalData& global, QWidget* parent) : QDialog(parent), m_global(global)
{
    setObjectName(QStringLiteral("onlineSearch"));
    setWindowTitle(langText(global, kTextSearchTitle));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeDialogCaption(langText(global, kTextSearchTitle), this));
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_page = new CFilterImportScr(global, scroll);
    m_page->load(global.list.filter);
    scroll->setWidget(m_page);
    layout->addWidget(scroll, 1);
    layout->addWidget(makeDialogKeys(global, *this));
}

void OnlineSearchDialog::accept()
{
    CacheFilter filter = m_global.list.filter;
    if (!m_page->store(filter, m_global.settings))
        return;
    m_global.list.filter = filter;
    m_global.SaveSettings(SettingsGroup::General);
    m_global.list.saveFilter();
    QDialog::accept();
}

} // namespace tw
