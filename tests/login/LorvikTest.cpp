// SPDX-License-Identifier: GPL-3.0-or-later
#include "login/HandoverFile.h"
#include "login/SignInAddress.h"

#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/stat.h>

using namespace lorvik;
namespace fs = std::filesystem;

class LorvikTest : public QObject {
    Q_OBJECT

private slots:
    void doneAddressGivesTheTokenOnlyFromTheRelay()
    {
        const QUrl relay(QStringLiteral("http://127.0.0.1:8080/oa/"));
        auto token = [&](const char* page) { return tokenOfDonePage(QUrl(QString::fromLatin1(page)), relay); };
        QCOMPARE(token("http://127.0.0.1:8080/oa/done.php?tk=abc=def=g"), QStringLiteral("abc=def=g"));
        const QString longToken(120, QLatin1Char('x'));
        QCOMPARE(tokenOfDonePage(QUrl(QStringLiteral("http://127.0.0.1:8080/oa/done.php?tk=") + longToken), relay),
                 longToken.left(99));
        QCOMPARE(token("http://127.0.0.1:8080/oa/login.php?a=1&b=2"), std::nullopt);
        QCOMPARE(token("http://localhost:8080/oa/done.php?tk=x"), std::nullopt);
        QCOMPARE(token("http://127.0.0.1:8081/oa/done.php?tk=x"), std::nullopt);
        QCOMPARE(token("https://127.0.0.1:8080/oa/done.php?tk=x"), std::nullopt);
    }

    void ticketIsReadAndTokenWrittenBesideIt()
    {
        QTemporaryDir dir;
        const fs::path file = fs::path(dir.path().toStdString()) / "handover.ini";
        const HandoverFile handover(file);
        const QUrl relay(QStringLiteral("http://relay.test/oa"));
        // Nothing stored yet: the bare sign-in address.
        QCOMPARE(signInAddress(relay, handover).toString(), QStringLiteral("http://relay.test/oa/login.php?a=&b="));

        std::ofstream(file) << "[Other]\ntwa = wrong\n\n[" << kHandoverSection << "]\ntwa = T1\ntwb = S1\n";
        QCOMPARE(signInAddress(relay, handover).toString(),
                 QStringLiteral("http://relay.test/oa/login.php?a=T1&b=S1"));
        QVERIFY(handover.setValue("twtk", "tok=en"));
        QVERIFY(handover.setValue("twtk", "token2"));
        QCOMPARE(handover.value("twtk", 100), std::optional<std::string>("token2"));
        QCOMPARE(handover.value("twa", 100), std::optional<std::string>("T1"));
        QCOMPARE(handover.value("twa", 1), std::nullopt); // longer than the reader takes
        std::ifstream in(file);
        std::ostringstream text;
        text << in.rdbuf();
        QVERIFY(text.str().find("[Other]\ntwa = wrong\n") != std::string::npos);
        QCOMPARE(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    }

    // In place of the file, a link to an endless device or a FIFO nobody
    // writes: read as nothing, at once, and replaced by the file on writing.
    void handoverFileOtherThanARegularFileReadsAsNothing()
    {
        QTemporaryDir dir;
        const fs::path base(dir.path().toStdString());
        QCOMPARE(::mkfifo((base / "fifo").c_str(), 0600), 0);
        for (const fs::path& target : {fs::path("/dev/zero"), fs::path("/dev/urandom"), base / "fifo"}) {
            const fs::path file = base / "handover.ini";
            fs::remove(file);
            fs::create_symlink(target, file);
            const HandoverFile handover(file);
            QCOMPARE(handover.value("twa", 100), std::nullopt);
            QVERIFY(handover.setValue("twtk", "token"));
            QVERIFY(fs::is_regular_file(fs::symlink_status(file)));
            QCOMPARE(handover.value("twtk", 100), std::optional<std::string>("token"));
        }
    }
};

QTEST_GUILESS_MAIN(LorvikTest)
#include "LorvikTest.moc"
