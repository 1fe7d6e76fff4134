// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "db/CacheReader.h"
#include "db/CacheStore.h"
#include "geo/FormulaBlocks.h"
#include "geo/FormulaSheet.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "screens/CEvalDlg.h"
#include "screens/CoordEdit.h"
#include "screens/QtNotifier.h"
#include "screens/WaypointEditor.h"
#include "screens/WaypointListScreen.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <functional>
#include <memory>

using namespace tw;

namespace {

// The program state over a folder that outlives it, so that a second one
// can open the same database as the program does after a restart.
struct World {
    explicit World(const QTemporaryDir& dir)
    {
        Paths p;
        const std::filesystem::path root = dir.path().toStdString();
        p.config = root / "config";
        p.data = root / "data";
        p.documents = root / "docs";
        p.install = TARNWICK_RUNTIME_DIR;
        std::filesystem::create_directories(p.data);
        global = std::make_unique<CGlobalData>(p, Services{prompter, notifier, keepAwake});
        global->settings.language = "en";
        global->LoadSettings(SettingsGroup::User);
        if (!std::filesystem::exists(global->settings.dbFile))
            std::filesystem::copy_file(p.install / "emptydb.db3", global->settings.dbFile);
        global->db.cacheDb.OpenFile(global->settings.dbFile);
        global->db.InitTagCategories();
        global->db.LoadDummyCache();
        global->settings.homeLat = 49.19;
        global->settings.homeLon = 16.6;
        global->list.filter.refPoint = 3;
    }

    void addCache(const std::string& code, double lat, double lon)
    {
        CGeocache c;
        c.code = code;
        c.name = "Puzzle " + code;
        c.lat = lat;
        c.lon = lon;
        CacheStore(global->db.cacheDb, global->db.tagCategories).InsertCache(c);
    }

    RecordingPrompter prompter;
    QtNotifier notifier;
    RecordingKeepAwake keepAwake;
    std::unique_ptr<CGlobalData> global;
};

// Runs `handle` on the next modal dialog of type Dialog once it is up, and
// closes that dialog if the handler left it open, so a failing step cannot
// hang the test.
template <class Dialog>
void onNextDialog(std::function<void(Dialog*)> handle)
{
    auto* poll = new QTimer;
    const QDeadlineTimer deadline(10000);
    QObject::connect(poll, &QTimer::timeout, [poll, deadline, handle] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!dialog && !deadline.hasExpired())
            return;
        poll->stop();
        poll->deleteLater();
        if (!dialog)
            return;
        handle(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    poll->start(10);
}

template <class W>
W* child(QObject* parent, const char* name)
{
    return parent->findChild<W*>(QLatin1String(name));
}

} // namespace

class WaypointScreensTest : public QObject {
    Q_OBJECT

private slots:
    void formulaFinalIsComputedStoredListedAndKeptAfterARestart()
    {
        QTemporaryDir dir;
        const double lat = 49 + 12.11 / 60;
        const double lon = 16 + 32.5 / 60;
        {
            World w(dir);
            w.addCache("GCPUZ", 49.2, 16.6);
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
        World again(dir);
        const std::vector<CWaypoint> waypoints = loadWaypoints(*again.global, "GCPUZ");
        QCOMPARE(waypoints.size(), std::size_t{1});
        const CWaypoint& final = waypoints.front();
        QCOMPARE(final.type, WaypointType::Final);
        QCOMPARE(final.flag, 0);
        QVERIFY(qAbs(final.lat - lat) < 1e-9 && qAbs(final.lon - lon) < 1e-9);
        const geo::FormulaSheet sheet = geo::FormulaSheet::open(final.comment, cacheNote(*again.global, "GCPUZ"));
        QCOMPARE(sheet.latFormula, std::string("49°12.[A*3+B]"));
        QCOMPARE(sheet.lonFormula, std::string("16°32.[B*100]"));
        QCOMPARE(sheet.variables, std::string("A=2 B=5"));
        WaypointListScreen reopened(*again.global, "GCPUZ");
        QCOMPARE(reopened.view()->count(), 1);
        QVERIFY(reopened.view()->item(0)->data(Qt::UserRole + 2).toString().startsWith(QStringLiteral("N 49°12.110'")));
    }

    void looseWaypointIsPastedAndTypedIntoTheFields()
    {
        QTemporaryDir dir;
        World w(dir);
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

    void deletingAWaypointAsksFirst()
    {
        QTemporaryDir dir;
        World w(dir);
        w.addCache("GCTWO", 49.2, 16.6);
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
