// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CProjectPointDlg.h"

#include "app/CGlobalData.h"
#include "geo/CoordEntry.h"
#include "screens/DialogKeys.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextProjectionCaption = 507;
constexpr int kTextDistance = 508;
constexpr int kTextBearing = 509;
constexpr int kTextFrom = 522;
constexpr int kTextTo = 524;
constexpr double kMaxProjectionM = 20000000.0; // half the way round the globe

} // namespace

CProjectPointDlg::CProjectPointDlg(CGlobalData& global, geo::LatLon from, QWidget* parent)
    : QDialog(parent), m_from(from)
{
    setObjectName(QStringLiteral("projectionDialog"));
    setWindowTitle(langText(global, kTextProjectionCaption));
    const int tap = touchPx(global);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeDialogCaption(windowTitle(), this));
    QString fromText = langText(global, kTextFrom);
    fromText.replace(QLatin1String("%s"),
                     QString::fromStdString(geo::formatCoordsIn(from, geo::coordEntryStyle(global.settings.coordStyle))));
    auto* fromLabel = new QLabel(fromText, this);
    fromLabel->setWordWrap(true);
    layout->addWidget(fromLabel);

    auto* form = new QFormLayout;
    auto makeField = [&](double maximum, const char* name) {
        auto* field = new QDoubleSpinBox(this);
        field->setObjectName(QLatin1String(name));
        field->setRange(0.0, maximum);
        field->setDecimals(1);
        field->setButtonSymbols(QAbstractSpinBox::NoButtons);
        field->setMinimumHeight(tap);
        field->setInputMethodHints(Qt::ImhFormattedNumbersOnly);
        return field;
    };
    m_distance = makeField(kMaxProjectionM, "distance");
    m_bearing = makeField(360.0, "bearing");
    form->addRow(langText(global, kTextDistance), m_distance);
    form->addRow(langText(global, kTextBearing), m_bearing);
    layout->addLayout(form);
    auto* toLabel = new QLabel(this);
    toLabel->setObjectName(QStringLiteral("to"));
    toLabel->setWordWrap(true);
    layout->addWidget(toLabel);
    const geo::CoordEntryStyle style = geo::coordEntryStyle(global.settings.coordStyle);
    auto showTarget = [this, toLabel, style, to = langText(global, kTextTo)] {
        toLabel->setText(QString(to).replace(QLatin1String("%s"),
                                             QString::fromStdString(geo::formatCoordsIn(result(), style))));
    };
    connect(m_distance, &QDoubleSpinBox::valueChanged, this, showTarget);
    connect(m_bearing, &QDoubleSpinBox::valueChanged, this, showTarget);
    showTarget();
    layout->addStretch(1);
    layout->addWidget(makeDialogKeys(global, *this));
    m_distance->setFocus();
    m_distance->selectAll();
}

geo::LatLon CProjectPointDlg::result() const
{
    return geo::projectForEntry(m_from, m_distance->value(), m_bearing->value());
}

std::optional<geo::LatLon> CProjectPointDlg::project(QWidget* window, CGlobalData& global, geo::LatLon from)
{
    CProjectPointDlg dialog(global, from, window);
    if (execDialog(dialog, window) != QDialog::Accepted)
        return std::nullopt;
    return dialog.result();
}

} // namespace tw
