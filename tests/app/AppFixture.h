// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CGlobalData.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"

#include <memory>

namespace tw::test {

// A central data object over folders of its own: config, data, documents,
// and the build tree's installation folder.
class AppFixture : public TempDirTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Builds (again) the central object, as a new run of the program would.
    CGlobalData& restart();
    Paths paths() const;

    RecordingPrompter prompter;
    RecordingNotifier notifier;
    RecordingKeepAwake keepAwake;
    std::unique_ptr<CGlobalData> global;
};

} // namespace tw::test
