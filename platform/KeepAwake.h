// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tw {

// Keeps the display lit and the machine from idling while navigating.
class KeepAwake {
public:
    virtual ~KeepAwake() = default;
    // Keeps the display on and resets the idle timer periodically until
    // release(). Returns false when the system refused.
    virtual bool acquire() = 0;
    virtual void release() = 0;
    // Keep running while the device would otherwise suspend.
    virtual void setUnattended(bool on) = 0;
};

} // namespace tw
