// SPDX-License-Identifier: GPL-3.0-or-later
// The login end to end: the dialog fetches a ticket from the simulator's
// relay, starts the real login browser (offscreen), a sign-in is posted the
// way the relay's form posts it, the browser follows the relay to the finished
// page and stores the token, and OK reads it. The address search box asks the
// simulator's geocoder.
#include "app/CGlobalData.h"
#include "online/CNetClient.h"
#include "online/HttpTransfer.h"
#include "platform/IniFile.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "screens/AddressSearchBox.h"
#include "tests/online/ScriptedServer.h"
#include "screens/CGcLiveLoginDlg.h"
#include "screens/LangText.h"
#include "screens/QtNotifier.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

using namespace tw;
namespace fs = std::filesystem;

namespace {

constexpr const char* kToken = "Tk42SentinelQuartz";
constexpr const char* kScrambled = "Gx42FragvaryDhnegm";

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The simulator with one relay account.
struct Sim {
    bool start()
    {
        process.setProgram(QStringLiteral(TARNWICK_RUNTIME_DIR "/tarnwick-sim"));
        process.setArguments({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--relay-user"),
                              QStringLiteral("ann:pw:") + QLatin1String(kToken)});
        process.start();
        if (!process.waitForReadyRead(5000))
            return false;
        const QByteArray line = process.readLine().trimmed();
        base = "http://127.0.0.1:" + line.mid(line.lastIndexOf(' ') + 1).toStdString();
        return line.startsWith("listening on");
    }
    ~Sim()
    {
        process.terminate();
        process.waitForFinished(5000);
    }
    net::TransferResult post(const std::string& path, const std::string& form) const
    {
        net::TransferRequest req;
        req.url = base + path;
        req.postBody = form;
        req.headers = {"Content-Type: application/x-www-form-urlencoded"};
        return net::transfer(req);
    }
    int served(const std::string& prefix) const
    {
        net::TransferRequest req;
        req.url = base + "/_sim/log";
        std::istringstream log(net::transfer(req).body);
        int count = 0;
        for (std::string line; std::getline(log, line);)
            count += line.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }

    QProcess process;
    std::string base;
};

// stdout and stderr of this process (and of what it starts) go to files.
struct CapturedOutput {
    explicit CapturedOutput(const fs::path& folder)
    {
        std::fflush(stdout);
        std::fflush(stderr);
        for (int fd : {1, 2}) {
            saved[fd - 1] = ::dup(fd);
            const int file = ::open((folder / ("fd" + std::to_string(fd) + ".txt")).c_str(),
                                    O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
            ::dup2(file, fd);
            ::close(file);
        }
    }
    ~CapturedOutput()
    {
        std::fflush(stdout);
        std::fflush(stderr);
        for (int fd : {1, 2}) {
            ::dup2(saved[fd - 1], fd);
            ::close(saved[fd - 1]);
        }
    }
    int saved[2] = {-1, -1};
};

bool processRunning(qint64 pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidText, name, state;
    return stat >> pidText >> name >> state && state != "Z";
}

} // namespace

class LiveLoginTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        root = dir.path().toStdString();
        // Everything the login browser might leave behind lands in here.
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
            const fs::path folder = root / "home" / name;
            fs::create_directories(folder);
            fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
            qputenv(name, QByteArray::fromStdString(folder.string()));
        }
        QVERIFY2(sim.start(), "tarnwick-sim did not start");
        qputenv("TARNWICK_RELAY_URL", QByteArray::fromStdString(sim.base + "/oa/"));
        qputenv("TARNWICK_GEOCODER_URL", QByteArray::fromStdString(sim.base + "/geocode"));

        Paths p;
        p.config = root / "config";
        p.data = root / "data";
        p.documents = root / "docs";
        p.install = TARNWICK_RUNTIME_DIR;
        fs::create_directories(p.documents);
        fs::create_directories(p.data);
        std::ofstream(p.documents / "Tarnwick.log").flush(); // logging on
        global = std::make_unique<CGlobalData>(p, Services{prompter, notifier, keepAwake});
        global->settings.language = "en";
        global->LoadSettings(SettingsGroup::User);
        global->netClient.setConnectionProbe([] { return true; });
    }

    void loginThroughTheBrowserReadsTheTokenOnOk()
    {
        global->settings.accessToken = "old";
        const fs::path handover = global->handoverPath();
        {
            CGcLiveLoginDlg dialog(*global);
            bool started = false;
            {
                // The browser keeps the captured output as its own.
                CapturedOutput output(root);
                dialog.show();
                started = QTest::qWaitFor([&] { return dialog.browserPid() != 0; }, 20000);
            }
            QVERIFY(started);
            browser = dialog.browserPid();
            QCOMPARE(global->settings.accessToken, std::string());
            const IniFile ticket(handover);
            const std::string a = ticket.getString(kHandoverSection, "twa").value_or("");
            const std::string b = ticket.getString(kHandoverSection, "twb").value_or("");
            QCOMPARE(a.size(), std::size_t(32));

            // A page of another host that looks finished comes first: the
            // browser must stay, and comes back to the sign-in page.
            const std::string signIn = sim.base + "/oa/login.php?a=" + a + "&b=" + b;
            const std::string foreign = "http://localhost:" + sim.base.substr(sim.base.rfind(':') + 1)
                                        + "/oa/done.php?tk=Planted&back=" + net::CNetClient::urlEncode(signIn);
            QCOMPARE(sim.post("/_sim/relay-detour", "a=" + a + "&url=" + net::CNetClient::urlEncode(foreign))
                         .httpStatus,
                     200L);
            QTRY_VERIFY_WITH_TIMEOUT(sim.served("GET /oa/login.php?a=") >= 2, 60000);
            QCOMPARE(sim.served("GET /oa/done.php?tk=Planted"), 1);
            QVERIFY(!IniFile(handover).contains(kHandoverSection, "twtk"));

            // The user signs in; the form page follows the relay to the end.
            QCOMPARE(sim.post("/oa/login.php", "a=" + a + "&b=" + b + "&user=ann&password=pw").status,
                     net::TransferStatus::Ok);
            QTRY_VERIFY_WITH_TIMEOUT(IniFile(handover).contains(kHandoverSection, "twtk"), 60000);
            QCOMPARE(IniFile(handover).getString(kHandoverSection, "twtk"), std::string(kScrambled));
            QTRY_VERIFY_WITH_TIMEOUT(!processRunning(browser), 30000);

            auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("ok"));
            QVERIFY(ok);
            QCOMPARE(ok->text(), langText(*global, 324));
            QTRY_VERIFY(ok->isEnabled());
            ok->click();
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
        }
        QCOMPARE(global->settings.accessToken, std::string(kToken));
        QCOMPARE(fs::status(handover).permissions() & fs::perms::all,
                 fs::perms::owner_read | fs::perms::owner_write);

        // The token is nowhere else: not in the log, the output, the settings
        // or anything the browser kept.
        QVERIFY(!readAll(global->logPath()).empty());
        int files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            if (!entry.is_regular_file() || entry.path() == handover)
                continue;
            ++files;
            const std::string text = readAll(entry.path());
            QVERIFY2(text.find(kToken) == std::string::npos && text.find(kScrambled) == std::string::npos,
                     entry.path().c_str());
        }
        QVERIFY(files >= 3);
    }

    void addressSearchFillsOnlyFoundPositions()
    {
        AddressSearchBox box(*global);
        QSignalSpy found(&box, &AddressSearchBox::found);
        auto* query = box.findChild<QLineEdit*>(QStringLiteral("addressQuery"));
        auto* accuracy = box.findChild<QLabel*>(QStringLiteral("addressAccuracy"));
        auto* address = box.findChild<QLabel*>(QStringLiteral("addressFound"));
        query->setText(QStringLiteral("Staroměstské náměstí"));
        box.search();
        QTRY_COMPARE_WITH_TIMEOUT(found.count(), 1, 20000);
        QCOMPARE(found.at(0).at(0).toDouble(), 50.0874654);
        QCOMPARE(found.at(0).at(1).toDouble(), 14.4212535);
        QCOMPARE(accuracy->text(), langText(*global, 199));
        QVERIFY(address->text().startsWith(QStringLiteral("Staroměstské náměstí, 110 00")));

        query->setText(QStringLiteral("nowhere at all"));
        box.search();
        QTRY_VERIFY_WITH_TIMEOUT(!box.searching(), 20000);
        QCOMPARE(found.count(), 1);
        QCOMPARE(accuracy->text(), langText(*global, 199));
        QCOMPARE(address->text(), langText(*global, 883));
    }

    void aRelayErrorPageStartsNoLoginBrowser()
    {
        test::ScriptedServer relay([](const test::ScriptedServer::Request&) {
            return test::ScriptedServer::reply("<html><body>Internal server error</body></html>", 500, "text/html");
        });
        QVERIFY(relay.start());
        qputenv("TARNWICK_RELAY_URL", QByteArray::fromStdString(relay.baseUrl() + "/oa/"));
        {
            CGcLiveLoginDlg dialog(*global);
            dialog.show();
            auto* status = dialog.findChild<QLabel*>(QStringLiteral("status"));
            QTRY_COMPARE_WITH_TIMEOUT(status->text(), langText(*global, 874), 20000);
            QCOMPARE(dialog.browserPid(), qint64(0));
            dialog.reject();
        }
        qputenv("TARNWICK_RELAY_URL", QByteArray::fromStdString(sim.base + "/oa/"));
        const IniFile handover(global->handoverPath());
        QCOMPARE(handover.getString(kHandoverSection, "twa").value_or("?"), std::string());
    }

    void anAddressWithMarkupIsShownAsText()
    {
        test::ScriptedServer geocoder([](const test::ScriptedServer::Request&) {
            return test::ScriptedServer::reply(
                "<geocode><Status><code>200</code></Status><Placemark><address>&lt;b&gt;Bold&lt;/b&gt; street"
                "</address><Point><coordinates>14.42,50.08,0</coordinates></Point></Placemark></geocode>");
        });
        QVERIFY(geocoder.start());
        qputenv("TARNWICK_GEOCODER_URL", QByteArray::fromStdString(geocoder.baseUrl() + "/geocode"));
        AddressSearchBox box(*global);
        QSignalSpy found(&box, &AddressSearchBox::found);
        box.findChild<QLineEdit*>(QStringLiteral("addressQuery"))->setText(QStringLiteral("Bold street"));
        box.search();
        QTRY_COMPARE_WITH_TIMEOUT(found.count(), 1, 20000);
        qputenv("TARNWICK_GEOCODER_URL", QByteArray::fromStdString(sim.base + "/geocode"));
        auto* address = box.findChild<QLabel*>(QStringLiteral("addressFound"));
        QCOMPARE(address->text(), QStringLiteral("<b>Bold</b> street"));
        // Drawn as the characters it holds: as wide as the same text in plain.
        QLabel plain;
        plain.setTextFormat(Qt::PlainText);
        plain.setWordWrap(true);
        plain.setText(address->text());
        QCOMPARE(address->sizeHint().width(), plain.sizeHint().width());
    }

    void anAddressWithoutAUsablePositionIsNotFound()
    {
        test::ScriptedServer geocoder([](const test::ScriptedServer::Request&) {
            return test::ScriptedServer::reply(
                "<geocode><Status><code>200</code></Status><Placemark><address>Nowhere street</address>"
                "<Point><coordinates>NaN,NaN,0</coordinates></Point></Placemark></geocode>");
        });
        QVERIFY(geocoder.start());
        qputenv("TARNWICK_GEOCODER_URL", QByteArray::fromStdString(geocoder.baseUrl() + "/geocode"));
        AddressSearchBox box(*global);
        QSignalSpy found(&box, &AddressSearchBox::found);
        box.findChild<QLineEdit*>(QStringLiteral("addressQuery"))->setText(QStringLiteral("Nowhere street"));
        box.search();
        auto* address = box.findChild<QLabel*>(QStringLiteral("addressFound"));
        QTRY_COMPARE_WITH_TIMEOUT(address->text(), langText(*global, 883), 20000);
        qputenv("TARNWICK_GEOCODER_URL", QByteArray::fromStdString(sim.base + "/geocode"));
        QCOMPARE(found.count(), 0);
    }

    void cleanupTestCase()
    {
        if (browser != 0 && processRunning(browser))
            ::kill(static_cast<pid_t>(browser), SIGTERM);
        global.reset();
    }

private:
    QTemporaryDir dir;
    fs::path root;
    Sim sim;
    RecordingPrompter prompter;
    QtNotifier notifier;
    RecordingKeepAwake keepAwake;
    std::unique_ptr<CGlobalData> global;
    qint64 browser = 0;
};

QTEST_MAIN(LiveLoginTest)
#include "LiveLoginTest.moc"
