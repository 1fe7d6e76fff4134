// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CGlobalData.h"
#include "db/CGeocache.h"
#include "geo/LatLon.h"
#include "maps/TileProvider.h"
#include "platform/Prompter.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "platform/RecordingSoundPlayer.h"
#include "screens/QtNotifier.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QSize>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tw {
class MainWindow;
}

namespace tw::test {

// Records what the core shows and answers questions from a queue, as
// RecordingPrompter does; a message can also be made to hold its caller (as
// a slow card holds a writer) until released.
class HoldingPrompter final : public Prompter {
public:
    void message(const std::string& text, MessageIcon icon) override;
    bool ask(const std::string& text, bool defaultYes) override { return m_record.ask(text, defaultYes); }

    void queueAnswer(bool yes) { m_record.queueAnswer(yes); }
    std::vector<RecordingPrompter::Message> messages() const { return m_record.messages(); }
    std::vector<std::string> questions() const { return m_record.questions(); }

    // While on, every message waits (up to 20 s) until it is turned off.
    void hold(bool on);
    // A message is waiting now.
    bool holding() const;

private:
    RecordingPrompter m_record;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_hold = false;
    bool m_holding = false;
};

// The program state of a screen test: a central data object over a
// temporary folder of its own (config, data, docs), with English texts, a
// cache database made from the template, and home as the list's reference
// point. The options pick what a test needs beyond that.
class ScreenWorld {
public:
    struct Options {
        geo::LatLon home{50.08, 14.42}; // taken unless the settings file holds one
        int settingsGroups = SettingsGroup::User; // read at every start
        bool cacheDb = true;     // a cache database from the template, open
        bool dummyCache = false; // with the cache that keeps loose waypoints
        bool fromHome = true;    // the list measures from home, not from the receiver
        bool everyCache = false; // the list shows found and own caches too
        // settings.mapFolder is <root>/maps instead of the data folder.
        bool ownMapFolder = false;
        // An installation folder of its own: the build's language files,
        // template and map configuration (read at every start) and two alert
        // sounds, "chime" and "horn".
        bool ownInstall = false;
        // The track database open and recording on; the logger reads `clock`
        // and the proximity alert plays into `sound`.
        bool recordTrack = false;
    };

    ScreenWorld();
    explicit ScreenWorld(Options options);
    ~ScreenWorld();
    ScreenWorld(const ScreenWorld&) = delete;
    ScreenWorld& operator=(const ScreenWorld&) = delete;

    // Builds the central object again over the same folders, as a new run of
    // the program would.
    CGlobalData& restart();
    std::filesystem::path root() const { return dir.path().toStdString(); }

    // A traditional cache "Cache <code>", km from home in the direction
    // (degrees clockwise from north); nothing is stored yet.
    CGeocache cache(const std::string& code, double km = 0.0, double bearingDeg = 0.0) const;
    // Stores a cache with its logs, or a waypoint; false when the store refused it.
    bool store(CGeocache& cache);
    bool store(CWaypoint& waypoint);
    // Stores cache(code, km, bearingDeg) with `stages` waypoints "Stage 1",
    // "Stage 2", … every 80 m to the east of it.
    void addCache(const std::string& code, double km, double bearingDeg, int stages = 0);

    // Where downloaded tiles and pictures go.
    std::filesystem::path mapFolder() const;
    // Downloads on, over loopback, with the client's timeouts unless given.
    void goOnline(std::optional<std::chrono::seconds> timeout = {});
    // Map source 0 takes its tiles ("grid", zoom 14 of 18, downloads up to
    // 16) from the simulator at port and urlPath ("/tiles/{z}/{x}/{y}.png"),
    // stored in a "database" or a "folder"; downloads go on.
    void mapFromSimulator(int port, const std::string& urlPath, const std::string& storage = "database");
    // Map source 0 over the map folder, centred on home at its default zoom.
    std::unique_ptr<maps::TileProvider> tileProvider() const;
    // Stored tiles of 9 × 9 around home at the default zoom of map source 0:
    // coloured lines on paper, no two alike.
    void makeTiles();
    // Files in the simulator source's tile folder whose names end so.
    int tileFiles(const std::string& ending) const;

    // The main window, shown (at that size, when given).
    std::unique_ptr<MainWindow> openWindow(QSize size = {});

    const Options options;
    QTemporaryDir dir;
    const Paths paths;
    std::time_t clock = 1718000000;
    HoldingPrompter prompter;
    QtNotifier notifier;
    RecordingKeepAwake keepAwake;
    RecordingSoundPlayer sound;
    std::unique_ptr<CGlobalData> global;
};

// The child widget of that name; a missing one ends the test run.
template <class W>
W* child(QObject* parent, const char* name)
{
    W* w = parent->findChild<W*>(QLatin1String(name));
    if (!w)
        qFatal("no child %s", name);
    return w;
}

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

} // namespace tw::test
