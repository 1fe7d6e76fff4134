// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/DialogKeys.h"

#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>

namespace tw {
namespace {

constexpr int kTextOk = 505;
constexpr int kTextCancel = 506;
constexpr int kTextClose = 563;

} // namespace

QLabel* makeDialogCaption(const QString& text, QWidget* parent)
{
    auto* caption = new QLabel(text, parent);
    caption->setObjectName(QStringLiteral("caption"));
    QFont font = caption->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    caption->setFont(font);
    caption->setWordWrap(true);
    return caption;
}

QDialogButtonBox* makeDialogKeys(const CGlobalData& global, QDialog& dialog)
{
    auto* keys = new QDialogButtonBox(&dialog);
    QPushButton* ok = keys->addButton(langText(global, kTextOk), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = keys->addButton(langText(global, kTextCancel), QDialogButtonBox::RejectRole);
    ok->setObjectName(QStringLiteral("ok"));
    cancel->setObjectName(QStringLiteral("cancel"));
    ok->setDefault(true);
    for (QPushButton* key : {ok, cancel}) {
        key->setMinimumHeight(touchPx(global));
        key->setMinimumWidth(touchPx(global) * 5 / 2);
    }
    QObject::connect(keys, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(keys, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return keys;
}

QPushButton* makeTouchButton(const CGlobalData& global, const QString& text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setMinimumHeight(touchPx(global));
    button->setAutoDefault(false);
    return button;
}

QString linesForWidget(const std::string& text)
{
    QString lines = QString::fromStdString(text);
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return lines;
}

std::string linesFromWidget(const QString& text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return lines.toStdString();
}

QDialogButtonBox* addDialogKeys(QDialog& dialog, QBoxLayout& layout, const CGlobalData& global, bool okAndCancel)
{
    auto* keys = new QDialogButtonBox(&dialog);
    keys->setObjectName(QStringLiteral("dialogKeys"));
    if (okAndCancel) {
        QPushButton* ok = keys->addButton(langText(global, kTextOk), QDialogButtonBox::AcceptRole);
        ok->setObjectName(QStringLiteral("okKey"));
        ok->setDefault(true);
        keys->addButton(langText(global, kTextCancel), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("cancelKey"));
    } else {
        keys->addButton(langText(global, kTextClose), QDialogButtonBox::RejectRole)
            ->setObjectName(QStringLiteral("closeKey"));
    }
    for (QAbstractButton* key : keys->buttons()) {
        key->setMinimumHeight(touchPx(global));
        key->setMinimumWidth(touchPx(global) * 2);
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
