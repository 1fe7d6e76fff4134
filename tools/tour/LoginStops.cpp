// SPDX-License-Identifier: GPL-3.0-or-later
// The login dialog, as a fresh installation shows it: no sign-in service is
// set up, so no ticket is asked for and no login browser starts.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "screens/CGcLiveLoginDlg.h"
#include "screens/DialogPlacement.h"
#include "screens/MainWindow.h"

namespace tw {

void addLoginStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("login"), [](TourContext& t) -> QWidget* {
        qunsetenv("TARNWICK_RELAY_URL");
        t.global.settings.relayUrl.clear();
        auto* dialog = new CGcLiveLoginDlg(t.global, &t.window);
        placeDialog(*dialog, &t.window);
        dialog->show();
        return dialog;
    }});
}

} // namespace tw
