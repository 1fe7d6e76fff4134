// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "db/CacheReader.h"
#include "exchange/FieldNotes.h"
#include "platform/Clock.h"
#include "screens/CExportFNDlg.h"
#include "screens/CRot13Dlg.h"
#include "screens/CacheCommands.h"
#include "screens/CacheListScreen.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "screens/TagsScreen.h"
#include "screens/VisitScreen.h"
#include "tests/screens/ScreenWorld.h"

#include <QCalendarWidget>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QtTest>

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <tuple>

using namespace tw;
using test::ScreenWorld;

namespace {

// Every cache shows; the settings of all groups are read at start.
const ScreenWorld::Options kVisitWorld{.settingsGroups = SettingsGroup::All, .everyCache = true};

// A traditional cache, 111 m further north than the one stored before; the
// database's counters are read again.
void add(ScreenWorld& w, const std::string& code, int found = 0)
{
    CGeocache c = w.cache(code);
    c.lat = 50.08 + 0.001 * static_cast<double>(w.global->db.cacheCount + 1);
    c.lon = 14.42;
    c.found = found;
    w.store(c);
    w.global->db.ReadDbCounters();
}

// The export file as UTF-8 lines, after checking its UTF-16LE form.
QStringList exportedLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("(no file)")};
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("\xFF\xFE") || !bytes.endsWith(QByteArray("\x0A\x00", 2)))
        return {QStringLiteral("(not UTF-16LE with LF)")};
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2),
                                            (bytes.size() - 2) / 2);
    return text.split(QChar('\n'), Qt::SkipEmptyParts);
}

void writeVisit(CGlobalData& global, const std::string& code, int type, QDate date, QTime time, const QString& text)
{
    VisitScreen screen(global, code);
    screen.typeList()->setCurrentIndex(screen.typeList()->findData(type));
    screen.dateEdit()->setDate(date);
    screen.timeEdit()->setTime(time);
    screen.textEdit()->setPlainText(text);
    QVERIFY(screen.save());
}

} // namespace

class VisitScreensTest : public QObject {
    Q_OBJECT

private slots:
    void visitNotesExportThroughTheDialog()
    {
        ScreenWorld w(kVisitWorld);
        CGlobalData& global = *w.global;
        add(w, "GCOLD", 20100101);
        add(w, "GCVIS1");
        add(w, "GCVIS2");
        add(w, "GCVIS3");

        writeVisit(global, "GCVIS1", LogType::FoundIt, QDate(2024, 5, 17), QTime(10, 15), "Díky, 100% \"OK\"");
        // A Czech user picks the log type by its Czech name; the note keeps
        // the English one that the field-notes file needs (below).
        global.lang.loadTable(global.GetInstallDir(), "cs");
        {
            VisitScreen screen(global, "GCVIS2");
            const int index = screen.typeList()->findData(LogType::DidntFindIt);
            QCOMPARE(screen.typeList()->itemText(index), QStringLiteral("Nenalezeno"));
        }
        writeVisit(global, "GCVIS2", LogType::DidntFindIt, QDate(2024, 5, 18), QTime(9, 0), "No luck");
        writeVisit(global, "GCVIS3", LogType::WriteNote, QDate(2024, 5, 18), QTime(11, 0), "Changed my mind");
        {
            // Reopened, the screen shows the stored note; deleting it removes it.
            VisitScreen screen(global, "GCVIS3");
            QCOMPARE(screen.textEdit()->toPlainText(), QStringLiteral("Changed my mind"));
            w.prompter.queueAnswer(true);
            QVERIFY(screen.deleteNote());
            QVERIFY(screen.textEdit()->toPlainText().isEmpty());
        }
        {
            VisitScreen screen(global, "GCVIS1");
            QCOMPARE(screen.typeList()->currentData().toInt(), LogType::FoundIt);
            QCOMPARE(screen.dateEdit()->date(), QDate(2024, 5, 17));
            QCOMPARE(screen.recount(), 2); // GCOLD and GCVIS1
        }

        CExportFNDlg dialog(global);
        const QString path = w.dir.filePath(QStringLiteral("notes.txt"));
        dialog.sinceEdit()->setDate(QDate(2024, 5, 17));
        dialog.fileEdit()->setText(path);
        dialog.templateEdit()->setText(QStringLiteral("[N]|[T]|[L]"));
        dialog.extraFindsBox()->setValue(10);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        // A Didn't find it keeps the date and time the user picked.
        const QStringList expected{
            QString::fromStdString("GCVIS1," + fieldNoteUtcTime(20240517, 1015) + ",Found it,\"12|10:15|Díky, 100% \"OK\"\""),
            QString::fromStdString("GCVIS2," + fieldNoteUtcTime(20240518, 900) + ",Didn't find it,\"|09:00|No luck\"")};
        QCOMPARE(exportedLines(path), expected);

        // The dialog's settings are stored for the next run.
        w.global->settings = Settings();
        w.global->LoadSettings(SettingsGroup::FieldNotes);
        QCOMPARE(QString::fromStdString(w.global->settings.fnFile), path);
        QCOMPARE(w.global->settings.fnTemplate, std::string("[N]|[T]|[L]"));
        QCOMPARE(w.global->settings.findsCountExtra, 10);
    }

    // The date fields write dates as the program's language does, whatever
    // the system's locale (here German, Qt's default) would write.
    void dateFieldsFollowTheProgramsLanguage()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        ScreenWorld w(kVisitWorld);
        CGlobalData& global = *w.global;
        add(w, "GCDATE");
        const QDate day(2024, 5, 17);
        for (const auto& [language, shown, calendar] :
             {std::tuple{"en", "05/17/2024", QLocale::English}, std::tuple{"cs", "17.05.2024", QLocale::Czech}}) {
            global.settings.language = language;
            global.lang.loadTable(global.GetInstallDir(), language);
            VisitScreen visit(global, "GCDATE");
            visit.dateEdit()->setDate(day);
            QCOMPARE(visit.dateEdit()->text(), QString::fromLatin1(shown));
            QCOMPARE(visit.dateEdit()->calendarWidget()->locale().language(), calendar);
            CExportFNDlg dialog(global);
            dialog.sinceEdit()->setDate(day);
            QCOMPARE(dialog.sinceEdit()->text(), QString::fromLatin1(shown));
        }
        QLocale::setDefault(before);
    }

    void deletingACacheUpdatesTheStatusLine()
    {
        ScreenWorld w(kVisitWorld);
        CGlobalData& global = *w.global;
        for (const char* code : {"GCD1", "GCD2", "GCD3"})
            add(w, code);
        MainWindow window(global, w.notifier);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.statusText(), QStringLiteral("Caches: 3/3/0"));

        global.list.setCurrentCache(*global.list.caches[1]);
        const std::string code = global.list.caches[1]->code;
        w.prompter.queueAnswer(true);
        QVERIFY(deleteCacheCommand(&window, global));
        QTRY_COMPARE(window.statusText(), QStringLiteral("Caches: 2/2/0"));
        QCOMPARE(window.cacheList()->view()->model()->rowCount(), 2);
        QVERIFY(!LoadCacheByCode(global.db.cacheDb, code));
        QVERIFY(!global.list.currentCache() || global.list.currentCache()->code != code);
    }

    void recentListSurvivesARestart()
    {
        ScreenWorld w(kVisitWorld);
        for (const char* code : {"GCR1", "GCR2", "GCR3"})
            add(w, code);
        std::vector<std::string> tapped;
        {
            MainWindow window(*w.global, w.notifier);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QListView* view = window.cacheList()->view();
            for (int row : {2, 0}) {
                const QModelIndex index = view->model()->index(row, 0);
                tapped.push_back(index.data(Qt::ToolTipRole).toString().section(QChar('('), 1).chopped(1).toStdString());
                QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
            }
        }
        QVERIFY(w.global->list.currentCache());
        QCOMPARE(w.global->list.currentCache()->code, tapped[1]);

        w.restart();
        w.global->db.ReadDbCounters();
        w.global->list.LoadRecent();
        QCOMPARE(w.global->list.recent.size(), std::size_t(2));
        QCOMPARE(w.global->list.recent[0]->code, tapped[1]);
        QCOMPARE(w.global->list.recent[1]->code, tapped[0]);
    }

    void tagAddedAndRemovedOnTheTagsScreen()
    {
        ScreenWorld w(kVisitWorld);
        CGlobalData& global = *w.global;
        add(w, "GCT1");
        add(w, "GCT2");
        AddTag(global.db.cacheDb, "GCT2", "colour", "blue");
        TagsScreen screen(global, "GCT1");
        // The program's own categories are not offered.
        QVERIFY(screen.categoryBox()->findText(QStringLiteral("colour")) >= 0);
        QCOMPARE(screen.categoryBox()->findText(QStringLiteral("fieldnote")), -1);

        screen.categoryBox()->setCurrentText(QStringLiteral("colour"));
        QCOMPARE(screen.valueBox()->itemText(0), QStringLiteral("blue")); // used before in that category
        screen.valueBox()->setCurrentText(QStringLiteral("Red_1"));
        screen.mainAction();
        QVERIFY(HasTag(global.db.cacheDb, "GCT1", "colour", "Red_1"));
        QCOMPARE(screen.tagList()->count(), 1);
        QCOMPARE(screen.tagList()->item(0)->text(), QStringLiteral("colour: Red_1"));

        screen.tagList()->setCurrentRow(0);
        QTest::mouseClick(screen.findChild<QPushButton*>(QStringLiteral("removeTag")), Qt::LeftButton);
        QVERIFY(!HasTag(global.db.cacheDb, "GCT1", "colour", ""));
        QVERIFY(HasTag(global.db.cacheDb, "GCT2", "colour", "blue"));
    }

    void textToolsDecodeRot13MorseRomanAndBases()
    {
        ScreenWorld w(kVisitWorld);
        CRot13Dlg dialog(*w.global, QStringLiteral("Nop [Abc] klm"));
        auto press = [&](int key) { QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("convert%1").arg(key)), Qt::LeftButton); };
        press(0);
        QCOMPARE(dialog.result(), QStringLiteral("Abc [Abc] xyz"));
        dialog.input()->setPlainText(QStringLiteral(".../---/.../"));
        press(1);
        QCOMPARE(dialog.result(), QStringLiteral("SOS "));
        dialog.input()->setPlainText(QStringLiteral("-/"));
        press(2);
        QCOMPARE(dialog.result(), QStringLiteral("E "));
        dialog.input()->setPlainText(QStringLiteral("mcmxciv"));
        press(3);
        QCOMPARE(dialog.result(), QStringLiteral("1994"));

        auto* bases = dialog.findChild<QComboBox*>(QStringLiteral("numberBases"));
        dialog.input()->setPlainText(QStringLiteral(" ff "));
        emit bases->activated(4); // Hex->
        QCOMPARE(dialog.result(), QStringLiteral("Bin: 11111111\nOct: 377\nDec: 255"));
        QCOMPARE(bases->currentIndex(), 0);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("copyResult")), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), dialog.result());
    }
};

QTEST_MAIN(VisitScreensTest)
#include "VisitScreensTest.moc"
