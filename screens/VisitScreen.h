// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"

#include "screens/Screen.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPlainTextEdit;
class QTimeEdit;

namespace tw {

// The visit of one cache, written as a field note: the log type, the date
// and time of the visit and a short text. Save stores the note (and the
// find); the menu recounts the finds, switches the template for online logs
// and deletes the note.
class VisitScreen final : public Screen {
    Q_OBJECT
public:
    VisitScreen(CGlobalData& global, const std::string& code, QWidget* parent = nullptr);

    QString mainActionText() const override;
    // Saves and closes.
    void mainAction() override;
    void fillMenu(QMenu& menu) override;

    // The commands, each as the user would run it.
    bool save();
    int recount();
    void setUseTemplate(bool on);
    // Asks first; true when the note was deleted.
    bool deleteNote();

    QComboBox* typeList() const { return m_type; }
    QDateEdit* dateEdit() const { return m_date; }
    QTimeEdit* timeEdit() const { return m_time; }
    QPlainTextEdit* textEdit() const { return m_text; }

private:
    void showNote();
    void showFinds(int finds);

    CGeocache m_cache;
    bool m_loaded = false;
    QComboBox* m_type = nullptr;
    QDateEdit* m_date = nullptr;
    QTimeEdit* m_time = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QLabel* m_finds = nullptr;
};

} // namespace tw
