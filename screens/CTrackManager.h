// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <thread>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tw {

class CGlobalData;

// The stored tracks, newest first, each with a mark: rename the chosen one,
// export or delete the marked ones, begin a new track, switch recording on
// and off. The export runs on a thread of its own; its outcome shows below
// the list.
class CTrackManager final : public QDialog {
    Q_OBJECT
public:
    enum Column { Mark = 0, Name = 1, Start = 2, Points = 3, TrackId = 4 };

    CTrackManager(CGlobalData& global, QWidget* parent = nullptr);
    ~CTrackManager() override;

    void refill();
    void setMarked(int trackId, bool marked);
    std::vector<int> markedIds() const;
    // Stores the name field's text for the chosen row.
    void renameChosen();
    // Asks for the export settings, then exports the marked tracks (2000).
    void exportMarked();
    void newTrack();     // 2001
    void deleteMarked(); // 2002: asks first
    void setRecording(bool on); // 2003

    bool exporting() const { return m_worker.joinable(); }
    QTreeWidget* list() const { return m_list; }
    QLineEdit* nameField() const { return m_name; }
    QLabel* resultLabel() const { return m_result; }

signals:
    void exportFinished();

private:
    QTreeWidgetItem* itemFor(int trackId) const;
    void setBusy(bool busy);

    CGlobalData& m_global;
    QTreeWidget* m_list = nullptr;
    QLineEdit* m_name = nullptr;
    QCheckBox* m_recording = nullptr;
    QLabel* m_result = nullptr;
    std::vector<QPushButton*> m_keys;
    std::thread m_worker;
};

} // namespace tw
