// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class QBoxLayout;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace tw {

class CGlobalData;
class CacheFilter;
struct Settings;

// A page of the filter screen: shows part of the filter (and the settings
// that belong with it) and writes it back when the screen is confirmed.
class FilterPage : public QWidget {
    Q_OBJECT
public:
    FilterPage(CGlobalData& global, QWidget* parent);

    virtual void load(const CacheFilter& filter) = 0;
    // Writes the page's fields into filter and settings; false when a field
    // does not read (the page has told the user which).
    virtual bool store(CacheFilter& filter, Settings& settings) = 0;

protected:
    // The page's column, inside an area that scrolls with a finger when the
    // window is short.
    QVBoxLayout* column() const { return m_column; }
    // Widgets sized for a finger, labelled from the language table.
    QLabel* addHeading(QBoxLayout* layout, int textNumber);
    QCheckBox* addCheck(QBoxLayout* layout, const QString& text);
    QRadioButton* addRadio(QBoxLayout* layout, const QString& text);
    QLineEdit* addEdit(QBoxLayout* layout, int labelNumber, const QString& objectName);
    QPushButton* makeButton(const QString& text);
    // A number field: digits with one decimal point or comma.
    static void acceptNumbers(QLineEdit* edit, bool decimals);
    // The number in a field; an empty field is 0.
    static double numberIn(const QLineEdit* edit);
    static QString numberText(double value, int decimals);
    // "km" or "mi", as the settings choose.
    QString unitText() const;

    CGlobalData& m_global;

private:
    QVBoxLayout* m_column = nullptr;
};

// Large check boxes, radio buttons, fields and list rows for the filter
// screens, in the window's own colours.
QString filterPageStyle(const CGlobalData& global);

} // namespace tw
