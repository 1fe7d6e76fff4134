// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QDateEdit;
class QLineEdit;
class QSpinBox;

namespace tw {

class CGlobalData;

// Exports the field notes since a chosen date to the field-notes file. It
// shows the date, the file (with a browse key), the note template and the
// finds made outside this database; OK stores the three settings and writes
// the file. The dialog stays open when the file cannot be written.
class CExportFNDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CExportFNDlg(CGlobalData& global, QWidget* parent = nullptr);

    void accept() override;

    QDateEdit* sinceEdit() const { return m_since; }
    QLineEdit* fileEdit() const { return m_file; }
    QLineEdit* templateEdit() const { return m_template; }
    QSpinBox* extraFindsBox() const { return m_extra; }

private:
    void browse();

    CGlobalData& m_global;
    QDateEdit* m_since = nullptr;
    QLineEdit* m_file = nullptr;
    QLineEdit* m_template = nullptr;
    QSpinBox* m_extra = nullptr;
};

} // namespace tw
