// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CEvalDlg.h"

#include "app/CGlobalData.h"
#include "platform/Prompter.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextInsertFormulas = 503;
constexpr int kTextFormulas = 510;
constexpr int kTextLatitude = 511;
constexpr int kTextLongitude = 512;
constexpr int kTextVariables = 513;
constexpr int kTextNormalise = 514;
constexpr int kTextCompute = 515;
constexpr int kTextResult = 516;
constexpr int kTextDigitSum = 517;
constexpr int kTextVariableSum = 518;
constexpr int kTextClipboardEmpty = 520;

QToolButton* hemisphereKey(const CGlobalData& global, char first, char second, QWidget* parent)
{
    auto* key = new QToolButton(parent);
    key->setText(QString(QLatin1Char(first)));
    key->setMinimumSize(touchPx(global), touchPx(global));
    QFont bold = key->font();
    bold.setBold(true);
    key->setFont(bold);
    QObject::connect(key, &QToolButton::clicked, key, [key, first, second] {
        key->setText(QString(QLatin1Char(key->text() == QLatin1Char(first) ? second : first)));
    });
    return key;
}

} // namespace

CEvalDlg::CEvalDlg(CGlobalData& global, const std::string& code, const std::string& comment, QWidget* parent)
    : QDialog(parent), m_global(global), m_code(code), m_comment(comment),
      m_sheet(geo::FormulaSheet::open(comment, cacheNote(global, code)))
{
    setObjectName(QStringLiteral("evalDialog"));
    setWindowTitle(langText(global, kTextFormulas));
    const int tap = touchPx(global);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeDialogCaption(windowTitle(), this));

    auto* grid = new QGridLayout;
    auto addFormula = [&](int row, int label, QToolButton* hemisphere, QLineEdit*& field, const char* name) {
        grid->addWidget(new QLabel(langText(global, label), this), row * 2, 0, 1, 2);
        field = new QLineEdit(this);
        field->setObjectName(QLatin1String(name));
        field->setMinimumHeight(tap);
        grid->addWidget(hemisphere, row * 2 + 1, 0);
        grid->addWidget(field, row * 2 + 1, 1);
    };
    m_latHemisphere = hemisphereKey(global, 'N', 'S', this);
    m_latHemisphere->setObjectName(QStringLiteral("latHemisphere"));
    m_lonHemisphere = hemisphereKey(global, 'E', 'W', this);
    m_lonHemisphere->setObjectName(QStringLiteral("lonHemisphere"));
    addFormula(0, kTextLatitude, m_latHemisphere, m_lat, "latFormula");
    addFormula(1, kTextLongitude, m_lonHemisphere, m_lon, "lonFormula");
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    layout->addWidget(new QLabel(langText(global, kTextVariables), this));
    m_variables = new QPlainTextEdit(this);
    m_variables->setObjectName(QStringLiteral("variables"));
    m_variables->setTabChangesFocus(true);
    m_variables->setMinimumHeight(tap * 2);
    layout->addWidget(m_variables, 1);

    auto* keys = new QHBoxLayout;
    QPushButton* normaliseKey = makeTouchButton(global, langText(global, kTextNormalise), this);
    normaliseKey->setObjectName(QStringLiteral("normalise"));
    QPushButton* computeKey = makeTouchButton(global, langText(global, kTextCompute), this);
    computeKey->setObjectName(QStringLiteral("compute"));
    QPushButton* insertKey = makeTouchButton(global, langText(global, kTextInsertFormulas), this);
    insertKey->setObjectName(QStringLiteral("insertFormulas"));
    for (QPushButton* key : {normaliseKey, computeKey, insertKey})
        keys->addWidget(key);
    layout->addLayout(keys);
    connect(normaliseKey, &QPushButton::clicked, this, &CEvalDlg::normalise);
    connect(computeKey, &QPushButton::clicked, this, &CEvalDlg::compute);
    connect(insertKey, &QPushButton::clicked, this, &CEvalDlg::insertFormulas);

    auto* results = new QGridLayout;
    results->addWidget(new QLabel(langText(global, kTextResult), this), 0, 0, Qt::AlignTop);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("result"));
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_result->setWordWrap(true);
    QFont big = m_result->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    m_result->setFont(big);
    results->addWidget(m_result, 0, 1);
    results->addWidget(new QLabel(langText(global, kTextDigitSum), this), 1, 0);
    m_digitSum = new QLabel(this);
    m_digitSum->setObjectName(QStringLiteral("digitSum"));
    results->addWidget(m_digitSum, 1, 1);
    results->addWidget(new QLabel(langText(global, kTextVariableSum), this), 2, 0);
    m_variableSum = new QLabel(this);
    m_variableSum->setObjectName(QStringLiteral("variableSum"));
    results->addWidget(m_variableSum, 2, 1);
    results->setColumnStretch(1, 1);
    layout->addLayout(results);

    layout->addWidget(makeDialogKeys(global, *this));
    showFields();
    showResult();
}

void CEvalDlg::readFields()
{
    m_sheet.latFormula = m_lat->text().trimmed().toStdString();
    m_sheet.lonFormula = m_lon->text().trimmed().toStdString();
    m_sheet.latHemisphere = m_latHemisphere->text() == QLatin1String("S") ? 'S' : 'N';
    m_sheet.lonHemisphere = m_lonHemisphere->text() == QLatin1String("W") ? 'W' : 'E';
    m_sheet.variables = linesFromWidget(m_variables->toPlainText());
}

void CEvalDlg::showFields()
{
    m_lat->setText(QString::fromStdString(m_sheet.latFormula));
    m_lon->setText(QString::fromStdString(m_sheet.lonFormula));
    m_latHemisphere->setText(QString(QLatin1Char(m_sheet.latHemisphere)));
    m_lonHemisphere->setText(QString(QLatin1Char(m_sheet.lonHemisphere)));
    if (m_variables->toPlainText() != linesForWidget(m_sheet.variables))
        m_variables->setPlainText(linesForWidget(m_sheet.variables));
}

void CEvalDlg::showResult()
{
    if (!m_sheet.computed) {
        m_result->setText(QStringLiteral("??"));
        m_digitSum->setText(QStringLiteral("??"));
        m_variableSum->setText(QStringLiteral("??"));
        return;
    }
    m_result->setText(linesForWidget(m_sheet.resultText));
    m_digitSum->setNum(m_sheet.digitSum);
    m_variableSum->setNum(static_cast<int>(m_sheet.variableSum));
}

void CEvalDlg::normalise()
{
    readFields();
    m_sheet.normalise();
    showFields();
}

void CEvalDlg::compute()
{
    readFields();
    m_sheet.compute([this](int number) { return m_global.text(number); });
    showResult();
}

void CEvalDlg::insertFormulas()
{
    const QString text = QGuiApplication::clipboard()->text();
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = line.trimmed();
    lines.removeAll(QString());
    if (lines.isEmpty()) {
        m_global.prompter.message(m_global.text(kTextClipboardEmpty), MessageIcon::Exclamation);
        return;
    }
    m_lat->setText(lines.value(0));
    m_lon->setText(lines.value(1));
}

void CEvalDlg::accept()
{
    compute();
    m_outcome = applyFormulaSheet(m_global, m_sheet, m_code, m_comment);
    QDialog::accept();
}

} // namespace tw
