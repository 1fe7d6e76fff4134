// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CFilterPosScr.h"

#include "app/CGlobalData.h"
#include "geo/CoordFormat.h"
#include "geo/CoordParser.h"
#include "geo/ReferencePosition.h"
#include "platform/Prompter.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace tw {
namespace {

constexpr int kTextModeFirst = 641; // 641 to 644: GPS, map centre, entered point, home
constexpr int kTextPoint = 645;
constexpr int kTextPaste = 646;
constexpr int kTextUnreadable = 226;

constexpr int kModeHome = 3;

std::optional<geo::LatLon> readPoint(const QString& text)
{
    return geo::parseCoords(text.toStdString());
}

} // namespace

// The entered point: one line in any of the styles the program reads, and a
// button that takes it from the clipboard (enabled while the clipboard holds
// a readable point).
class PointField final : public QWidget {
public:
    PointField(const QString& pasteText, QWidget* parent) : QWidget(parent)
    {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        m_edit = new QLineEdit(this);
        m_edit->setObjectName(QStringLiteral("point"));
        row->addWidget(m_edit, 1);
        m_paste = new QPushButton(pasteText, this);
        m_paste->setObjectName(QStringLiteral("pastePoint"));
        m_paste->setAutoDefault(false);
        row->addWidget(m_paste);
        QClipboard* clipboard = QApplication::clipboard();
        connect(clipboard, &QClipboard::dataChanged, this, &PointField::checkClipboard);
        connect(m_paste, &QPushButton::clicked, this, [this] {
            if (const auto p = readPoint(QApplication::clipboard()->text()))
                setPoint(*p);
        });
        checkClipboard();
    }

    void setPoint(geo::LatLon p) { m_edit->setText(QString::fromStdString(geo::formatCoords(p.lat, p.lon))); }
    std::optional<geo::LatLon> point() const { return readPoint(m_edit->text()); }
    QLineEdit* edit() const { return m_edit; }
    QPushButton* pasteButton() const { return m_paste; }

private:
    void checkClipboard() { m_paste->setEnabled(readPoint(QApplication::clipboard()->text()).has_value()); }

    QLineEdit* m_edit = nullptr;
    QPushButton* m_paste = nullptr;
};

CFilterPosScr::CFilterPosScr(CGlobalData& global, QWidget* parent) : FilterPage(global, parent)
{
    QVBoxLayout* col = column();
    m_mode = new QButtonGroup(this);
    for (int mode = 0; mode < 4; ++mode) {
        QRadioButton* button = addRadio(col, langText(global, kTextModeFirst + mode));
        button->setObjectName(QStringLiteral("refPoint%1").arg(mode));
        m_mode->addButton(button, mode);
    }
    col->addSpacing(touchPx(global) / 3);
    auto* label = new QLabel(langText(global, kTextPoint));
    label->setWordWrap(true);
    col->addWidget(label);
    m_point = new PointField(langText(global, kTextPaste), this);
    label->setBuddy(m_point->edit());
    col->addWidget(m_point);
    // Typing or pasting a point means measuring from it.
    const auto measureFromPoint = [this] { m_mode->button(geo::kRefManual)->setChecked(true); };
    connect(m_point->edit(), &QLineEdit::textEdited, this, measureFromPoint);
    connect(m_point->pasteButton(), &QPushButton::clicked, this, measureFromPoint);
    col->addStretch(1);
}

void CFilterPosScr::load(const CacheFilter& f)
{
    const int mode = f.refPoint >= geo::kRefGps && f.refPoint <= geo::kRefManual ? f.refPoint : kModeHome;
    m_mode->button(mode)->setChecked(true);
    if (f.manLat != 0.0 || f.manLon != 0.0)
        m_point->setPoint({f.manLat, f.manLon});
    else
        m_point->edit()->clear();
}

bool CFilterPosScr::store(CacheFilter& f, Settings&)
{
    const int mode = m_mode->checkedId();
    const auto point = m_point->point();
    if (point) {
        f.manLat = point->lat;
        f.manLon = point->lon;
    } else if (mode == geo::kRefManual) {
        m_global.prompter.message(m_global.text(kTextUnreadable), MessageIcon::Exclamation);
        m_point->edit()->setFocus();
        return false;
    }
    f.refPoint = mode >= 0 ? mode : kModeHome;
    return true;
}

} // namespace tw
