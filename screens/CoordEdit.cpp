// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CoordEdit.h"

#include "app/CGlobalData.h"
#include "platform/Prompter.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

namespace tw {
namespace {

constexpr int kTextUnreadable = 226;
constexpr int kTextPaste = 500;
constexpr int kTextSwitchHemisphere = 523;

// Input masks whose blanks show as '0', in the layout formatCoordField writes.
QString maskOf(geo::CoordEntryStyle style, bool isLongitude)
{
    const QString degrees = isLongitude ? QStringLiteral("999") : QStringLiteral("99");
    switch (style) {
    case geo::CoordEntryStyle::Degrees: return degrees + QStringLiteral(".99999°;0");
    case geo::CoordEntryStyle::DegreesMinSec: return degrees + QStringLiteral("° 99' 99.9\";0");
    case geo::CoordEntryStyle::DegreesMinutes: break;
    }
    return degrees + QStringLiteral("° 99.999';0");
}

// A field's text as shown. text() would drop every blank, and the blanks
// here are zeros: "05° 07.040'" would come back as "5° 7.4'".
std::string fieldText(const QLineEdit* field) { return field->displayText().toStdString(); }

bool isNegative(const QToolButton* hemisphere, bool isLongitude)
{
    return hemisphere->text() == (isLongitude ? QStringLiteral("W") : QStringLiteral("S"));
}

} // namespace

CoordEdit::CoordEdit(CGlobalData& global, QWidget* parent)
    : QWidget(parent), m_prompter(global.prompter), m_lang(global.lang), m_style(geo::coordEntryStyle(global.settings.coordStyle))
{
    setObjectName(QStringLiteral("coordEdit"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    const int tap = touchPx(global);
    auto makeRow = [&](int row, bool isLongitude, QToolButton*& hemisphere, QLineEdit*& field) {
        hemisphere = new QToolButton(this);
        hemisphere->setObjectName(isLongitude ? QStringLiteral("lonHemisphere") : QStringLiteral("latHemisphere"));
        hemisphere->setText(isLongitude ? QStringLiteral("E") : QStringLiteral("N"));
        hemisphere->setToolTip(langText(global, kTextSwitchHemisphere));
        hemisphere->setMinimumSize(tap, tap);
        QFont bold = hemisphere->font();
        bold.setBold(true);
        hemisphere->setFont(bold);
        connect(hemisphere, &QToolButton::clicked, this, [this, hemisphere, isLongitude] {
            const QString text = hemisphere->text();
            if (isLongitude)
                hemisphere->setText(text == QLatin1String("E") ? QStringLiteral("W") : QStringLiteral("E"));
            else
                hemisphere->setText(text == QLatin1String("N") ? QStringLiteral("S") : QStringLiteral("N"));
            emit edited();
        });
        field = new QLineEdit(this);
        field->setObjectName(isLongitude ? QStringLiteral("lonField") : QStringLiteral("latField"));
        field->setInputMask(maskOf(m_style, isLongitude));
        field->setMinimumHeight(tap);
        field->setInputMethodHints(Qt::ImhDigitsOnly);
        connect(field, &QLineEdit::textEdited, this, &CoordEdit::edited);
        grid->addWidget(hemisphere, row, 0);
        grid->addWidget(field, row, 1);
    };
    makeRow(0, false, m_latHemisphere, m_lat);
    makeRow(1, true, m_lonHemisphere, m_lon);

    m_paste = new QPushButton(langText(global, kTextPaste), this);
    m_paste->setObjectName(QStringLiteral("paste"));
    m_paste->setAutoDefault(false);
    m_paste->setMinimumSize(tap * 2, tap);
    m_paste->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    grid->addWidget(m_paste, 0, 2, 2, 1);
    grid->setColumnStretch(1, 1);
    connect(m_paste, &QPushButton::clicked, this, &CoordEdit::pasteFromClipboard);

    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CoordEdit::onClipboardChanged);
    onClipboardChanged();
    setPosition({});
}

void CoordEdit::setPosition(geo::LatLon position)
{
    m_latHemisphere->setText(position.lat < 0 ? QStringLiteral("S") : QStringLiteral("N"));
    m_lonHemisphere->setText(position.lon < 0 ? QStringLiteral("W") : QStringLiteral("E"));
    m_lat->setText(QString::fromStdString(geo::formatCoordField(position.lat, false, m_style)));
    m_lon->setText(QString::fromStdString(geo::formatCoordField(position.lon, true, m_style)));
}

std::optional<geo::LatLon> CoordEdit::position() const
{
    const auto lat = geo::readCoordFieldIn(fieldText(m_lat), isNegative(m_latHemisphere, false), false, m_style);
    const auto lon = geo::readCoordFieldIn(fieldText(m_lon), isNegative(m_lonHemisphere, true), true, m_style);
    if (!lat || !lon)
        return std::nullopt;
    return geo::LatLon{*lat, *lon};
}

bool CoordEdit::pasteFromClipboard()
{
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    const auto read = geo::readAnyCoords(text, position().value_or(geo::LatLon{}));
    if (!read) {
        m_prompter.message(m_lang.text(kTextUnreadable), MessageIcon::Exclamation);
        return false;
    }
    setPosition(*read);
    emit edited();
    return true;
}

void CoordEdit::onClipboardChanged()
{
    m_paste->setEnabled(!QGuiApplication::clipboard()->text().trimmed().isEmpty());
}

} // namespace tw
