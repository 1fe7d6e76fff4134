// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw {

// Plays sound files. The window implements it with its media library;
// batch mode and tests record the requests.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts playing the file and returns at once. May be called from any
    // thread; a file that cannot be played is silently skipped.
    virtual void playAsync(const std::string& path) = 0;
    // Plays the file to its end before returning (the alert page's test
    // button). False when the file could not be played.
    virtual bool playSync(const std::string& path) = 0;
};

// Plays nothing: for runs without a display.
class SilentSoundPlayer final : public SoundPlayer {
public:
    void playAsync(const std::string&) override {}
    bool playSync(const std::string&) override { return false; }
};

} // namespace tw
