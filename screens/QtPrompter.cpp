// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/QtPrompter.h"

#include "platform/Signals.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

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
    // On the way out nobody reads a box: the text stays on record.
    if (terminationRequested()) {
        std::fprintf(stderr, "tarnwick: %s\n", text.c_str());
        return;
    }
    const QString q = QString::fromStdString(text);
    if (onGuiThread()) {
        showMessage(q, icon);
        return;
    }
    QMetaObject::invokeMethod(this, [this, q, icon] { showMessage(q, icon); }, Qt::QueuedConnection);
}

bool QtPrompter::ask(const std::string& text, bool defaultYes)
{
    // A question while the program ends is answered No: nothing new starts.
    if (terminationRequested())
        return false;
    const QString q = QString::fromStdString(text);
    if (onGuiThread())
        return showQuestion(q, defaultYes);
    // The worker waits for the answer, but not past a signal to end: the
    // window thread may then have left its event loop for the shutdown,
    // which waits for this worker.
    struct Answer {
        std::mutex mutex;
        std::condition_variable given;
        bool done = false;
        bool yes = false;
    };
    auto answer = std::make_shared<Answer>();
    QMetaObject::invokeMethod(
        this,
        [this, answer, q, defaultYes] {
            const bool yes = showQuestion(q, defaultYes);
            std::lock_guard lock(answer->mutex);
            answer->yes = yes;
            answer->done = true;
            answer->given.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(answer->mutex);
    while (!answer->done && !terminationRequested())
        answer->given.wait_for(lock, std::chrono::milliseconds(100));
    return answer->done && answer->yes && !terminationRequested();
}

void QtPrompter::showMessage(const QString& text, MessageIcon icon)
{
    if (terminationRequested())
        return;
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
    if (terminationRequested())
        return false;
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
    // A signal to end closes the box without an answer.
    return box.exec() == QMessageBox::Yes && !terminationRequested();
}

} // namespace tw
