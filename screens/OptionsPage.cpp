// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/OptionsPage.h"

#include "screens/Screen.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScroller>
#include <QVBoxLayout>

#include <algorithm>

namespace tw {

OptionsPage::OptionsPage(CGlobalData& global, QWidget* parent)
    : QScrollArea(parent), m_global(global), m_tap(touchPx(global))
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_column = new QWidget(this);
    m_layout = new QVBoxLayout(m_column);
    m_layout->setContentsMargins(m_tap / 4, m_tap / 4, m_tap / 4, m_tap / 4);
    m_layout->setSpacing(m_tap / 6);
    setWidget(m_column);
    QScroller::grabGesture(viewport(), QScroller::LeftMouseButtonGesture);
}

QLabel* OptionsPage::addField(const QString& caption, QWidget* field)
{
    auto* label = new QLabel(caption, m_column);
    label->setWordWrap(true);
    label->setBuddy(field);
    m_layout->addSpacing(m_tap / 6);
    m_layout->addWidget(label);
    addWidget(field);
    return label;
}

void OptionsPage::addWidget(QWidget* widget)
{
    widget->setParent(m_column);
    if (!qobject_cast<QPlainTextEdit*>(widget) && !qobject_cast<QLabel*>(widget))
        widget->setMinimumHeight(std::max(widget->minimumHeight(), m_tap));
    m_layout->addWidget(widget);
}

QLabel* OptionsPage::addNote(const QString& text)
{
    auto* note = new QLabel(text, m_column);
    note->setWordWrap(true);
    QFont small = note->font();
    small.setItalic(true);
    note->setFont(small);
    m_layout->addWidget(note);
    return note;
}

QWidget* OptionsPage::withKey(QWidget* field, QWidget* key)
{
    auto* row = new QWidget(m_column);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(m_tap / 6);
    field->setMinimumHeight(m_tap);
    key->setMinimumHeight(m_tap);
    layout->addWidget(field, 1);
    layout->addWidget(key);
    return row;
}

void OptionsPage::finish()
{
    m_layout->addStretch(1);
}

} // namespace tw
