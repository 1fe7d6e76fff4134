// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/FilterPage.h"

#include "app/CGlobalData.h"
#include "filter/FilterChoices.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QScroller>
#include <QVBoxLayout>

namespace tw {

FilterPage::FilterPage(CGlobalData& global, QWidget* parent) : QWidget(parent), m_global(global)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScroller::grabGesture(scroll->viewport(), QScroller::LeftMouseButtonGesture);
    auto* inner = new QWidget(scroll);
    m_column = new QVBoxLayout(inner);
    const int gap = touchPx(global) / 5;
    m_column->setSpacing(gap);
    m_column->setContentsMargins(gap * 2, gap * 2, gap * 2, gap * 2);
    scroll->setWidget(inner);
    outer->addWidget(scroll);
}

QString FilterPage::unitText() const
{
    return m_global.settings.metricUnits ? QStringLiteral("km") : QStringLiteral("mi");
}

QLabel* FilterPage::addHeading(QBoxLayout* layout, int textNumber)
{
    auto* label = new QLabel(langText(m_global, textNumber));
    label->setWordWrap(true);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    layout->addWidget(label);
    return label;
}

QCheckBox* FilterPage::addCheck(QBoxLayout* layout, const QString& text)
{
    auto* box = new QCheckBox(text);
    layout->addWidget(box);
    return box;
}

QRadioButton* FilterPage::addRadio(QBoxLayout* layout, const QString& text)
{
    auto* button = new QRadioButton(text);
    layout->addWidget(button);
    return button;
}

QLineEdit* FilterPage::addEdit(QBoxLayout* layout, int labelNumber, const QString& objectName)
{
    auto* label = new QLabel(langText(m_global, labelNumber));
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* edit = new QLineEdit;
    edit->setObjectName(objectName);
    label->setBuddy(edit);
    layout->addWidget(edit);
    return edit;
}

QPushButton* FilterPage::makeButton(const QString& text)
{
    auto* button = new QPushButton(text);
    button->setAutoDefault(false);
    return button;
}

void FilterPage::acceptNumbers(QLineEdit* edit, bool decimals)
{
    const QString pattern = decimals ? QStringLiteral("[0-9]{0,6}([.,][0-9]{0,3})?") : QStringLiteral("[0-9]{0,6}");
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    edit->setInputMethodHints(decimals ? Qt::ImhFormattedNumbersOnly : Qt::ImhDigitsOnly);
}

double FilterPage::numberIn(const QLineEdit* edit)
{
    return readEnteredNumber(edit->text().toStdString()).value_or(0.0);
}

QString FilterPage::numberText(double value, int decimals)
{
    // No trailing zeros: "2.5", not "2.500".
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

QString filterPageStyle(const CGlobalData& global)
{
    const int h = touchPx(global);
    const int box = h * 3 / 5;
    return QStringLiteral("QCheckBox, QRadioButton { min-height: %1px; spacing: %3px; }"
                          "QCheckBox::indicator, QRadioButton::indicator { width: %2px; height: %2px; }"
                          "QLineEdit, QComboBox, QPushButton { min-height: %1px; }"
                          "QPushButton { padding: 0 %3px; }"
                          "QListWidget::item { min-height: %1px; }")
        .arg(h)
        .arg(box)
        .arg(h / 4);
}

} // namespace tw
