// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "app/CacheList.h"
#include "db/Transaction.h"
#include "screens/CacheIcons.h"
#include "screens/CacheItemDelegate.h"
#include "screens/CacheListModel.h"
#include "screens/CacheListScreen.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "tests/screens/ScreenWorld.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <sqlite3.h>

#include <filesystem>
#include <memory>

using namespace tw;
using test::ScreenWorld;

namespace {

constexpr geo::LatLon kHome{50.08, 14.42};

// Every cache shows, measured from home.
const ScreenWorld::Options kListWorld{.home = kHome, .everyCache = true};

// A cache as an import leaves it, km from home in the direction.
void add(ScreenWorld& w, const std::string& code, const std::string& name, double km, double bearingDeg, int type,
         int size, int difficulty, int status = 0, int found = 0)
{
    CGeocache c = w.cache(code, km, bearingDeg);
    c.name = name;
    c.author = "owner of " + name;
    c.type = type;
    c.size = size;
    c.difficulty = difficulty;
    c.terrain = 60 - difficulty;
    c.hidden = 20100101 + static_cast<int>(km * 10);
    c.status = status;
    c.found = found;
    w.store(c);
}

QStringList codesOf(const QAbstractItemModel& model)
{
    QStringList codes;
    for (int row = 0; row < model.rowCount(); ++row)
        codes << model.index(row, 0).data(CacheListModel::CodeRole).toString();
    return codes;
}

} // namespace

class CacheListScreenTest : public QObject {
    Q_OBJECT

private slots:
    void showsImportedCachesNearestFirstAndSortsByEveryKey()
    {
        ScreenWorld w(kListWorld);
        add(w, "GCEAST", "Mill", 3.0, 90.0, CacheType::Multi, CacheSize::Regular, 30);
        add(w, "GCNEAR", "bridge", 0.4, 0.0, CacheType::Traditional, CacheSize::Micro, 15, 0, 20111124);
        add(w, "GCFAR", "Castle", 12.0, 200.0, CacheType::Event, CacheSize::Large, 20, 1);
        add(w, "GCMID", "Álamo", 1.5, 315.0, CacheType::Earthcache, CacheSize::Small, 50, 2);
        w.global->db.ReadDbCounters();

        MainWindow window(*w.global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CacheListScreen* screen = window.cacheList();
        QVERIFY(screen);
        QCOMPARE(window.currentScreen(), screen);
        const QAbstractItemModel& model = *screen->view()->model();
        QCOMPARE(codesOf(model), (QStringList{"GCNEAR", "GCMID", "GCEAST", "GCFAR"}));
        QCOMPARE(window.statusText(), QStringLiteral("Caches: 4/4/1"));

        QCOMPARE(model.index(0, 0).data(CacheListModel::DistanceTextRole).toString(), QStringLiteral("400 m"));
        QCOMPARE(model.index(1, 0).data(CacheListModel::SectorRole).toInt(), 7); // north-west
        QCOMPARE(model.index(2, 0).data(CacheListModel::SectorRole).toInt(), 2); // east
        QCOMPARE(model.index(0, 0).data(CacheListModel::RatingRole).toString(), QStringLiteral("D 1.5 / T 4.5"));

        // Every entry of the sort menu orders the rows as the list compares them.
        const QList<QAction*> actions = screen->sortMenu()->actions();
        QAction* reverse = nullptr;
        for (QAction* a : actions)
            if (!reverse && a->isCheckable() && !a->data().isValid())
                reverse = a;
        QVERIFY(reverse);
        for (bool descending : {false, true}) {
            if (reverse->isChecked() != descending)
                reverse->trigger();
            // The relevance orders searched lists only and has its own entry.
            for (int key = 0; key < SortKey::Relevance; ++key) {
                QAction* entry = actions.at(key);
                QCOMPARE(entry->data().toInt(), key);
                entry->trigger();
                QCOMPARE(w.global->list.sortKey, key);
                QCOMPARE(w.global->list.sortAscending, descending ? 0 : 1);
                QCOMPARE(model.rowCount(), 4);
                const CacheOrder order{key, !descending, kHome};
                for (std::size_t i = 1; i < w.global->list.caches.size(); ++i)
                    QVERIFY2(!CompareCaches(*w.global->list.caches[i], *w.global->list.caches[i - 1], order),
                             qPrintable(QStringLiteral("key %1, row %2").arg(key).arg(i)));
            }
        }
        reverse->trigger();
        actions.at(SortKey::Name)->trigger();
        QCOMPARE(codesOf(model), (QStringList{"GCNEAR", "GCFAR", "GCEAST", "GCMID"})); // Á after the ASCII letters
        actions.at(SortKey::Size)->trigger();
        QCOMPARE(codesOf(model), (QStringList{"GCNEAR", "GCMID", "GCEAST", "GCFAR"}));
    }

    void tappingARowMakesItTheCurrentCache()
    {
        ScreenWorld w(kListWorld);
        for (int i = 0; i < 5; ++i)
            add(w, "GCA" + std::to_string(i), "Cache " + std::to_string(i), 1.0 + i, 45.0, CacheType::Unknown,
                CacheSize::Other, 10);
        MainWindow window(*w.global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CacheListScreen* screen = window.cacheList();
        QSignalSpy chosen(screen, &CacheListScreen::cacheChosen);
        QListView* view = screen->view();
        const QRect row = view->visualRect(view->model()->index(2, 0));
        QVERIFY(row.height() >= 40); // a finger, not a mouse pointer
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
        QTRY_COMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).toString(), QStringLiteral("GCA2"));
        QVERIFY(w.global->list.currentCache());
        QCOMPARE(w.global->list.currentCache()->code, std::string("GCA2"));
    }

    void reloadFollowsTheFilterAndCopesWithAThousandRows()
    {
        ScreenWorld w(kListWorld);
        {
            SQLite::Transaction batch(w.global->db.cacheDb);
            for (int i = 0; i < 1100; ++i)
                add(w, "GC" + std::to_string(10000 + i), "Cache " + std::to_string(i), 0.01 * i, i * 7.0,
                    i % 2 ? CacheType::Multi : CacheType::Traditional, CacheSize::Small, 20);
            batch.commit();
        }
        MainWindow window(*w.global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CacheListScreen* screen = window.cacheList();
        QCOMPARE(screen->view()->model()->rowCount(), 999);
        screen->view()->scrollToBottom();
        const QScrollBar* bar = screen->view()->verticalScrollBar();
        QVERIFY(QTest::qWaitFor([bar] { return bar->maximum() > 0 && bar->value() == bar->maximum(); }));
        QCOMPARE(window.statusText(), QStringLiteral("Caches: 999/0/0"));

        w.global->list.filter.distanceKm = 0.995;
        screen->reload();
        QCOMPARE(screen->view()->model()->rowCount(), 100); // 0 … 0.99 km
        QTRY_COMPARE(window.statusText(), QStringLiteral("Caches: 100/0/0"));
    }

    void distanceColumnHoldsNearAndFarCaches()
    {
        ScreenWorld w(kListWorld);
        add(w, "GCNEAR", "Near", 0.01, 10.0, CacheType::Traditional, CacheSize::Micro, 15);
        add(w, "GCFAR", "Far", 5973.0, 270.0, CacheType::Traditional, CacheSize::Micro, 15);
        add(w, "GCANTI", "Antipode", 12345.0, 180.0, CacheType::Traditional, CacheSize::Micro, 15);
        MainWindow window(*w.global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QListView* view = window.cacheList()->view();
        const QFontMetrics fm = view->fontMetrics();
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QString text = view->model()->index(row, 0).data(CacheListModel::DistanceTextRole).toString();
            QVERIFY(!text.isEmpty());
            // The column is as wide for every row, and each text fits it whole.
            QVERIFY2(CacheItemDelegate::distanceColumnPx(fm, text, 0) >= fm.horizontalAdvance(text), qPrintable(text));
            QCOMPARE(CacheItemDelegate::distanceColumnPx(fm, text, 0), CacheItemDelegate::distanceColumnPx(fm, {}, 0));
        }
        QCOMPARE(view->model()->index(2, 0).data(CacheListModel::DistanceTextRole).toString().remove(QChar(' ')),
                 QStringLiteral("12345km"));
    }

    void everyTypeSizeAndStateHasItsOwnIcon()
    {
        QSet<QString> types;
        for (int type : {2, 3, 4, 5, 6, 8, 11, 137, 1858, 9999}) {
            cacheIcon(type, 0, false, 24); // the first drawing registers the icons
            QVERIFY(QFile::exists(cacheTypeIconPath(type)));
            types.insert(cacheTypeIconPath(type));
            for (int status : {0, 1, 2})
                for (bool found : {false, true}) {
                    const QImage image = cacheIcon(type, status, found, 32).toImage();
                    QCOMPARE(image.size(), QSize(32, 32));
                    QVERIFY(qAlpha(image.pixel(16, 4)) > 0); // drawn, not blank
                }
        }
        QCOMPARE(types.size(), 10);
        QVERIFY(cacheIcon(2, 0, false, 32).toImage() != cacheIcon(2, 0, true, 32).toImage());
        QVERIFY(cacheIcon(2, 1, false, 32).toImage() != cacheIcon(2, 2, false, 32).toImage());
        QSet<QString> sizes;
        for (int size : {1, 2, 3, 4, 5, 6, 8})
            sizes.insert(cacheSizeIconPath(size));
        QCOMPARE(sizes.size(), 7);
        for (const QString& path : sizes)
            QVERIFY2(QFile::exists(path), qPrintable(path));
        QVERIFY(directionArrow(8, 24).isNull());
        QVERIFY(directionArrow(0, 24).toImage() != directionArrow(4, 24).toImage());
    }
};

QTEST_MAIN(CacheListScreenTest)
#include "CacheListScreenTest.moc"
