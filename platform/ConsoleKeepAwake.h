// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeepAwake.h"

namespace tw {

// Nothing to keep awake without a display.
class ConsoleKeepAwake final : public KeepAwake {
public:
    bool acquire() override { return true; }
    void release() override {}
    void setUnattended(bool) override {}
};

} // namespace tw
