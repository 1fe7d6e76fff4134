// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/DialogKeys.h"

#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace tw {
namespace {

constexpr int kTextOk = 540;
constexpr int kTextCancel = 541;
constexpr int kTextClose = 563;

} // namespace

QDialogButtonBox* addDialogKeys(QDialog& dialog, QBoxLayout& layout, const CGlobalData& g, bool okAndCancel)
{
    auto* keys = new QDialogButtonBox(&dialog);
    keys->setObjectName(QStringLiteral("dialogKeys"));
    if (okAndCancel) {
        QPushButton* ok = keys->addButton(langText(g, kTextOk), QDialogButtonBox::AcceptRole);
        ok->setObjectName(QStringLiteral("okKey"));
        ok->setDefault(true);
        keys->addButton(langText(g, kTextCancel), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("cancelKey"));
    } else {
        keys->addButton(langText(g, kTextClose), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("closeKey"));
    }
    for (QAbstractButton* key : keys->buttons()) {
        key->setMinimumHeight(touchPx(g));
        key->setMinimumWidth(touchPx(g) * 2);
    }
    QObject::connect(keys, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(keys, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout.addWidget(keys);
    // A dialog is a window of its own: it would not take the main window's
    // (scaled) font by itself.
    if (QWidget* parent = dialog.parentWidget())
        dialog.setFont(parent->window()->font());
    return keys;
}

QString titleOf(QString menuText)
{
    if (menuText.endsWith(QChar(0x2026)))
        menuText.chop(1);
    return menuText;
}

} // namespace tw
