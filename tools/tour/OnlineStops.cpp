// SPDX-License-Identifier: GPL-3.0-or-later
// The online search options and the basic member's limit warning.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "screens/CBMWarningDlg.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"
#include "screens/OnlineCommands.h"
#include "screens/OnlineSearchDialog.h"

#include <QDialog>

namespace tw {

void addOnlineStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("online-nearest"), [](TourContext& t) -> QWidget* {
                         // Downloads left as a service reported them.
                         t.global.settings.dnlFull = 5970;
                         t.global.settings.dnlLite = 9990;
                         auto* dialog = new OnlineSearchDialog(t.global, &t.window);
                         placeDialog(*dialog, &t.window);
                         dialog->show();
                         return dialog;
                     }});
    stops.push_back({QStringLiteral("online-bm-warning"), [](TourContext& t) -> QWidget* {
                         const QString text = langText(t.global, 378) + QLatin1Char('\n') +
                                              langText(t.global, 379)
                                                  .replace(QLatin1String("%d"), QStringLiteral("2"))
                                                  .replace(QLatin1String("%s"), QStringLiteral("Friday at 18:30")) +
                                              QStringLiteral("\n\n") + langText(t.global, 380);
                         auto* dialog = new CBMWarningDlg(t.global, text, true, &t.window);
                         placeDialog(*dialog, &t.window);
                         dialog->show();
                         return dialog;
                     }});
}

} // namespace tw
