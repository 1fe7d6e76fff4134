// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QScrollArea>
#include <QString>

class QLabel;
class QVBoxLayout;
class QWidget;

namespace tw {

class CGlobalData;

// A page of the options: a scrolling column of fields with their captions
// above them, each at least a finger tall.
class OptionsPage : public QScrollArea {
    Q_OBJECT
public:
    explicit OptionsPage(CGlobalData& global, QWidget* parent = nullptr);
    // A caption above a field; the field is made tall enough to tap.
    QLabel* addField(const QString& caption, QWidget* field);
    void addWidget(QWidget* widget);
    // A short remark below the fields above it.
    QLabel* addNote(const QString& text);
    // A field with a browse key beside it.
    QWidget* withKey(QWidget* field, QWidget* key);
    // Ends the column: what follows is empty space.
    void finish();

protected:
    CGlobalData& m_global;
    const int m_tap;

private:
    QWidget* m_column = nullptr;
    QVBoxLayout* m_layout = nullptr;
};

} // namespace tw
