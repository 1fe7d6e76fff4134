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
