// SPDX-License-Identifier: GPL-3.0-or-later
// The questions of the first start: the language, then the home position.
#include "tools/tour/TourStops.h"

#include "screens/DialogPlacement.h"
#include "screens/FirstStartDialog.h"
#include "screens/MainWindow.h"

#include <QPushButton>

namespace tw {

void addFirstStartStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("first-run"), [](TourContext& t) -> QWidget* {
                         auto* dialog = new FirstStartDialog(t.global, &t.window);
                         placeDialog(*dialog, &t.window);
                         dialog->show();
                         return dialog;
                     }});
    stops.push_back({QStringLiteral("first-run-home"), [](TourContext& t) -> QWidget* {
                         auto* dialog = new FirstStartDialog(t.global, &t.window);
                         placeDialog(*dialog, &t.window);
                         dialog->show();
                         // English, as the rest of the tour speaks.
                         if (QPushButton* english = dialog->languageKey(QStringLiteral("en")))
                             english->click();
                         return dialog;
                     }});
}

} // namespace tw
