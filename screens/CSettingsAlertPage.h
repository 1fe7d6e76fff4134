// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Settings.h"
#include "screens/OptionsPage.h"

#include <atomic>
#include <thread>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace tw {

class SoundPlayer;

// The alert page of the options: on or off, the distance (metres or feet by
// the units), the sound file from the shipped sounds or any file chosen,
// and a key that plays it. The sound plays on a worker while the key is
// disabled, so the window goes on.
class CSettingsAlertPage final : public OptionsPage {
    Q_OBJECT
public:
    CSettingsAlertPage(CGlobalData& global, SoundPlayer& player, QWidget* parent = nullptr);
    ~CSettingsAlertPage() override;

    void load(const Settings& settings);
    void store(Settings& settings) const;
    // The unit of the distance follows the user page.
    void setMetric(bool metric);

    void testSound();
    bool playing() const { return m_worker.joinable() && !m_done; }

    QComboBox* soundList() const { return m_sound; }
    QPushButton* testButton() const { return m_test; }

private:
    void chooseSound(const QString& path);
    void browse();

    SoundPlayer& m_player;
    QCheckBox* m_on = nullptr;
    QLabel* m_distanceCaption = nullptr;
    QSpinBox* m_distance = nullptr;
    QComboBox* m_sound = nullptr;
    QPushButton* m_test = nullptr;
    std::thread m_worker;
    std::atomic<bool> m_done{true};
};

} // namespace tw
