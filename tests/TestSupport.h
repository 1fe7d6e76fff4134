// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tw::test {

// The build tree's installation folder: template database and language files.
std::filesystem::path runtimeDir();
std::filesystem::path sourceDir();
// Real files written by other software; empty when the folder is absent.
std::filesystem::path corpusDir();
// True under CI (CI=true), where a missing corpus is a broken set-up, not a reason to skip.
bool underCi();
// True when a program of that name is on the PATH.
bool haveProgram(const char* name);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// A copy of the template cache database at path.
void copyTemplateDb(const std::filesystem::path& path);

// A fresh, empty folder for one test, removed afterwards.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path dir;
};

} // namespace tw::test

// A test that reads ../shared/corpus: skipped with its reason where the corpus
// is absent, failed under CI.
#define TW_REQUIRE_CORPUS()                                                                        \
    do {                                                                                           \
        if (::tw::test::corpusDir().empty()) {                                                     \
            if (::tw::test::underCi())                                                             \
                FAIL() << "the shared corpus of real files (../shared/corpus) is missing under CI"; \
            GTEST_SKIP() << "the shared corpus of real files (../shared/corpus) is not beside the repository"; \
        }                                                                                          \
    } while (0)

// A test that runs an outside program as an independent reader: skipped with
// its reason where the program is not installed.
#define TW_REQUIRE_PROGRAM(name)                                                                   \
    do {                                                                                           \
        if (!::tw::test::haveProgram(name))                                                        \
            GTEST_SKIP() << name << " is not installed (scripts/setup.sh installs it)";            \
    } while (0)
