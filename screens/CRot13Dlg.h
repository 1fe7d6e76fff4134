// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QComboBox;
class QPlainTextEdit;

namespace tw {

class CGlobalData;
class LanguageTable;

// The text tools: converts a typed or pasted text with ROT13, Morse code,
// inverted Morse code, Roman numerals or the number bases, shows the result
// beneath it and copies it to the clipboard on request.
class CRot13Dlg final : public QDialog {
    Q_OBJECT
public:
    enum class Conversion { Rot13, Morse, InvertedMorse, Roman };

    // text: what to start with (a selection of the listing, or empty).
    CRot13Dlg(CGlobalData& global, const QString& text, QWidget* parent = nullptr);

    void convert(Conversion conversion);
    // base: 2, 8, 10 or 16, the base the input is written in.
    void convertNumber(int base);
    void copyResult();

    QPlainTextEdit* input() const { return m_input; }
    QString result() const;

private:
    void showResult(const std::string& text);

    // The number conversions name their bases and errors in its words.
    const LanguageTable& m_lang;
    QPlainTextEdit* m_input = nullptr;
    QPlainTextEdit* m_output = nullptr;
    QComboBox* m_bases = nullptr;
};

} // namespace tw
