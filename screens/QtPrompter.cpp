// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace tw {
namespace {

bool onGuiThread()
{
    return QThread::currentThread() == qApp->thread();
}

// The answer keys of a question; the batch mode prints the same words.
constexpr int kTextYes = 1006;
constexpr int kTextNo = 1007;

} // namespace

QtPrompter::QtPrompter(QObject* parent) : QObject(parent) {}

void QtPrompter::message(const std::string& text, MessageIcon icon)
{
    const QString q = QString::fromStdString(text);
    if (onGuiThread()) {
        showMessage(q, icon);
        return;
    }
    QMetaObject::invokeMethod(this, [this, q, icon] { showMessage(q, icon); }, Qt::QueuedConnection);
}

bool QtPrompter::ask(const std::string& text, bool defaultYes)
{
    const QString q = QString::fromStdString(text);
    if (onGuiThread())
        return showQuestion(q, defaultYes);
    bool answer = defaultYes;
    QMetaObject::invokeMethod(
        this, [&] { answer = showQuestion(q, defaultYes); }, Qt::BlockingQueuedConnection);
    return answer;
}

void QtPrompter::showMessage(const QString& text, MessageIcon icon)
{
    QMessageBox box(m_parentWidget);
    box.setWindowTitle(QStringLiteral("Tarnwick"));
    box.setText(text);
    box.setIcon(icon == MessageIcon::Exclamation   ? QMessageBox::Warning
                : icon == MessageIcon::Information ? QMessageBox::Information
                                                   : QMessageBox::NoIcon);
    box.exec();
}

bool QtPrompter::showQuestion(const QString& text, bool defaultYes)
{
    QMessageBox box(m_parentWidget);
    box.setWindowTitle(QStringLiteral("Tarnwick"));
    box.setText(text);
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    // Qt's own captions would stay English.
    const TextLookup& texts = *m_texts;
    box.button(QMessageBox::Yes)->setText(QString::fromStdString(texts.textOr(kTextYes, "Yes")));
    box.button(QMessageBox::No)->setText(QString::fromStdString(texts.textOr(kTextNo, "No")));
    return box.exec() == QMessageBox::Yes;
}

} // namespace tw
