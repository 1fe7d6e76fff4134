// SPDX-License-Identifier: GPL-3.0-or-later
// The printed cache sheets, read back with an independent reader
// (pdftotext): every text of a listing with Czech letters, emoji, HTML and
// pictures is on the sheet, and no markup; long listings go on over pages
// without losing a line; a cancel or a file that cannot be written leaves
// nothing behind; the listing's menu entry writes the sheet.
#include "app/ListingFiles.h"
#include "app/SheetContent.h"
#include "db/CacheStore.h"
#include "db/Tags.h"
#include "screens/CacheScreen.h"
#include "screens/CacheSheet.h"
#include "screens/CacheSheetCommands.h"
#include "screens/MainWindow.h"
#include "screens/MapPicture.h"
#include "tests/screens/ScreenWorld.h"

#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

#include <fstream>

namespace fs = std::filesystem;
using namespace tw;
using test::ScreenWorld;

namespace {

constexpr const char* kCode = "GC5HEET";
constexpr int kLogs = 7;

void writePicture(const fs::path& path, QColor colour, QSize size)
{
    fs::create_directories(path.parent_path());
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(QString::fromStdString(path.string()));
}

// A listing with everything a sheet sets: Czech letters and emoji in every
// kind of text, HTML with entities, a script and a picture, a listing image
// with a caption, waypoints, more logs than a sheet takes, a note.
void storeRichCache(ScreenWorld& w)
{
    CGeocache c = w.cache(kCode, 0.3, 45.0);
    c.name = "Žluťoučký kůň 🐴 & spol. ☀";
    c.author = "Jiří Ďáblík";
    c.type = CacheType::Multi;
    c.size = CacheSize::Small;
    c.difficulty = 25;
    c.terrain = 35;
    c.hidden = 20230517;
    c.text = "<p>Krátký popis s <b>tučným</b> slovem &amp; entitou caf&eacute; &#x1F332;</p>";
    c.shortDescHtml = 1;
    c.longDesc = "<h3>Historie mlýna</h3><p>Příliš žluťoučký kůň úpěl ďábelské ódy.</p>"
                 "<ul><li>První zastávka u splavu</li><li>Druhá zastávka na lávce</li></ul>"
                 "<p><img src='http://img.example.org/a/mlyn.jpg'></p><script>var skryto = 'tajne';</script>"
                 "<p>Konec&nbsp;popisu &lt;opravdu&gt;</p>";
    c.longDescHtml = 1;
    c.hint = "Pod kořenem 🌳 ✓ stromu";
    c.comment = "Poznámka: A je 5\r\nB je 7";
    for (int i = 1; i <= kLogs; ++i) {
        auto log = std::make_unique<CGeoLog>();
        log->logId = 7000 + i;
        log->date = 20240600 + (kLogs + 1 - i); // log 1 is the newest
        log->type = i == 2 ? LogType::DidntFindIt : LogType::FoundIt;
        log->finder = "Nálezce" + std::to_string(i);
        log->text = "Zápis číslo " + std::to_string(i) + " 😀 ☕ díky!";
        c.logs.push_back(std::move(log));
    }
    QVERIFY(w.store(c));
    const char* names[] = {"Parkoviště u mlýna", "Lávka přes potok"};
    for (int i = 0; i < 2; ++i) {
        CWaypoint wpt;
        wpt.code = kCode;
        wpt.prefix = i ? "S1" : "PK";
        wpt.name = names[i];
        wpt.type = i ? WaypointType::Stage : WaypointType::Parking;
        wpt.lat = c.lat + 0.001 * (i + 1);
        wpt.lon = c.lon + 0.0015;
        wpt.text = i ? "Spočítej okna" : "";
        QVERIFY(w.store(wpt));
    }
    AddTag(w.global->db.cacheDb, kCode, TagCategoryName::GcImage,
           "<a href=\"http://img.example.org/a/most.jpg\">Most přes řeku</a>");
    const fs::path maps = w.global->paths.deviceFolder(w.global->settings.mapFolder);
    writePicture(listing::localImagePath(maps, kCode, "mlyn.jpg"), QColor(40, 90, 160), {400, 250});
    writePicture(listing::localImagePath(maps, kCode, "most.jpg"), QColor(160, 90, 40), {300, 200});
}

// The text of a PDF as pdftotext reads it, every run of blanks and line
// breaks one space: a wrapped line reads as the sentence it was.
QString pdfText(const fs::path& file)
{
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"), {QString::fromStdString(file.string()), QStringLiteral("-")});
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0)
        return QStringLiteral("pdftotext failed: ") + QString::fromUtf8(reader.readAllStandardError());
    return QString::fromUtf8(reader.readAllStandardOutput()).simplified();
}

int pdfPages(const fs::path& file)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {QString::fromStdString(file.string())});
    info.waitForFinished(30000);
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(QString::fromUtf8(info.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

} // namespace

class CacheSheetTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScreenWorld> w;

    SheetSummary write(const std::vector<std::string>& codes, const fs::path& file, bool cancelled = false)
    {
        const std::atomic<bool> cancel{cancelled};
        return writeCacheSheets(*w->global, codes, file, nullptr, &cancel);
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QFAIL("pdftotext is missing: scripts/setup.sh installs poppler-utils");
    }

    void init()
    {
        w = std::make_unique<ScreenWorld>(ScreenWorld::Options{.everyCache = true});
        storeRichCache(*w);
    }

    void everyTextOfTheListingIsOnTheSheetAndNoMarkup()
    {
        const fs::path file = w->root() / "sheet.pdf";
        const SheetSummary summary = write({kCode}, file);
        QVERIFY2(summary.written, summary.error.c_str());
        QCOMPARE(summary.sheets, 1);
        const QString text = pdfText(file);
        const sheet::Content content = *sheet::loadContent(*w->global, kCode);
        const QStringList expected = {
            QString::fromUtf8(kCode), QStringLiteral("Žluťoučký kůň 🐴 & spol. ☀"), QStringLiteral("Multi-cache"),
            QStringLiteral("Small"), QStringLiteral("D 2.5 / T 3.5"), QStringLiteral("Owner: Jiří Ďáblík"),
            QString::fromStdString(content.coords),
            // Both descriptions, entities decoded, the list items and the headings.
            QStringLiteral("Krátký popis s tučným slovem & entitou café 🌲"), QStringLiteral("Historie mlýna"),
            QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy."), QStringLiteral("První zastávka u splavu"),
            QStringLiteral("Druhá zastávka na lávce"), QStringLiteral("Konec popisu <opravdu>"),
            // The hint as the listing shows it and through ROT13.
            QStringLiteral("Pod kořenem 🌳 ✓ stromu"), QStringLiteral("Cbq xbřrarz 🌳 ✓ fgebzh"),
            QStringLiteral("PK Parking area: Parkoviště u mlýna"), QStringLiteral("S1 Stage: Lávka přes potok"),
            QStringLiteral("Spočítej okna"), QString::fromStdString(content.waypoints[0].coords),
            QStringLiteral("Most přes řeku"), QStringLiteral("Poznámka: A je 5 B je 7"),
            QStringLiteral("Didn't find it · Nálezce2"), QStringLiteral("Zápis číslo 1 😀 ☕ díky!"),
            QStringLiteral("Zápis číslo 5 😀 ☕ díky!"), QStringLiteral("Page 1 of")};
        for (const QString& words : expected)
            QVERIFY2(text.contains(words), qPrintable(words + QStringLiteral(" is missing from: ") + text));
        // The emoji are letters of an embedded font, not pictures.
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {QString::fromStdString(file.string())});
        fonts.waitForFinished(30000);
        QVERIFY(QString::fromUtf8(fonts.readAllStandardOutput()).contains(QStringLiteral("TarnwickAstral")));
        // The two oldest logs stay off; no tag, script or entity shows.
        for (const QString& absent : {QStringLiteral("Zápis číslo 6"), QStringLiteral("Zápis číslo 7"),
                                      QStringLiteral("<b>"), QStringLiteral("<p>"), QStringLiteral("skryto"),
                                      QStringLiteral("&amp;"), QStringLiteral("&eacute;"), QStringLiteral("&nbsp;"),
                                      QStringLiteral("img.example.org")})
            QVERIFY2(!text.contains(absent), qPrintable(absent + QStringLiteral(" is on the sheet")));
        // Both pictures are in the file (the description's and the listing image).
        QProcess images;
        images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), QString::fromStdString(file.string())});
        images.waitForFinished(30000);
        const QStringList rows = QString::fromUtf8(images.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY2(rows.size() - 2 >= 2, qPrintable(rows.join(QLatin1Char('\n'))));
    }

    void aLongListingGoesOnOverPagesWithoutLosingALine()
    {
        CGeocache c = w->cache("GC10NG", 0.5, 90.0);
        c.name = "Dlouhý popis";
        for (int i = 1; i <= 150; ++i)
            c.longDesc += "<p>Odstavec " + std::to_string(i) +
                          " vypráví o cestě podél řeky k mlýnu, o lávce, o splavu a o tom, kde hledat krabičku.</p>";
        c.longDescHtml = 1;
        QVERIFY(w->store(c));
        w->global->settings.sheetPaper = 2; // Letter
        const fs::path file = w->root() / "long.pdf";
        QVERIFY(write({"GC10NG"}, file).written);
        const int pages = pdfPages(file);
        QVERIFY2(pages >= 3, qPrintable(QString::number(pages)));
        const QString text = pdfText(file);
        for (int i = 1; i <= 150; ++i)
            QVERIFY2(text.count(QStringLiteral("Odstavec %1 vypráví o cestě podél řeky k mlýnu, o lávce, o splavu a o tom, "
                                               "kde hledat krabičku.").arg(i)) == 1,
                     qPrintable(QString::number(i)));
        // Every page is numbered and names the cache at its top.
        QVERIFY(text.contains(QStringLiteral("Page 1 of %1").arg(pages)));
        QVERIFY(text.contains(QStringLiteral("Page %1 of %1").arg(pages)));
        QVERIFY(text.count(QStringLiteral("GC10NG Dlouhý popis")) >= pages);
        // A second cache starts on a page of its own, with its own count.
        QVERIFY(write({"GC10NG", kCode}, file).written);
        QVERIFY(pdfPages(file) > pages);
        QVERIFY(pdfText(file).contains(QStringLiteral("Page %1 of %1").arg(pages)));
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {QString::fromStdString(file.string())});
        info.waitForFinished(30000);
        QVERIFY(QString::fromUtf8(info.readAllStandardOutput()).contains(QStringLiteral("612 x 792 pts")));
    }

    void aCancelOrAFileThatCannotBeWrittenLeavesNothing()
    {
        const fs::path kept = w->root() / "kept.pdf";
        std::ofstream(kept) << "old";
        SheetSummary s = write({kCode}, kept, true);
        QVERIFY(s.cancelled && !s.written);
        QCOMPARE(sheetCompletionText(*w->global, s, kept), std::string("Cancelled; no file was written."));
        s = write({kCode}, w->root() / "no" / "folder" / "x.pdf");
        QVERIFY(!s.written && !s.error.empty());
        QVERIFY(sheetCompletionText(*w->global, s, "x.pdf").starts_with("The cache sheets could not be written to x.pdf: "));
        // No cache at all is no file either.
        s = write({"GC0GONE"}, kept);
        QVERIFY(!s.written);
        QCOMPARE(s.error, std::string("There is no cache to print; no sheet was written."));
        std::ifstream in(kept);
        std::string old;
        in >> old;
        QCOMPARE(old, std::string("old"));
        // Nor is a temporary file left beside it.
        for (const fs::directory_entry& entry : fs::directory_iterator(w->root()))
            QVERIFY2(entry.path().filename().string().find(".pdf.") == std::string::npos, entry.path().c_str());
    }

    void theMapShowsTheCacheAndItsWaypointsWhereThereAreTiles()
    {
        maps::MapType grid;
        grid.mode = "basic";
        grid.name = "Grid";
        grid.file = "grid";
        grid.defaultZoom = 14;
        grid.maxZoom = 18;
        w->global->mapSources.clear();
        w->global->mapSources[0].type = "Google";
        w->global->mapSources[0].name = "Grid";
        w->global->mapSources[0].basic = {grid};
        w->makeTiles();
        MapSnapshot map(*w->global, {}, w->prompter, w->options.home);
        QVERIFY2(map.ok(), map.error().c_str());
        const sheet::Content content = *sheet::loadContent(*w->global, kCode);
        const QSize size(600, 300);
        const SheetMap sheetMap = sheetMapOf(map, content, size);
        QCOMPARE(sheetMap.image.size(), size);
        QCOMPARE(static_cast<int>(sheetMap.marks.size()), 3);
        for (const SheetMap::Mark& mark : sheetMap.marks)
            QVERIFY2(QRectF(20, 20, 560, 260).contains(mark.at), qPrintable(mark.label));
        QVERIFY(sheetMap.marks[0].cache && sheetMap.marks[0].label == QString::fromUtf8(kCode));
        // Far from every tile: no map, and the sheet goes without one.
        CGeocache far = w->cache("GC0FAR", 400.0, 180.0);
        QVERIFY(w->store(far));
        QVERIFY(sheetMapOf(map, *sheet::loadContent(*w->global, "GC0FAR"), size).image.isNull());
        // A file of both has one map.
        const SheetSummary both = write({kCode, "GC0FAR"}, w->root() / "maps.pdf");
        QVERIFY(both.written);
        QCOMPARE(both.sheets, 2);
        QCOMPARE(both.maps, 1);
    }

    // The user's task: Print sheet… on the listing writes the cache's sheet
    // and says so in the status line; a file that cannot be written is a message.
    void theListingPrintsItsSheet()
    {
        auto window = w->openWindow(QSize(480, 800));
        CacheScreen* screen = openCacheScreen(*window, kCode);
        QVERIFY(screen);
        QMenu menu;
        screen->fillMenu(menu);
        bool offered = false;
        for (QAction* action : menu.actions())
            offered = offered || action->text() == QStringLiteral("Print sheet…");
        QVERIFY(offered);
        const fs::path file = w->root() / "listing.pdf";
        const QString said = printSheets(screen, *w->global, {kCode}, QString::fromStdString(file.string()));
        QVERIFY(fs::exists(file));
        const QString expected = QStringLiteral("Cache sheets written: 1, into %1.").arg(QString::fromStdString(file.string()));
        QCOMPARE(said, expected);
        QCOMPARE(test::child<QLabel>(window.get(), "statusLine")->text(), expected);
        QVERIFY(pdfText(file).contains(QStringLiteral("Žluťoučký kůň 🐴 & spol. ☀")));
        QVERIFY(w->prompter.messages().empty());
        printSheets(screen, *w->global, {kCode}, QString::fromStdString((w->root() / "nowhere" / "x.pdf").string()));
        QCOMPARE(static_cast<int>(w->prompter.messages().size()), 1);
        QVERIFY(w->prompter.messages()[0].text.starts_with("The cache sheets could not be written to"));
    }
};

QTEST_MAIN(CacheSheetTest)
#include "CacheSheetTest.moc"
