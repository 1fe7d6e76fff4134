// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "db/CacheReader.h"
#include "geo/FormulaBlocks.h"
#include "geo/FormulaSheet.h"
#include "screens/CEvalDlg.h"
#include "screens/CacheCommands.h"
#include "screens/CoordEdit.h"
#include "screens/QtNotifier.h"
#include "screens/WaypointEditor.h"
#include "screens/WaypointListScreen.h"
#include "tests/screens/ScreenWorld.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>

using namespace tw;
using test::child;
using test::onNextDialog;
using test::ScreenWorld;

namespace {

// The database keeps loose waypoints with its dummy cache.
const ScreenWorld::Options kWaypointWorld{.home = {49.19, 16.6}, .dummyCache = true};

} // namespace

class WaypointScreensTest : public QObject {
    Q_OBJECT

private slots:
    void formulaFinalIsComputedStoredListedAndKeptAfterARestart()
    {
        ScreenWorld w(kWaypointWorld);
        const double lat = 49 + 12.11 / 60;
        const double lon = 16 + 32.5 / 60;
        {
            w.addCache("GCPUZ", 1.1, 0.0);
            // The letter values are selected in the cache's note and kept as its variable block.
            const std::string note = "Windows on the tower: A=2 B=5\r\nBring a torch.";
            const auto withBlock = geo::storeSelectionAsVariables(note, note.find("A=2"), note.find("\r\n"));
            QVERIFY(withBlock);
            QVERIFY(storeCacheNote(*w.global, "GCPUZ", *withBlock));

            WaypointListScreen screen(*w.global, "GCPUZ");
            screen.show();
            QCOMPARE(screen.view()->count(), 0);
            QVERIFY(child<QLabel>(&screen, "empty")->isVisible());

            QString normalised, result, digitSum;
            std::optional<geo::LatLon> computed;
            bool stored = false;
            onNextDialog<WaypointEditor>([&](WaypointEditor* editor) {
                QTest::keyClicks(child<QLineEdit>(editor, "name"), QStringLiteral("Final"));
                auto* type = child<QComboBox>(editor, "type");
                type->setCurrentIndex(type->findData(WaypointType::Final));
                onNextDialog<CEvalDlg>([&](CEvalDlg* eval) {
                    child<QLineEdit>(eval, "latFormula")->setText(QStringLiteral("N 49 12.(A*3+B)"));
                    child<QLineEdit>(eval, "lonFormula")->setText(QStringLiteral("E 16 32.[B*100]"));
                    QTest::mouseClick(child<QPushButton>(eval, "normalise"), Qt::LeftButton);
                    normalised = child<QLineEdit>(eval, "latFormula")->text();
                    QTest::mouseClick(child<QPushButton>(eval, "compute"), Qt::LeftButton);
                    result = child<QLabel>(eval, "result")->text();
                    digitSum = child<QLabel>(eval, "digitSum")->text();
                    QTest::mouseClick(child<QPushButton>(eval, "ok"), Qt::LeftButton);
                });
                QTest::mouseClick(child<QPushButton>(editor, "formulas"), Qt::LeftButton);
                computed = editor->coordEdit()->position();
                QTest::mouseClick(child<QPushButton>(editor, "ok"), Qt::LeftButton);
                stored = editor->result() == QDialog::Accepted;
            });
            screen.mainAction();

            QCOMPARE(normalised, QStringLiteral("49°12.[A*3+B]"));
            QCOMPARE(result, QStringLiteral("N 49°12.11\nE 16°32.500"));
            QCOMPARE(digitSum, QString::number(4 + 9 + 1 + 2 + 1 + 1 + 1 + 6 + 3 + 2 + 5));
            QVERIFY(computed);
            QVERIFY(qAbs(computed->lat - lat) < 1e-9 && qAbs(computed->lon - lon) < 1e-9);
            QVERIFY(stored);
            QCOMPARE(screen.view()->count(), 1);
            QCOMPARE(screen.view()->item(0)->text(), QStringLiteral("Final"));
            QVERIFY(w.prompter.messages().empty());
        }

        // After a restart the waypoint, its formulas and the letter values are all there.
        CGlobalData& again = w.restart();
        const std::vector<CWaypoint> waypoints = loadWaypoints(again, "GCPUZ");
        QCOMPARE(waypoints.size(), std::size_t{1});
        const CWaypoint& final = waypoints.front();
        QCOMPARE(final.type, WaypointType::Final);
        QCOMPARE(final.flag, 0);
        QVERIFY(qAbs(final.lat - lat) < 1e-9 && qAbs(final.lon - lon) < 1e-9);
        const geo::FormulaSheet sheet = geo::FormulaSheet::open(final.comment, cacheNote(again, "GCPUZ"));
        QCOMPARE(sheet.latFormula, std::string("49°12.[A*3+B]"));
        QCOMPARE(sheet.lonFormula, std::string("16°32.[B*100]"));
        QCOMPARE(sheet.variables, std::string("A=2 B=5"));
        WaypointListScreen reopened(again, "GCPUZ");
        QCOMPARE(reopened.view()->count(), 1);
        QVERIFY(reopened.view()->item(0)->data(Qt::UserRole + 2).toString().startsWith(QStringLiteral("N 49°12.110'")));
    }

    void looseWaypointIsPastedAndTypedIntoTheFields()
    {
        ScreenWorld w(kWaypointWorld);
        w.global->settings.coordStyle = 2; // degrees, minutes and seconds
        CWaypoint waypoint = newWaypointFor(*w.global, kDummyCacheCode);
        WaypointEditor editor(*w.global, waypoint, true);
        editor.show();
        CoordEdit* coords = editor.coordEdit();

        QGuiApplication::clipboard()->setText(QStringLiteral("behind the bench"));
        QVERIFY(coords->pasteButton()->isEnabled());
        QTest::mouseClick(coords->pasteButton(), Qt::LeftButton);
        QCOMPARE(w.prompter.messages().size(), std::size_t{1});
        QCOMPARE(w.prompter.messages().front().text, std::string("The text cannot be read as coordinates."));

        QGuiApplication::clipboard()->setText(QStringLiteral("N 50° 05.250 E 014° 25.278"));
        QTest::mouseClick(coords->pasteButton(), Qt::LeftButton);
        QCOMPARE(coords->latField()->displayText(), QStringLiteral("50° 05' 15.0\""));
        // The longitude is typed over the mask, digits only, and turned west.
        QTest::keyClick(coords->lonField(), Qt::Key_Home);
        QTest::keyClicks(coords->lonField(), QStringLiteral("01430000"));
        QCOMPARE(coords->lonField()->displayText(), QStringLiteral("014° 30' 00.0\""));
        QTest::mouseClick(coords->lonHemisphere(), Qt::LeftButton);
        QTest::keyClicks(child<QLineEdit>(&editor, "name"), QStringLiteral("Car"));
        QTest::mouseClick(child<QPushButton>(&editor, "ok"), Qt::LeftButton);
        QCOMPARE(editor.result(), int(QDialog::Accepted));

        const std::vector<CWaypoint> loose = loadWaypoints(*w.global, kDummyCacheCode);
        QCOMPARE(loose.size(), std::size_t{1});
        QCOMPARE(loose.front().name, std::string("Car"));
        QCOMPARE(loose.front().prefix, std::string("01"));
        QVERIFY(qAbs(loose.front().lat - 50.0875) < 1e-9);
        QVERIFY(qAbs(loose.front().lon + 14.5) < 1e-9);
        WaypointListScreen screen(*w.global, kDummyCacheCode);
        QCOMPARE(screen.view()->count(), 1);
    }

    void aWaypointWithoutAPositionIsShownSoAndIsNoTarget()
    {
        ScreenWorld w(kWaypointWorld);
        w.addCache("GCTWO", 1.1, 0.0);
        for (const char* name : {"Parking", "Station 1"}) {
            CWaypoint wp = newWaypointFor(*w.global, "GCTWO");
            wp.name = name;
            if (wp.name == "Station 1")
                wp.lat = wp.lon = 0.0;
            QVERIFY(storeWaypoint(*w.global, wp));
        }
        WaypointListScreen screen(*w.global, "GCTWO");
        std::vector<std::string> navigated;
        screen.setNavigateHook([&](const CWaypoint& wp) { navigated.push_back(wp.name); });
        screen.show();
        QCOMPARE(screen.view()->count(), 2);
        const auto navigateEnabled = [&] {
            QMenu menu;
            screen.fillMenu(menu);
            for (QAction* action : menu.actions())
                if (action->text() == QStringLiteral("Navigate to waypoint"))
                    return action->isEnabled();
            return false;
        };
        for (int row = 0; row < 2; ++row) {
            screen.view()->setCurrentRow(row);
            const QListWidgetItem* item = screen.view()->item(row);
            const bool placed = item->text() == QStringLiteral("Parking");
            const QString coords = item->data(Qt::UserRole + 2).toString();
            QCOMPARE(coords == QStringLiteral("no position"), !placed);
            QCOMPARE(item->data(Qt::UserRole + 3).toString().isEmpty(), !placed);
            QCOMPARE(navigateEnabled(), placed);
            screen.navigateToChosen();
        }
        QCOMPARE(navigated, std::vector<std::string>{"Parking"});

        // Nor does the cache's command take it as the target.
        CWaypoint unplaced = loadWaypoints(*w.global, "GCTWO").at(0);
        unplaced.lat = unplaced.lon = 0.0;
        navigateToWaypointCommand(*w.global, unplaced);
        QVERIFY(!w.global->gpsServices.navigationTarget);
    }

    void deletingAWaypointAsksFirst()
    {
        ScreenWorld w(kWaypointWorld);
        w.addCache("GCTWO", 1.1, 0.0);
        for (const char* name : {"Parking", "Stage 1"}) {
            CWaypoint wp = newWaypointFor(*w.global, "GCTWO");
            wp.name = name;
            QVERIFY(storeWaypoint(*w.global, wp));
        }
        WaypointListScreen screen(*w.global, "GCTWO");
        screen.show();
        QCOMPARE(screen.view()->count(), 2);
        screen.view()->setCurrentRow(0);

        w.prompter.queueAnswer(false);
        screen.deleteChosen();
        QCOMPARE(loadWaypoints(*w.global, "GCTWO").size(), std::size_t{2});
        w.prompter.queueAnswer(true);
        screen.deleteChosen();
        QCOMPARE(w.prompter.questions().back(), std::string("Delete the waypoint \"Parking\"?"));

        const std::vector<CWaypoint> left = loadWaypoints(*w.global, "GCTWO");
        QCOMPARE(left.size(), std::size_t{1});
        QCOMPARE(left.front().name, std::string("Stage 1"));
        QCOMPARE(screen.view()->count(), 1);
    }
};

QTEST_MAIN(WaypointScreensTest)
#include "WaypointScreensTest.moc"
