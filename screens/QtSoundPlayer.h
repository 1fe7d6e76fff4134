// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SoundPlayer.h"

#include <QObject>
#include <QString>

class QSoundEffect;

namespace tw {

// Plays WAV files with Qt's sound effects on the window thread. playAsync
// may be called from any thread (the proximity alert calls it from the
// receiver's): the request is posted and the caller goes on. Without an
// audio device, or with a file that does not play, nothing sounds and
// nothing is reported.
class QtSoundPlayer final : public QObject, public SoundPlayer {
    Q_OBJECT
public:
    explicit QtSoundPlayer(QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    void playAsync(const std::string& path) override;
    // Window thread only: keeps the window's events going while the sound
    // plays, at most kSyncLimitMs.
    bool playSync(const std::string& path) override;

    static constexpr int kSyncLimitMs = 10000;

private:
    bool prepare(const QString& path);

    QSoundEffect* m_effect = nullptr;
};

} // namespace tw
