// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"
#include "app/GpxImport.h"
#include "app/CTarnwickApp.h"
#include "tests/app/AppFixture.h"

#include <sqlite3.h>
#include <zip.h>

#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define TW_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TW_ASAN 1
#endif
#endif

namespace tw {
namespace {

namespace fs = std::filesystem;

std::string cacheEntry(const std::string& code)
{
    return "<wpt lat=\"50\" lon=\"14\"><name>" + code + "</name><groundspeak:cache/></wpt>";
}

struct Member {
    std::string name;
    fs::path file;
    bool encrypted = false;
};

class ZipImportTest : public test::AppFixture {
protected:
    // A zip of the files, quickly compressed; encrypted members get a password.
    void writeZip(const fs::path& path, const std::vector<Member>& members)
    {
        int code = 0;
        zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
        ASSERT_NE(archive, nullptr);
        for (const Member& m : members) {
            zip_source_t* source = zip_source_file(archive, m.file.c_str(), 0, -1);
            ASSERT_NE(source, nullptr);
            const zip_int64_t index = zip_file_add(archive, m.name.c_str(), source, ZIP_FL_ENC_UTF_8);
            ASSERT_GE(index, 0);
            const auto i = static_cast<zip_uint64_t>(index);
            ASSERT_EQ(zip_set_file_compression(archive, i, ZIP_CM_DEFLATE, 1), 0);
            if (m.encrypted) {
                const zip_uint16_t method =
                    zip_encryption_method_supported(ZIP_EM_AES_256, 1) ? ZIP_EM_AES_256 : ZIP_EM_TRAD_PKWARE;
                ASSERT_EQ(zip_file_set_encryption(archive, i, method, "s3cret"), 0);
            }
        }
        ASSERT_EQ(zip_close(archive), 0);
    }

    void openDatabase()
    {
        test::copyTemplateDb(global->settings.dbFile);
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
    }

    // The import of the child process: 0 when it read every member without
    // ever holding one whole, else a number that says what went wrong.
    int importBounded(const fs::path& zip, int members, std::size_t memberBytes)
    {
        if (global->db.cacheDb.OpenFile(global->settings.dbFile) != SQLITE_OK)
            return 3;
        global->db.InitTagCategories();
#ifndef TW_ASAN
        // The address space in use, plus room for a thread or two, but not
        // for the members.
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (200u << 20);
        const rlimit room{limit, limit};
        ::setrlimit(RLIMIT_AS, &room);
#endif
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        const ImportSummary s = importGpx(*global, zip, nullptr, nullptr);
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        if (!s.error.empty() || !s.complete || s.newCaches != members) {
            std::fprintf(stderr, "import: %s\n", importCompletionText(*global, s).c_str());
            return 1;
        }
#ifdef TW_ASAN
        // The sanitizer keeps freed memory in quarantine: the peak says
        // nothing about what the import held.
        (void)memberBytes;
        return 0;
#else
        return after.ru_maxrss - before.ru_maxrss < static_cast<long>(memberBytes / 1024) ? 0 : 2;
#endif
    }
};

TEST_F(ZipImportTest, EncryptedMemberIsNamedAndFailsTheJob)
{
    if (!zip_encryption_method_supported(ZIP_EM_AES_256, 1) && !zip_encryption_method_supported(ZIP_EM_TRAD_PKWARE, 1))
        GTEST_SKIP() << "this libzip cannot encrypt";
    test::writeFile(dir / "plain.gpx", "<gpx>" + cacheEntry("GC1AAAA") + "</gpx>");
    test::writeFile(dir / "locked.gpx", "<gpx>" + cacheEntry("GC1BBBB") + "</gpx>");
    ASSERT_NO_FATAL_FAILURE(
        writeZip(dir / "pq.zip", {{"plain.gpx", dir / "plain.gpx"}, {"pq/locked.gpx", dir / "locked.gpx", true}}));
    openDatabase();

    const ImportSummary s = importGpx(*global, dir / "pq.zip", nullptr, nullptr);
    EXPECT_TRUE(s.error.empty()) << s.error;
    EXPECT_FALSE(s.complete);
    EXPECT_EQ(s.newCaches, 1);
    EXPECT_EQ(importCompletionText(*global, s),
              "The file pq/locked.gpx in the zip archive could not be read: it is encrypted.");
    global->LoadSettings(0xff); // the default language is Czech
    // The second time its cache is already there, and the text says so.
    EXPECT_EQ(importCompletionText(*global, importGpx(*global, dir / "pq.zip", nullptr, nullptr)),
              "Soubor pq/locked.gpx v archivu zip nelze přečíst: je zašifrovaný. "
              "Keše, které už v databázi byly, zůstaly beze změny: 1.");

    // The batch word stores the readable member and still fails.
    global->db.cacheDb.Close();
    restart();
    CTarnwickApp app(*global);
    app.batch = defaultBatchActions();
    ConsoleStartupUi ui;
    ASSERT_TRUE(app.InitInstance({"i", (dir / "pq.zip").string()}, ui));
    EXPECT_NE(app.ExitInstance(), 0);
    EXPECT_EQ(global->db.cacheCount, 1);
}

TEST_F(ZipImportTest, MembersAreInflatedWhileTheyAreParsed)
{
    // Each member is mostly one long attribute value, which the parse skips:
    // tens of megabytes that zip to a few dozen kilobytes.
#ifdef TW_ASAN
    constexpr std::size_t kMemberBytes = 8u << 20;
#else
    constexpr std::size_t kMemberBytes = 40u << 20;
#endif
    constexpr int kMembers = 4;
    std::vector<Member> members;
    const std::string block(1u << 20, 'x');
    for (int i = 0; i < kMembers; ++i) {
        const fs::path file = dir / ("pq" + std::to_string(i) + ".gpx");
        std::ofstream out(file, std::ios::binary);
        out << "<gpx><extensions pad=\"";
        for (std::size_t n = 0; n < kMemberBytes; n += block.size())
            out << block;
        out << "\"/>" << cacheEntry("GC1000" + std::to_string(i)) << "</gpx>";
        members.push_back({file.filename().string(), file});
    }
    ASSERT_NO_FATAL_FAILURE(writeZip(dir / "big.zip", members));
    for (const Member& m : members)
        fs::remove(m.file);
    test::copyTemplateDb(global->settings.dbFile);

    // The import runs in a child with little room to spare: it must neither
    // hold a whole member nor die of an allocation failure.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Nothing may return into the test framework from here.
        int code = 4;
        try {
            code = importBounded(dir / "big.zip", kMembers, kMemberBytes);
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the import died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the import failed, 2: it held a whole member, 3: no database, "
                                          "4: an exception escaped";
}

} // namespace
} // namespace tw
