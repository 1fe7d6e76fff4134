// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/WaypointEditing.h"
#include "geo/FormulaSheet.h"

#include <QDialog>

#include <string>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

namespace tw {

class CGlobalData;

// The formula dialog of a waypoint: its two formulas (from the formula block
// of the waypoint's note) with their hemispheres, and the letter values
// (from the variable block of the cache's note). Normalise tidies the
// formulas, Compute shows the result with its digit sum and the sum of the
// values. OK computes once more, stores the variables in the cache's note at
// once and hands back the note with its formula block and the result.
class CEvalDlg final : public QDialog {
    Q_OBJECT
public:
    // code: the waypoint's cache; comment: the waypoint's note as edited.
    CEvalDlg(CGlobalData& global, const std::string& code, const std::string& comment, QWidget* parent = nullptr);

    void normalise();
    void compute();
    // Takes the formulas from the clipboard, one a line.
    void insertFormulas();
    void accept() override;

    // Valid after the dialog was accepted.
    const FormulaOutcome& outcome() const { return m_outcome; }
    const geo::FormulaSheet& sheet() const { return m_sheet; }

private:
    void readFields();
    void showFields();
    void showResult();

    CGlobalData& m_global;
    std::string m_code;
    std::string m_comment;
    geo::FormulaSheet m_sheet;
    FormulaOutcome m_outcome;

    QToolButton* m_latHemisphere = nullptr;
    QLineEdit* m_lat = nullptr;
    QToolButton* m_lonHemisphere = nullptr;
    QLineEdit* m_lon = nullptr;
    QPlainTextEdit* m_variables = nullptr;
    QLabel* m_result = nullptr;
    QLabel* m_digitSum = nullptr;
    QLabel* m_variableSum = nullptr;
};

} // namespace tw
