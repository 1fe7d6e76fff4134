// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CGlobalData.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace tw::bench {

// The program's global data over an empty cache database in a temporary
// folder, removed again at the end; prompts and notices are only recorded.
struct BenchProgram {
    explicit BenchProgram(const std::string& name)
    {
        std::string pattern = "/tmp/tarnwick-" + name + "-bench-XXXXXX";
        root = ::mkdtemp(pattern.data());
        Paths paths{root / "config", root / "data", TARNWICK_RUNTIME_DIR, root / "docs"};
        global = std::make_unique<CGlobalData>(paths, Services{prompter, notifier, keepAwake});
        const std::filesystem::path db = root / "cachedb.db3";
        std::filesystem::copy_file(std::filesystem::path(TARNWICK_RUNTIME_DIR) / "emptydb.db3", db);
        global->settings.dbFile = db.string();
        global->db.cacheDb.OpenFile(db.string());
        global->db.InitTagCategories();
    }
    ~BenchProgram()
    {
        global.reset();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    BenchProgram(const BenchProgram&) = delete;
    BenchProgram& operator=(const BenchProgram&) = delete;

    std::filesystem::path root;
    RecordingPrompter prompter;
    RecordingNotifier notifier;
    RecordingKeepAwake keepAwake;
    std::unique_ptr<CGlobalData> global;
};

} // namespace tw::bench
