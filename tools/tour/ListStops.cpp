// SPDX-License-Identifier: GPL-3.0-or-later
// The first screen: the cache list, as it opens and narrowed by a search.
#include "tools/tour/TourStops.h"

#include "screens/CacheListScreen.h"
#include "screens/MainWindow.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

namespace tw {
namespace {

// Types into the list's search field and waits for the list the worker reads.
void search(MainWindow& window, const QString& words)
{
    CacheListScreen* list = window.cacheList();
    QEventLoop loop;
    QObject::connect(list, &CacheListScreen::searchShown, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    list->searchField()->setText(words);
    loop.exec();
}

} // namespace

void addListStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("list"), [](TourContext& t) -> QWidget* { return &t.window; }});
    stops.push_back({QStringLiteral("list-search"),
                     [](TourContext& t) -> QWidget* {
                         search(t.window, QStringLiteral("viaduct"));
                         return &t.window;
                     },
                     [](TourContext& t) { search(t.window, QString()); }});
}

} // namespace tw
