// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "app/FirstStart.h"
#include "app/CTarnwickApp.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "screens/CacheListScreen.h"
#include "screens/CoordEdit.h"
#include "screens/FirstStartDialog.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "screens/QtPrompter.h"
#include "screens/QtStartupUi.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace tw;

namespace {

struct Folders {
    Folders()
    {
        const std::filesystem::path root = dir.path().toStdString();
        paths.config = root / "config";
        paths.data = root / "data";
        paths.documents = root / "docs";
        paths.install = TARNWICK_RUNTIME_DIR;
    }
    // The settings as the next start reads them from the file.
    Settings stored()
    {
        CGlobalData next(paths, {prompter, notifier, keepAwake});
        next.LoadSettings(SettingsGroup::All);
        return next.settings;
    }

    QTemporaryDir dir;
    Paths paths;
    RecordingPrompter prompter;
    QtNotifier notifier;
    RecordingKeepAwake keepAwake;
};

// Answers the first start's window from inside its own event loop.
void answerFirstStart(const std::function<void(FirstStartDialog&)>& answer)
{
    QTimer::singleShot(0, [answer] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<FirstStartDialog*>(w); dialog && dialog->isVisible()) {
                answer(*dialog);
                return;
            }
    });
}

} // namespace

class FirstStartTest : public QObject {
    Q_OBJECT

private slots:
    void englishAndHomeAreStoredAndTheListOpensWithoutAskingAgain()
    {
        Folders f;
        CGlobalData global(f.paths, {f.prompter, f.notifier, f.keepAwake});
        QVERIFY(isFirstStart(global));
        bool answered = false;
        answerFirstStart([&](FirstStartDialog& dialog) {
            QPushButton* english = dialog.languageKey(QStringLiteral("en"));
            QVERIFY(english && dialog.languageKey(QStringLiteral("cs")));
            QCOMPARE(english->text(), QStringLiteral("English"));
            QCOMPARE(dialog.languageKey(QStringLiteral("cs"))->text(), QStringLiteral("Čeština"));
            QTest::mouseClick(english, Qt::LeftButton);
            QVERIFY(dialog.homeEdit() && dialog.saveKey()->isVisible());
            QCOMPARE(dialog.laterKey()->text(), QStringLiteral("Later"));
            dialog.homeEdit()->setPosition({48.8108, 14.3152});
            QTest::mouseClick(dialog.saveKey(), Qt::LeftButton);
            answered = true;
        });
        FirstStartDialog::askIfFirstStart(global);
        QVERIFY(answered);

        const Settings stored = f.stored();
        QCOMPARE(stored.language, std::string("en"));
        QVERIFY(std::abs(stored.homeLat - 48.8108) < 1e-5);
        QVERIFY(std::abs(stored.homeLon - 14.3152) < 1e-5);

        // The cache list follows, in English.
        CTarnwickApp app(global);
        QtPrompter windowPrompter;
        QtStartupUi ui(global, f.notifier, windowPrompter);
        QVERIFY(app.InitInstance({}, ui));
        MainWindow* window = ui.mainWindow();
        QVERIFY(window && window->cacheList());
        QCOMPARE(window->currentScreen(), window->cacheList());
        auto* status = window->findChild<QLabel*>(QStringLiteral("statusLine"));
        QVERIFY(status && status->text().startsWith(QStringLiteral("Caches:")));
        QCOMPARE(app.ExitInstance(), 0);

        // A second start does not ask.
        CGlobalData second(f.paths, {f.prompter, f.notifier, f.keepAwake});
        QVERIFY(!isFirstStart(second));
    }

    void laterLeavesHomeUnset()
    {
        Folders f;
        CGlobalData global(f.paths, {f.prompter, f.notifier, f.keepAwake});
        answerFirstStart([](FirstStartDialog& dialog) {
            QTest::mouseClick(dialog.languageKey(QStringLiteral("cs")), Qt::LeftButton);
            QCOMPARE(dialog.laterKey()->text(), QStringLiteral("Později"));
            QTest::mouseClick(dialog.laterKey(), Qt::LeftButton);
        });
        FirstStartDialog::askIfFirstStart(global);
        QVERIFY(!isFirstStart(global));
        const Settings stored = f.stored();
        QCOMPARE(stored.language, std::string("cs"));
        QCOMPARE(stored.homeLat, 0.0);
        QCOMPARE(stored.homeLon, 0.0);
    }
};

QTEST_MAIN(FirstStartTest)
#include "FirstStartTest.moc"
