// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CoordEntryDialog.h"

#include "app/CGlobalData.h"
#include "platform/Prompter.h"
#include "screens/CoordEdit.h"
#include "screens/DialogKeys.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextUnreadable = 226;
constexpr int kTextCoordinates = 497;
constexpr int kTextEnterCoordinates = 519;

} // namespace

CoordEntryDialog::CoordEntryDialog(CGlobalData& global, geo::LatLon initial, QWidget* parent)
    : QDialog(parent), m_global(global)
{
    setObjectName(QStringLiteral("coordEntryDialog"));
    setWindowTitle(langText(global, kTextEnterCoordinates));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeDialogCaption(windowTitle(), this));
    layout->addWidget(new QLabel(langText(global, kTextCoordinates), this));
    m_edit = new CoordEdit(global, this);
    m_edit->setPosition(initial);
    layout->addWidget(m_edit);
    layout->addStretch(1);
    layout->addWidget(makeDialogKeys(global, *this));
}

void CoordEntryDialog::accept()
{
    const auto position = m_edit->position();
    if (!position) {
        m_global.prompter.message(m_global.text(kTextUnreadable), MessageIcon::Exclamation);
        return;
    }
    m_result = *position;
    QDialog::accept();
}

std::optional<geo::LatLon> CoordEntryDialog::ask(QWidget* window, CGlobalData& global, geo::LatLon initial)
{
    CoordEntryDialog dialog(global, initial, window);
    if (execDialog(dialog, window) != QDialog::Accepted)
        return std::nullopt;
    return dialog.result();
}

} // namespace tw
