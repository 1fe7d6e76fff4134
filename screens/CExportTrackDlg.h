// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gps/TrackExport.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace tw {

class CGlobalData;

// The export settings: target folder (typed or picked), the formats and
// whether a track is deleted after its export. OK stores them.
class CExportTrackDlg final : public QDialog {
    Q_OBJECT
public:
    CExportTrackDlg(CGlobalData& global, QWidget* parent = nullptr);

    void accept() override;
    void browse();
    // The options as the settings hold them.
    static TrackExportOptions options(const CGlobalData& global);

    QLineEdit* folderField() const { return m_folder; }
    QCheckBox* gpxBox() const { return m_gpx; }
    QCheckBox* kmlBox() const { return m_kml; }
    QCheckBox* pltBox() const { return m_plt; }
    QCheckBox* deleteBox() const { return m_delete; }

private:
    CGlobalData& m_global;
    QLineEdit* m_folder = nullptr;
    QCheckBox* m_gpx = nullptr;
    QCheckBox* m_kml = nullptr;
    QCheckBox* m_plt = nullptr;
    QCheckBox* m_delete = nullptr;
};

} // namespace tw
