// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Settings.h"
#include "maps/MapConfig.h"

#include "screens/Screen.h"

#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QFontComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QTabWidget;
class QVBoxLayout;

namespace tw {

class CSettingsAlertPage;
class CSettingsGPSPage;
class OptionsPage;
class CoordEdit;
class MainWindow;

// The options: pages for the general, user, GPS, map, field-note, track
// export and alert settings. The pages edit a copy of the settings; the main
// key (OK) puts the copy in force and saves it, Back leaves everything as it
// was.
class COptionsScr final : public Screen {
    Q_OBJECT
public:
    explicit COptionsScr(CGlobalData& global, QWidget* parent = nullptr);
    ~COptionsScr() override;

    QString mainActionText() const override;
    void mainAction() override;
    bool leave() override;

    // The settings as the pages show them now.
    Settings edited() const;
    // Puts the pages' settings in force. False (and a message) when the
    // database file could be neither opened nor created: nothing changed.
    bool apply();

    enum Page { General, User, Gps, Map, FieldNotes, TrackExport, Alert };
    void showPage(Page page);
    QTabWidget* tabs() const { return m_tabs; }
    CSettingsGPSPage* gpsPage() const { return m_gps; }
    CSettingsAlertPage* alertPage() const { return m_alert; }
    CoordEdit* homeEdit() const { return m_home; }

signals:
    // The settings were put in force.
    void applied();

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildGeneral();
    QWidget* buildUser();
    QWidget* buildMap();
    QWidget* buildFieldNotes();
    QWidget* buildTrackExport();
    void fillMapTypes(int source);
    void addElevationFolder(OptionsPage& page);
    void addMapTheme(OptionsPage& page);
    void browseDatabase();

    Settings m_initial;
    QTabWidget* m_tabs = nullptr;
    // General.
    QLineEdit* m_dbFile = nullptr;
    QLineEdit* m_mapFolder = nullptr;
    QLineEdit* m_elevationFolder = nullptr;
    QLineEdit* m_mapTheme = nullptr;        // empty: the theme beside the maps, else the built-in
    QSpinBox* m_maxRows = nullptr;
    QLineEdit* m_gpsDeviceFolder = nullptr;
    QSpinBox* m_sendLogs = nullptr;
    QCheckBox* m_suspendKiller = nullptr;
    QCheckBox* m_runOnSuspend = nullptr;
    QComboBox* m_refresh = nullptr;
    QFontComboBox* m_font = nullptr;
    QComboBox* m_theme = nullptr;
    QCheckBox* m_dnlOnline = nullptr;
    // User.
    QLineEdit* m_nickname = nullptr;
    QLineEdit* m_password = nullptr;
    CoordEdit* m_home = nullptr;
    QComboBox* m_language = nullptr;
    QComboBox* m_units = nullptr;
    QComboBox* m_coordStyle = nullptr;
    QComboBox* m_sheetPaper = nullptr;
    // Map.
    QComboBox* m_mapSource = nullptr;
    QComboBox* m_mapType = nullptr;
    QLabel* m_overlaysCaption = nullptr;
    std::vector<QCheckBox*> m_overlays;
    // Field notes.
    QPlainTextEdit* m_template = nullptr;
    QDateEdit* m_since = nullptr;
    QSpinBox* m_findsExtra = nullptr;
    // Track export.
    QLineEdit* m_trackFolder = nullptr;
    QCheckBox* m_trackGpx = nullptr;
    QCheckBox* m_trackKml = nullptr;
    QCheckBox* m_trackPlt = nullptr;
    QCheckBox* m_delTrack = nullptr;

    CSettingsGPSPage* m_gps = nullptr;
    CSettingsAlertPage* m_alert = nullptr;
};

// The language text of the menu entry that opens the options.
inline constexpr int kOptionsMenuText = 660;

// Opens the options on top of the window's screens; confirming them
// refreshes the status line and the cache list.
void openOptionsScreen(MainWindow& window, CGlobalData& global);

} // namespace tw
