// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CBMWarningDlg.h"

#include "screens/DialogKeys.h"
#include "screens/LangText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextTitle = 316;

} // namespace

CBMWarningDlg::CBMWarningDlg(CGlobalData& global, const QString& text, bool canGoOn, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("bmWarning"));
    setWindowTitle(langText(global, kTextTitle));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeDialogCaption(langText(global, kTextTitle), this));
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("warning"));
    label->setWordWrap(true);
    layout->addWidget(label);
    layout->addStretch(1);
    QDialogButtonBox* keys = makeDialogKeys(global, *this);
    // No downloads left: the basic member can only turn back.
    if (QPushButton* ok = keys->findChild<QPushButton*>(QStringLiteral("ok")); ok && !canGoOn) {
        ok->hide();
        keys->findChild<QPushButton*>(QStringLiteral("cancel"))->setDefault(true);
    }
    layout->addWidget(keys);
}

} // namespace tw
