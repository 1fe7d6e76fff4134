// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Prompter.h"
#include "platform/TextLookup.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <atomic>

namespace tw {

// Message boxes and questions. Callable from any thread: a message from a
// worker is posted to the window thread and the worker goes on; a question
// blocks the worker until the user has answered. Once a signal to end has
// come, no box opens: messages go to stderr and questions are answered No.
class QtPrompter final : public QObject, public Prompter {
    Q_OBJECT
public:
    explicit QtPrompter(QObject* parent = nullptr);
    void setParentWidget(QWidget* widget) { m_parentWidget = widget; }
    // The captions of the answer keys (English until set); texts must
    // outlive the prompter.
    void setTexts(const TextLookup& texts) { m_texts = &texts; }

    void message(const std::string& text, MessageIcon icon) override;
    bool ask(const std::string& text, bool defaultYes) override;

private:
    void showMessage(const QString& text, MessageIcon icon);
    bool showQuestion(const QString& text, bool defaultYes);

    QPointer<QWidget> m_parentWidget;
    std::atomic<const TextLookup*> m_texts{&englishTexts()};
};

} // namespace tw
