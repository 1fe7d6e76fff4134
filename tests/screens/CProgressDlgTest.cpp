// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CProgressDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <thread>

using namespace tw;

class ProgressDialogTest : public QObject {
    Q_OBJECT

private:
    // Presses the dialog's button as soon as its text is `when`.
    static void pressWhen(CProgressDlg& dialog, const QString& when, QTimer& timer)
    {
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, &dialog, [&dialog, when] {
            auto* button = dialog.findChild<QPushButton*>(QStringLiteral("button"));
            if (button && button->isEnabled() && button->text() == when)
                button->click();
        });
        timer.start();
    }

private slots:
    void showsTheJobsCountersAndConfirmsWithOk()
    {
        CProgressDlg dialog(QStringLiteral("Import GPX"), {QStringLiteral("New"), QStringLiteral("Waypoints"),
                                                          QStringLiteral("Skipped"), QStringLiteral("Updated")});
        dialog.setButtonTexts(QStringLiteral("Cancel"), QStringLiteral("OK"));
        QTimer timer;
        pressWhen(dialog, QStringLiteral("OK"), timer);
        std::thread::id workerThread;
        const bool ok = dialog.run([&](CProgressDlg& p) {
            workerThread = std::this_thread::get_id();
            p.setText(1, "GC1A2B3");
            p.setCounter(1, 12);
            p.setCounter(3, 2);
            p.finish("Done.");
        });
        QVERIFY(ok);
        QVERIFY(workerThread != std::this_thread::get_id());
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("counter1"))->text(), QStringLiteral("12"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("counter3"))->text(), QStringLiteral("2"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("completion"))->text(), QStringLiteral("Done."));
    }

    void cancelWaitsForTheWorker()
    {
        CProgressDlg dialog(QStringLiteral("Export GPX"), {});
        dialog.setButtonTexts(QStringLiteral("Cancel"), QStringLiteral("OK"));
        QTimer timer;
        pressWhen(dialog, QStringLiteral("Cancel"), timer);
        std::atomic<bool> workerDone{false};
        const bool ok = dialog.run([&](CProgressDlg& p) {
            while (!p.cancelled())
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the entry being written
            workerDone = true;
            p.finish("Done.");
        });
        QVERIFY(!ok);
        QVERIFY(workerDone); // the dialog never closes under a running job
    }
};

QTEST_MAIN(ProgressDialogTest)
#include "CProgressDlgTest.moc"
