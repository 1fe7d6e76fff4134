// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Notifier.h"

namespace tw {

class ConsoleNotifier final : public Notifier {
public:
    void stateChanged(Topic) override {}
    void downloadProgress(int) override {}
};

} // namespace tw
