// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "db/CacheReader.h"
#include "db/Enumerations.h"
#include "screens/CProgressDlg.h"
#include "screens/VisitsOffer.h"
#include "tests/exchange/VisitsFileBytes.h"
#include "tests/screens/ScreenWorld.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include <fstream>

using namespace tw;
using test::ScreenWorld;

class VisitsOfferTest : public QObject {
    Q_OBJECT

private slots:
    // The user reads a unit's visits: a cache in the database takes its find,
    // the one that is not is listed in the dialog.
    void readingTheVisitsTakesTheKnownAndListsTheUnplaced()
    {
        ScreenWorld world;
        world.addCache("GC1A2B3", 1.0, 0.0);
        const auto file = world.root() / "geocache_visits.txt";
        {
            std::ofstream out(file, std::ios::binary);
            out << test::visitsFileBytes({test::sampleVisitLines()[0], test::sampleVisitLines()[4]});
        }
        const auto source = visitsSourceAt(file.string());
        QVERIFY(source.has_value());

        QString shown;
        // As a QDialog: the progress dialog keeps reject() to itself.
        test::onNextDialog<QDialog>([&shown](QDialog* dialog) {
            auto* button = dialog->findChild<QPushButton*>(QStringLiteral("button"));
            QTRY_VERIFY_WITH_TIMEOUT(button && button->isEnabled() && !dialog->isHidden() &&
                                         dialog->findChild<QLabel*>(QStringLiteral("completion")) &&
                                         !dialog->findChild<QLabel*>(QStringLiteral("completion"))->text().isEmpty(),
                                     5000);
            shown = dialog->findChild<QLabel*>(QStringLiteral("completion"))->text();
            button->click();
        });
        const VisitsSummary summary = VisitsOffer::readWithProgress(nullptr, *world.global, *source);

        QCOMPARE(summary.taken.size(), std::size_t(1));
        QCOMPARE(summary.unplaced.size(), std::size_t(1));
        const auto cache = LoadCacheByCode(world.global->db.cacheDb, "GC1A2B3");
        QVERIFY(cache && cache->found > 0);
        QVERIFY2(shown.contains(QStringLiteral("taken: GC1A2B3, Found it")), qPrintable(shown));
        QVERIFY2(shown.contains(QStringLiteral("not in the database: GC9ZZZZ")), qPrintable(shown));
    }
};

QTEST_MAIN(VisitsOfferTest)
#include "VisitsOfferTest.moc"
