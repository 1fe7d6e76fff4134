// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CRot13Dlg.h"

#include "app/CGlobalData.h"
#include "geo/TextTools.h"
#include "platform/Text.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace tw {
namespace {

constexpr int kTextTitle = 544;
constexpr int kTextOriginal = 551;
constexpr int kTextConverted = 552;
constexpr int kTextRot13 = 553;
constexpr int kTextMorse = 554;
constexpr int kTextInvertedMorse = 555;
constexpr int kTextRoman = 556;
constexpr int kTextNumberForm = 557;
constexpr int kTextFromBinary = 558; // 558 to 561: binary, octal, decimal, hexadecimal input
constexpr int kTextCopy = 562;
constexpr int kTextNumberError = 1010;
constexpr int kTextBaseNames = 1011; // 1011 to 1014: binary, octal, decimal, hexadecimal output

geo::NumberWords numberWords(const LanguageTable& lang)
{
    geo::NumberWords words;
    words.error = lang.textOr(kTextNumberError, words.error);
    words.bin = lang.textOr(kTextBaseNames, words.bin);
    words.oct = lang.textOr(kTextBaseNames + 1, words.oct);
    words.dec = lang.textOr(kTextBaseNames + 2, words.dec);
    words.hex = lang.textOr(kTextBaseNames + 3, words.hex);
    return words;
}

constexpr std::array kBases{2, 8, 10, 16};

} // namespace

CRot13Dlg::CRot13Dlg(CGlobalData& global, const QString& text, QWidget* parent)
    : QDialog(parent), m_lang(global.lang)
{
    setObjectName(QStringLiteral("textTools"));
    setWindowTitle(titleOf(langText(global, kTextTitle)));
    const int tap = touchPx(global);
    auto* layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel(langText(global, kTextOriginal), this));
    m_input = new QPlainTextEdit(text, this);
    m_input->setObjectName(QStringLiteral("originalText"));
    layout->addWidget(m_input, 1);

    auto* keys = new QGridLayout;
    const std::array<std::pair<int, Conversion>, 4> conversions{{{kTextRot13, Conversion::Rot13},
                                                                 {kTextMorse, Conversion::Morse},
                                                                 {kTextInvertedMorse, Conversion::InvertedMorse},
                                                                 {kTextRoman, Conversion::Roman}}};
    int column = 0;
    for (const auto& [textNumber, conversion] : conversions) {
        auto* key = new QPushButton(langText(global, textNumber), this);
        key->setObjectName(QStringLiteral("convert%1").arg(column));
        key->setMinimumHeight(tap);
        connect(key, &QPushButton::clicked, this, [this, c = conversion] { convert(c); });
        keys->addWidget(key, 0, column++);
    }
    m_bases = new QComboBox(this);
    m_bases->setObjectName(QStringLiteral("numberBases"));
    m_bases->setMinimumHeight(tap);
    m_bases->addItem(langText(global, kTextNumberForm));
    for (std::size_t i = 0; i < kBases.size(); ++i)
        m_bases->addItem(langText(global, kTextFromBinary + static_cast<int>(i)), kBases[i]);
    // The list always shows its idle entry: choosing a base converts at once.
    connect(m_bases, &QComboBox::activated, this, [this](int index) {
        if (index > 0)
            convertNumber(m_bases->itemData(index).toInt());
        m_bases->setCurrentIndex(0);
    });
    keys->addWidget(m_bases, 1, 0, 1, 2);
    auto* copy = new QPushButton(langText(global, kTextCopy), this);
    copy->setObjectName(QStringLiteral("copyResult"));
    copy->setMinimumHeight(tap);
    connect(copy, &QPushButton::clicked, this, &CRot13Dlg::copyResult);
    keys->addWidget(copy, 1, 2, 1, 2);
    layout->addLayout(keys);

    layout->addWidget(new QLabel(langText(global, kTextConverted), this));
    m_output = new QPlainTextEdit(this);
    m_output->setObjectName(QStringLiteral("convertedText"));
    m_output->setReadOnly(true);
    layout->addWidget(m_output, 1);

    addDialogKeys(*this, *layout, global, false);
}

void CRot13Dlg::convert(Conversion conversion)
{
    const std::string text = m_input->toPlainText().toStdString();
    switch (conversion) {
    case Conversion::Rot13: showResult(geo::rot13(text)); break;
    case Conversion::Morse: showResult(geo::morse(text, '.', '-')); break;
    case Conversion::InvertedMorse: showResult(geo::morse(text, '-', '.')); break;
    case Conversion::Roman: showResult(geo::roman(text, numberWords(m_lang))); break;
    }
}

void CRot13Dlg::convertNumber(int base)
{
    showResult(geo::numberBases(m_input->toPlainText().toStdString(), base, numberWords(m_lang)));
}

void CRot13Dlg::showResult(const std::string& text)
{
    // The number bases end their lines with CR LF; the field wants LF.
    QString shown = QString::fromStdString(text::replaceAll(text, "\r\n", "\n"));
    if (shown.endsWith(QChar('\n')))
        shown.chop(1);
    m_output->setPlainText(shown);
}

void CRot13Dlg::copyResult()
{
    QGuiApplication::clipboard()->setText(result());
}

QString CRot13Dlg::result() const
{
    return m_output->toPlainText();
}

} // namespace tw
