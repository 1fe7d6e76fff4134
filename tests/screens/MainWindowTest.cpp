// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "app/LanguageTable.h"
#include "app/CTarnwickApp.h"
#include "app/Version.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "screens/QtPrompter.h"
#include "screens/QtStartupUi.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <QtTest>

#include <sqlite3.h>

#include <atomic>
#include <thread>

using namespace tw;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    Paths pathsIn(const QTemporaryDir& dir)
    {
        Paths p;
        const std::filesystem::path root = dir.path().toStdString();
        p.config = root / "config";
        p.data = root / "data";
        p.documents = root / "docs";
        p.install = TARNWICK_RUNTIME_DIR;
        return p;
    }

private slots:
    void opensWithTheStatusLineOfAnEmptyDatabase()
    {
        QTemporaryDir dir;
        QtPrompter prompter;
        QtNotifier notifier;
        RecordingKeepAwake keepAwake;
        RecordingPrompter recorder;
        CGlobalData global(pathsIn(dir), {recorder, notifier, keepAwake});
        global.settings.language = "en";
        global.SaveSettings(SettingsGroup::User);

        CTarnwickApp app(global);
        QtStartupUi ui(global, notifier, prompter);
        QVERIFY(app.InitInstance({}, ui));
        QVERIFY(!app.quitRequested());
        MainWindow* window = ui.mainWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));

        auto* status = window->findChild<QLabel*>(QStringLiteral("statusLine"));
        QVERIFY(status);
        QCOMPARE(status->text(), QStringLiteral("Caches: 0/0/0"));
        QVERIFY(status->isVisible());

        // The counters change on another thread; the line follows on ours.
        global.list.listedCount = 4;
        global.db.cacheCount = 12;
        std::thread worker([&] { notifier.stateChanged(Topic::Counters); });
        worker.join();
        QTRY_COMPARE(status->text(), QStringLiteral("Caches: 4/12/0"));

        // The client switched downloads off after a network failure.
        global.settings.dnlOnline = 1;
        global.netClient.setDownloadsOn(false);
        notifier.stateChanged(Topic::Settings);
        QTRY_COMPARE(global.settings.dnlOnline, 0);

        const QString about = aboutText(global);
        QVERIFY(about.contains(QString::fromLatin1(kProgramVersion)));
        QVERIFY(about.contains(QStringLiteral("Database version: 1")));
        QVERIFY(about.contains(QString::fromLatin1(sqlite3_libversion())));

        auto* menu = window->findChild<QToolButton*>(QStringLiteral("menuButton"));
        QVERIFY(menu);
        QCOMPARE(menu->text(), QStringLiteral("Menu"));
        QVERIFY(menu->height() >= 40); // a finger, not a mouse pointer
        QCOMPARE(app.ExitInstance(), 0);
    }

    void questionFromAWorkerIsAnsweredOnTheWindowThread()
    {
        QtPrompter prompter;
        // Its keys speak the program's language, not Qt's.
        LanguageTable czech;
        czech.loadTable(TARNWICK_RUNTIME_DIR, "cs");
        prompter.setTexts(czech);
        QStringList keys;
        std::atomic<bool> done{false};
        bool answer = false;
        QThread* shownOn = nullptr;
        // The dialog runs its own event loop; answer it from a timer inside
        // that loop, with Enter (Yes is the default button).
        QTimer clicker;
        clicker.setInterval(20);
        connect(&clicker, &QTimer::timeout, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                shownOn = box->thread();
                if (keys.isEmpty())
                    for (const QAbstractButton* key : box->findChildren<QAbstractButton*>())
                        keys << key->text();
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        clicker.start();
        std::thread worker([&] {
            answer = prompter.ask("Proceed?", true);
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
        worker.join();
        QVERIFY(answer);
        QCOMPARE(shownOn, QApplication::instance()->thread());
        keys.sort();
        QCOMPARE(keys, (QStringList{QStringLiteral("Ano"), QStringLiteral("Ne")}));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
