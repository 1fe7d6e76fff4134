// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/SingleInstance.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace tw;
namespace fs = std::filesystem;

class SingleInstanceTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        // Each case in a fresh folder: the first leaves a squatted one behind.
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_base = fs::path(m_dir->path().toStdString());
        ::chmod(m_base.c_str(), 0700);
        fs::create_directories(m_base / "tmp");
        qputenv("TMPDIR", QByteArray::fromStdString((m_base / "tmp").string()));
    }

    void theSocketLivesInAFolderOnlyThisUserEnters()
    {
        fs::create_directories(m_base / "runtime");
        ::chmod((m_base / "runtime").c_str(), 0700);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString((m_base / "runtime").string()));
        QVERIFY(SingleInstance(m_base / "config").serverName().startsWith(QString::fromStdString((m_base / "runtime").string()) + '/'));

        // A runtime folder others may enter is not used: our own folder is made.
        ::chmod((m_base / "runtime").c_str(), 0777);
        const fs::path own = m_base / "tmp" / ("tarnwick-" + std::to_string(::getuid()));
        QVERIFY(SingleInstance(m_base / "config").serverName().startsWith(QString::fromStdString(own.string()) + '/'));
        QCOMPARE(fs::status(own).permissions() & fs::perms::all, fs::perms::owner_all);

        // That folder made first, open to others (or a link to elsewhere):
        // no socket at all, and each start opens its own window.
        qunsetenv("XDG_RUNTIME_DIR");
        ::chmod(own.c_str(), 0777);
        SingleInstance squatted(m_base / "config");
        QVERIFY(squatted.serverName().isEmpty());
        QVERIFY(!squatted.listen());
        QVERIFY(!squatted.forward(QStringLiteral("GC1")));
        fs::remove(own);
        fs::create_directory_symlink(m_base / "runtime", own);
        QVERIFY(SingleInstance(m_base / "config").serverName().isEmpty());
    }

    // A socket that takes the connection and never answers keeps a later
    // start waiting no longer than its limit, and counts as nobody.
    void aSilentProgramOnTheSocketIsNobody()
    {
        qunsetenv("XDG_RUNTIME_DIR");
        SingleInstance later(m_base / "config");
        QLocalServer silent;
        QVERIFY(silent.listen(later.serverName()));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!later.forward(QStringLiteral("GC1"), 500));
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    fs::path m_base;
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
