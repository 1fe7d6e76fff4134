// SPDX-License-Identifier: GPL-3.0-or-later
// The nearest-caches command end to end: options, download behind the
// progress dialog, the list showing what arrived.
#include "app/CGlobalData.h"
#include "db/Tags.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "screens/OnlineCommands.h"
#include "screens/CProgressDlg.h"
#include "screens/OnlineSearchDialog.h"
#include "screens/QtNotifier.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace tw;

namespace {

QByteArray pocketQuery()
{
    QByteArray x = "<gpx xmlns:groundspeak=\"http://www.groundspeak.com/cache/1/0\">";
    for (int i = 0; i < 8; ++i)
        x += QStringLiteral("<wpt lat=\"50.0%1\" lon=\"14.0\"><name>GCW100%1</name><groundspeak:cache>"
                            "<groundspeak:name>Window %1</groundspeak:name><groundspeak:owner>someone</groundspeak:owner>"
                            "<groundspeak:type>Traditional Cache"
                            "</groundspeak:type></groundspeak:cache></wpt>")
                 .arg(i)
                 .toUtf8();
    return x + "</gpx>";
}

} // namespace

class OnlineCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void nearestCachesArriveAndTheListShowsThem()
    {
        QTemporaryDir dir;
        QFile pq(dir.filePath(QStringLiteral("pq.gpx")));
        QVERIFY(pq.open(QIODevice::WriteOnly));
        pq.write(pocketQuery());
        pq.close();
        QProcess sim;
        sim.start(QStringLiteral(TARNWICK_RUNTIME_DIR "/tarnwick-sim"),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--live"), pq.fileName(),
                   QStringLiteral("--user"), QStringLiteral("jana:tok:premium")});
        QVERIFY(sim.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 5000);
        const QByteArray line = sim.readLine().trimmed();
        QVERIFY(line.startsWith("listening on "));
        const QString port = QString::fromUtf8(line.mid(13));

        Paths p;
        const std::filesystem::path root = dir.path().toStdString();
        p.config = root / "config";
        p.data = root / "data";
        p.documents = root / "docs";
        p.install = TARNWICK_RUNTIME_DIR;
        std::filesystem::create_directories(p.data);
        RecordingPrompter prompter;
        QtNotifier notifier;
        RecordingKeepAwake keepAwake;
        auto g = std::make_unique<CGlobalData>(p, Services{prompter, notifier, keepAwake});
        g->settings.language = "en";
        g->LoadSettings(SettingsGroup::User);
        std::filesystem::copy_file(p.install / "emptydb.db3", g->settings.dbFile);
        QCOMPARE(g->db.cacheDb.OpenFile(g->settings.dbFile), 0);
        g->db.InitTagCategories();
        g->settings.homeLat = 50.0;
        g->settings.homeLon = 14.0;
        g->list.filter.refPoint = 3; // home
        g->settings.liveUrl = ("http://127.0.0.1:" + port + "/LiveV5/Geocaching.svc/").toStdString();
        g->settings.accessToken = "tok";

        // The user asks for 5 caches (one page); the job's dialog is confirmed at its end.
        QTimer driver;
        driver.setInterval(20);
        int dialogsSeen = 0;
        QString completion;
        connect(&driver, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* options = qobject_cast<OnlineSearchDialog*>(modal)) {
                options->findChild<QLineEdit*>(QStringLiteral("maxImpCaches"))->setText(QStringLiteral("5"));
                options->findChild<QPushButton*>(QStringLiteral("ok"))->click();
                ++dialogsSeen;
            } else if (auto* progress = qobject_cast<CProgressDlg*>(modal)) {
                auto* button = progress->findChild<QPushButton*>(QStringLiteral("button"));
                if (button && button->isEnabled() && button->text() == QStringLiteral("OK")) {
                    completion = progress->findChild<QLabel*>(QStringLiteral("completion"))->text();
                    button->click();
                    ++dialogsSeen;
                }
            }
        });
        driver.start();
        nearestCachesCommand(nullptr, *g);
        driver.stop();
        QCOMPARE(dialogsSeen, 2);

        QCOMPARE(g->settings.maxImpCaches, 5);
        QCOMPARE(QString::fromStdString(g->list.filter.tagCategory), QStringLiteral("TWLastImport"));
        QCOMPARE(completion, QStringLiteral("Done."));
        QCOMPARE(g->db.cacheCount, 5);
        QCOMPARE(static_cast<int>(g->list.caches.size()), 5);
        QVERIFY(prompter.messages().empty());
        sim.terminate();
        sim.waitForFinished(5000);
    }
};

QTEST_MAIN(OnlineCommandsTest)
#include "OnlineCommandsTest.moc"
