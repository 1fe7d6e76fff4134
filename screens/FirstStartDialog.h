// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QPushButton;
class QStackedWidget;

namespace tw {

class CGlobalData;
class CoordEdit;

// The questions of the first start, before the cache list opens: first the
// language (each installed language file as a key in its own name), then
// the home position, which "Later" leaves unset. Every answer is stored in
// the settings file at once.
class FirstStartDialog final : public QDialog {
    Q_OBJECT
public:
    explicit FirstStartDialog(CGlobalData& global, QWidget* parent = nullptr);

    // The key of the language with this code; null when not installed.
    QPushButton* languageKey(const QString& code) const;
    // The home page's widgets; null until a language was chosen.
    CoordEdit* homeEdit() const { return m_home; }
    QPushButton* saveKey() const { return m_save; }
    QPushButton* laterKey() const { return m_later; }

    // Asks on a window of the main window's size when this is the first
    // start; returns at once otherwise.
    static void askIfFirstStart(CGlobalData& global);

private:
    void chooseLanguage(const QString& code);
    QWidget* makeHomePage();
    void saveHome();

    CGlobalData& m_global;
    QStackedWidget* m_pages = nullptr;
    CoordEdit* m_home = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_later = nullptr;
};

} // namespace tw
