// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "app/ListingFiles.h"
#include "db/CacheReader.h"
#include "db/CacheStore.h"
#include "db/Enumerations.h"
#include "db/Tags.h"
#include "screens/CacheListScreen.h"
#include "screens/CacheScreen.h"
#include "screens/ListingIcons.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "screens/SingleInstance.h"
#include "tests/online/SimProcess.h"
#include "tests/screens/ScreenWorld.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <atomic>
#include <thread>

using namespace tw;
using test::ScreenWorld;
namespace fs = std::filesystem;

namespace {

constexpr const char* kCode = "GC12AB";

// Pictures and offline copies go to a map folder of its own.
const ScreenWorld::Options kListingWorld{.ownMapFolder = true};

// The cache kCode with a listing in HTML, two logs, two waypoints, a travel
// bug and tags for the picture links.
void addListedCache(ScreenWorld& w, const std::string& longDesc, const std::vector<std::string>& imageLinks = {})
{
    CGeocache c = w.cache(kCode);
    c.name = "Mill & <Weir>";
    c.author = "Jana & Petr";
    c.lat = 50.081;
    c.lon = 14.421;
    c.text = "<p>Short <b>walk</b>.</p>";
    c.shortDescHtml = 1;
    c.longDesc = longDesc;
    c.longDescHtml = 1;
    c.hint = "Under the stone"; // stored readable, as an import stores it
    c.comment = "Parking is free.";
    c.attributes = {"dogs-yes", "night-no"};
    c.travelBugs = {{4711, "TB1A2B3", "Rusty & <Tin>"}};
    const char* finders[] = {"kapr<&>sons", "TrailMole"};
    const char* texts[] = {"Found it.\nTFTC <b>really</b> <img src=\"http://img.example.org/smile.gif\">",
                           "No luck, <i>muggles</i>."};
    for (int i = 0; i < 2; ++i) {
        auto log = std::make_unique<CGeoLog>();
        log->date = 20240610 - i * 100;
        log->type = i ? LogType::DidntFindIt : LogType::FoundIt;
        log->finder = finders[i];
        log->text = texts[i];
        c.logs.push_back(std::move(log));
    }
    QVERIFY(w.store(c));
    for (int i = 0; i < 2; ++i) {
        CWaypoint wpt;
        wpt.code = kCode;
        wpt.prefix = i ? "S1" : "PK";
        wpt.name = i ? "Plaque" : "Car park";
        wpt.type = i ? WaypointType::Stage : WaypointType::Parking;
        wpt.lat = 50.082 + i * 0.001;
        wpt.lon = 14.422;
        wpt.flag = 1;
        QVERIFY(w.store(wpt));
    }
    for (const std::string& link : imageLinks)
        QVERIFY(AddTag(w.global->db.cacheDb, kCode, TagCategoryName::GcImage, link));
}

fs::path localImage(const ScreenWorld& w, const std::string& name)
{
    return listing::localImagePath(w.mapFolder(), kCode, name);
}

void writeImage(const fs::path& path, QColor colour)
{
    fs::create_directories(path.parent_path());
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(QString::fromStdString(path.string()), "PNG"));
}

std::string storedComment(ScreenWorld& w)
{
    return LoadCacheByCode(w.global->db.cacheDb, kCode)->comment;
}

// The image a page's view shows for an address (loading it if needed).
QImage shownImage(QTextBrowser* view, const QString& url)
{
    return view->document()->resource(QTextDocument::ImageResource, QUrl(url)).value<QImage>();
}

QString fileUrlOf(const fs::path& path)
{
    return QString::fromStdString(listing::fileUrl(path));
}

QStringList menuTexts(QMenu& menu)
{
    QStringList texts;
    for (QAction* a : menu.actions())
        if (!a->isSeparator())
            texts << a->text();
    return texts;
}

int requestsFor(const test::SimProcess& sim, const std::string& path)
{
    int n = 0;
    for (const std::string& line : sim.requests())
        n += line.find(path) != std::string::npos ? 1 : 0;
    return n;
}

} // namespace

class CacheScreenTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::SimProcess> m_sim;
    std::string m_simError;

private slots:
    void initTestCase()
    {
        m_sim = std::make_unique<test::SimProcess>();
        if (!m_sim->start())
            m_simError = m_sim->error();
    }

    void cleanupTestCase() { m_sim.reset(); }

    void readsEveryPageOfACacheChosenInTheList()
    {
        ScreenWorld w(kListingWorld);
        addListedCache(w, "<h3>History</h3><p>The weir was built in 1892.</p><p><img src='http://img.example.org/x/weir.png'></p>",
                   {"<a href=\"http://img.example.org/x/weir.png\">The weir</a>",
                    "<a href=\"http://img.example.org/x/mill.png\">The mill</a>",
                    "<a href=\"http://img.example.org/x/plaque.png\">The plaque</a>"});
        writeImage(localImage(w, "weir.png"), Qt::blue);
        writeImage(localImage(w, "mill.png"), Qt::red);
        writeImage(localImage(w, "plaque.png"), Qt::green);
        const fs::path attachment = listing::attachmentFolder(w.mapFolder(), kCode) / "notes.txt";
        fs::create_directories(attachment.parent_path());
        std::ofstream(attachment) << "stage 1\n";

        MainWindow window(*w.global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QListView* list = window.cacheList()->view();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
        auto* screen = qobject_cast<CacheScreen*>(window.topScreen());
        QVERIFY(screen);
        QCOMPARE(screen->code(), std::string(kCode));
        QList<QUrl> opened;
        screen->setUrlOpener([&opened](const QUrl& url) {
            opened << url;
            return true;
        });

        // Description: overview with its waypoints and attributes, both parts, local pictures.
        const QString description = screen->descriptionView()->toPlainText();
        for (const char* text : {"Mill & <Weir>", "Jana & Petr", "Car park", "Plaque", "Short walk.", "built in 1892"})
            QVERIFY2(description.contains(QString::fromUtf8(text)), text);
        QCOMPARE(shownImage(screen->descriptionView(), fileUrlOf(localImage(w, "weir.png"))).pixelColor(5, 5),
                 QColor(Qt::blue));
        QCOMPARE(shownImage(screen->descriptionView(), QStringLiteral("attribute:night-no")),
                 attributeIcon(QStringLiteral("night-no"), touchPx(*w.global) * 3 / 4));

        // Logs: newest first, typed markup shown as text, embedded images gone.
        const QString logs = screen->logsView()->toPlainText();
        QVERIFY(logs.indexOf(QLatin1String("kapr<&>sons")) < logs.indexOf(QLatin1String("TrailMole")));
        QVERIFY(logs.contains(QLatin1String("TFTC <b>really</b>")));
        QVERIFY(!screen->logsView()->toHtml().contains(QLatin1String("smile.gif")));
        QVERIFY(!shownImage(screen->logsView(), QStringLiteral("resource://1.bmp")).isNull());

        // Images: the three pictures with their captions.
        const QString images = screen->imagesView()->toPlainText();
        for (const char* caption : {"The weir", "The mill", "The plaque"})
            QVERIFY2(images.contains(QLatin1String(caption)), caption);
        QCOMPARE(shownImage(screen->imagesView(), fileUrlOf(localImage(w, "mill.png"))).pixelColor(5, 5),
                 QColor(Qt::red));
        QCOMPARE(shownImage(screen->imagesView(), fileUrlOf(localImage(w, "plaque.png"))).pixelColor(5, 5),
                 QColor(Qt::green));

        // Tags: category and value, attributes and images among them, then
        // the travel bug with its code and name.
        QTreeWidget* tags = screen->tagsView();
        QCOMPARE(tags->topLevelItemCount(), 6);
        QCOMPARE(tags->topLevelItem(0)->text(0), QStringLiteral("attribute"));
        QCOMPARE(tags->topLevelItem(4)->text(0), QStringLiteral("gcimage"));
        QVERIFY(!w.global->text(1180).empty());
        QCOMPARE(tags->topLevelItem(5)->text(0), QString::fromStdString(w.global->text(1180)));
        QCOMPARE(tags->topLevelItem(5)->text(1), QStringLiteral("TB1A2B3  Rusty & <Tin>"));

        // Attachments: the file opens with the desktop's program.
        QListWidget* files = screen->attachmentsView();
        QCOMPARE(files->count(), 1);
        QCOMPARE(files->item(0)->text(), QStringLiteral("notes.txt"));
        screen->pages()->setCurrentIndex(CacheScreen::AttachmentsPage);
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(files->item(0)).center());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(attachment.string()))});

        // The offline copy is offered only once it exists; the web page once
        // the user has named the cache service's address.
        QMenu none;
        screen->fillMenu(none);
        QVERIFY(!menuTexts(none).contains(QStringLiteral("Open the cache's web page")));
        w.global->setStateString("CacheLinkBase", "https://caches.example.org/");
        QMenu menu;
        screen->fillMenu(menu);
        // The listing's own entries follow the commands on the cache.
        QCOMPARE(menuTexts(menu).mid(menuTexts(menu).size() - 4),
                 (QStringList{"Open attachments folder", "Open the cache's web page", "Print sheet…", "Reload listing"}));
        fs::create_directories(listing::offlineCopyPath(w.mapFolder(), kCode).parent_path());
        std::ofstream(listing::offlineCopyPath(w.mapFolder(), kCode).string()) << "<html><body>Saved page</body></html>";
        QMenu again;
        screen->fillMenu(again);
        const QStringList texts = menuTexts(again);
        QCOMPARE(texts.at(texts.size() - 5), QStringLiteral("Open offline copy"));
        QList<QAction*> entries;
        for (QAction* a : again.actions())
            if (!a->isSeparator())
                entries << a;
        entries.at(entries.size() - 3)->trigger(); // the web page
        QCOMPARE(opened.last(), QUrl(QStringLiteral("https://caches.example.org/GC12AB")));
    }

    void aCodeFromOutsideOpensItsListingInTheRunningProgram()
    {
        ScreenWorld w(kListingWorld);
        addListedCache(w, "<p>Long</p>");
        MainWindow window(*w.global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SingleInstance running(w.dir.path().toStdString());
        QVERIFY(running.listen());
        connect(&running, &SingleInstance::requested, &window,
                [&window](const QString& code) { window.showCache(code.toStdString()); });

        // A later start with the same settings folder hands its code over.
        auto handOver = [&](const QString& code) -> bool {
            std::atomic<bool> done{false};
            bool taken = false;
            std::thread later([&] {
                taken = SingleInstance(w.dir.path().toStdString()).forward(code, 5000);
                done = true;
            });
            // The running side answers from its event loop.
            QDeadlineTimer deadline(10000);
            while (!done && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            later.join();
            return taken;
        };
        QVERIFY(handOver(QString::fromLatin1(kCode)));
        QTRY_VERIFY(qobject_cast<CacheScreen*>(window.topScreen()));
        QCOMPARE(w.global->list.currentCache()->code, std::string(kCode));

        QVERIFY(handOver(QStringLiteral("GC404")));
        QTRY_COMPARE(window.topScreen(), static_cast<Screen*>(window.cacheList()));
        QVERIFY(window.findChild<QLabel*>(QStringLiteral("statusLine"))->text().contains(QStringLiteral("GC404")));
        // Another settings folder is another program.
        QTemporaryDir elsewhere;
        QVERIFY(!SingleInstance(elsewhere.path().toStdString()).forward(QString::fromLatin1(kCode), 300));
    }

    void hintDecodesAndTheNoteKeepsItsVariables()
    {
        ScreenWorld w(kListingWorld);
        addListedCache(w, "<p>Long</p>");
        QVERIFY(w.global->list.readCaches());
        MainWindow window(*w.global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CacheScreen* screen = openCacheScreen(window, kCode);
        QVERIFY(screen);

        QCOMPARE(screen->hintLabel()->text(), QStringLiteral("Haqre gur fgbar"));
        QTest::mouseClick(screen->hintButton(), Qt::LeftButton);
        QCOMPARE(screen->hintLabel()->text(), QStringLiteral("Under the stone"));

        // The user types letter values, selects them and stores them as variables.
        QPlainTextEdit* note = screen->noteEdit();
        note->moveCursor(QTextCursor::End);
        QTest::keyClick(note, Qt::Key_Return);
        QTest::keyClicks(note, "A=3 B=5");
        QTextCursor cursor = note->textCursor();
        cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
        note->setTextCursor(cursor);
        QMenu menu;
        screen->fillNoteMenu(menu);
        QCOMPARE(menuTexts(menu).mid(0, 2), (QStringList{"Store selection as variables", "Paste"}));
        menu.actions().at(0)->trigger();
        QCOMPARE(storedComment(w), std::string("Parking is free.\r\n<!\r\nA=3 B=5\r\n!>"));

        // With a block present the entry is off; a new waypoint takes the selection.
        QString handed;
        screen->onNewWaypointFromText = [&handed](const std::string&, const QString& text) { handed = text; };
        note->selectAll();
        QMenu second;
        screen->fillNoteMenu(second);
        QVERIFY(!second.actions().at(0)->isEnabled());
        second.actions().at(2)->trigger();
        QVERIFY(handed.startsWith(QLatin1String("Parking is free.\n<!")));

        // A typed change is kept when the user goes back.
        QTest::keyClicks(note, "Open daily");
        QCOMPARE(window.topScreen()->mainActionText(), QStringLiteral("Save note"));
        QVERIFY(window.popScreen());
        QCOMPARE(storedComment(w), std::string("Open daily"));
        // The list's copy of the cache shows the saved note as well.
        const auto& caches = w.global->list.caches;
        const auto listed = std::find_if(caches.begin(), caches.end(), [](const auto& c) { return c->code == kCode; });
        QVERIFY(listed != caches.end());
        QCOMPARE((*listed)->comment, std::string("Open daily"));
    }

    void missingImageIsFetchedOnceAndShownWhenItArrives()
    {
        if (!m_simError.empty())
            QSKIP(m_simError.c_str());
        qputenv("TARNWICK_ALLOW_PRIVATE_HOSTS", "1"); // the simulator is on loopback
        ScreenWorld w(kListingWorld);
        qunsetenv("TARNWICK_ALLOW_PRIVATE_HOSTS");
        w.goOnline(std::chrono::seconds(2));
        const std::string url = m_sim->baseUrl() + "/img/view.png";
        addListedCache(w, "<p>View:</p><img src=\"" + url + "\">");

        // The link is down for now: the picture waits in the queue.
        w.global->netClient.setDownloadsOn(false);
        MainWindow window(*w.global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CacheScreen* screen = openCacheScreen(window, kCode);
        QVERIFY(screen);
        const QString local = fileUrlOf(localImage(w, "view.png"));
        QCOMPARE(w.global->netClient.queued(), 1);
        QCOMPARE(shownImage(screen->descriptionView(), local).size(), QSize(1, 1));

        w.global->netClient.setDownloadsOn(true);
        w.global->netClient.startWorker();
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(localImage(w, "view.png")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(shownImage(screen->descriptionView(), local).width() > 1, 5000);
        // Built again (shown again, reloaded): the address is not asked for again.
        screen->activated();
        screen->reload();
        QTRY_VERIFY(!w.global->netClient.running());
        QCOMPARE(requestsFor(*m_sim, "/img/view.png"), 1);
        QVERIFY(w.prompter.messages().empty());
    }

    void aHostileListingStaysInert()
    {
        if (!m_simError.empty())
            QSKIP(m_simError.c_str());
        ScreenWorld w(kListingWorld);
        w.goOnline(std::chrono::seconds(2));
        w.global->netClient.setPrivateHostsAllowed(false);
        const fs::path outside = w.mapFolder().parent_path() / "secret.png";
        writeImage(outside, Qt::magenta);
        addListedCache(w, "<script>document.write('INJECTED'); fetch('" + m_sim->baseUrl() +
                   "/echo/script');</script><p>Safe text</p>"
                   "<a href=\"javascript:alert(1)\">js</a> <a href=\"file:///etc/passwd\">file</a> "
                   "<a href=\"data:text/html,hi\">data</a> <a href=\"https://example.org/page\">web</a>"
                   "<img src=\"" + m_sim->baseUrl() + "/img/private.png\">"
                   "<img src=\"file://" + outside.string() + "\"><img src=\"../secret.png\">");
        MainWindow window(*w.global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CacheScreen* screen = openCacheScreen(window, kCode);
        QVERIFY(screen);
        QList<QUrl> opened;
        screen->setUrlOpener([&opened](const QUrl& url) {
            opened << url;
            return true;
        });
        ListingBrowser* view = screen->descriptionView();

        const QString text = view->toPlainText();
        QVERIFY(text.contains(QLatin1String("Safe text")));
        QVERIFY(!text.contains(QLatin1String("INJECTED")));
        QVERIFY(!text.contains(QLatin1String("document.write")));
        for (const char* link : {"javascript:alert(1)", "file:///etc/passwd", "data:text/html,hi", "https://example.org/page"})
            emit view->anchorClicked(QUrl(QString::fromLatin1(link)));
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("https://example.org/page"))});

        // Nothing outside the offline folder is shown, however it is named.
        for (const QString& address : {QString::fromStdString("file://" + outside.string()), QStringLiteral("../secret.png"),
                                       QStringLiteral("data:image/png;base64,iVBORw0KGgo=")})
            QCOMPARE(shownImage(view, address).size(), QSize(1, 1));

        QTRY_VERIFY_WITH_TIMEOUT(!w.global->netClient.running() && w.global->netClient.queued() == 0, 5000);
        QCOMPARE(requestsFor(*m_sim, "/img/private.png"), 0);
        QCOMPARE(requestsFor(*m_sim, "/echo/script"), 0);
        QVERIFY(!fs::exists(localImage(w, "private.png")));
        QVERIFY(w.global->netClient.downloadsOn());
        QVERIFY(w.prompter.messages().empty());
    }

    void everyAttributeOfTheRecordsHasItsOwnIcon()
    {
        const QStringList names = drawnAttributeNames();
        int withStoredIcon = 0;
        QSet<QByteArray> pictures;
        for (const QString& name : names)
            for (const char* state : {"-yes", "-no"}) {
                const QString entry = name + QLatin1String(state);
                withStoredIcon += attributeHasIcon(entry.toStdString()) ? 1 : 0;
                const QImage icon = attributeIcon(entry, 32);
                QCOMPARE(icon.size(), QSize(32, 32));
                pictures.insert(QByteArray(reinterpret_cast<const char*>(icon.constBits()), icon.sizeInBytes()));
            }
        QCOMPARE(withStoredIcon, 91);
        QCOMPARE(pictures.size(), names.size() * 2 - 2); // the two snake names share a picture
        for (int number = 1; !attributeName(number).empty(); ++number)
            QVERIFY2(names.contains(QString::fromStdString(attributeName(number)).toLower()), attributeName(number).c_str());
        QVERIFY(attributeIcon(QStringLiteral("dogs"), 32).isNull());
        // "-no" keeps the square's colour, darker, where the strike does not pass.
        const QColor yes = attributeIcon(QStringLiteral("dogs-yes"), 24).pixelColor(12, 1);
        const QColor no = attributeIcon(QStringLiteral("dogs-no"), 24).pixelColor(12, 1);
        QVERIFY2(std::abs(no.red() - yes.darker(140).red()) <= 1 && std::abs(no.green() - yes.darker(140).green()) <= 1,
                 qPrintable(no.name() + QLatin1Char(' ') + yes.name()));
    }

    void everyLogTypeHasItsOwnIcon()
    {
        QSet<QByteArray> pictures;
        for (int type = LogType::FoundIt; type <= LogType::UpdateCoordinates; ++type) {
            const QImage icon = logTypeIcon(type, 24);
            QCOMPARE(icon.size(), QSize(24, 24));
            pictures.insert(QByteArray(reinterpret_cast<const char*>(icon.constBits()), icon.sizeInBytes()));
        }
        QCOMPARE(pictures.size(), LogType::UpdateCoordinates + 1);
        QCOMPARE(logTypeIcon(99, 24), logTypeIcon(LogType::UpdateCoordinates, 24)); // unknown types look like an update
        QVERIFY(logTypeIcon(LogType::FoundIt, 0).isNull());
    }
};

QTEST_MAIN(CacheScreenTest)
#include "CacheScreenTest.moc"
