// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CExportTrackDlg.h"

#include "app/CGlobalData.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextCaption = 790;
constexpr int kTextFolder = 791;
constexpr int kTextBrowse = 792;
constexpr int kTextGpx = 793;
constexpr int kTextKml = 794;
constexpr int kTextPlt = 795;
constexpr int kTextDeleteAfter = 796;

} // namespace

CExportTrackDlg::CExportTrackDlg(CGlobalData& global, QWidget* parent) : QDialog(parent), m_global(global)
{
    setObjectName(QStringLiteral("exportTrackDialog"));
    setWindowTitle(langText(global, kTextCaption));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeDialogCaption(langText(global, kTextCaption), this));
    layout->addWidget(new QLabel(langText(global, kTextFolder), this));
    auto* row = new QHBoxLayout;
    m_folder = new QLineEdit(QString::fromStdString(global.settings.trackFile), this);
    m_folder->setMinimumHeight(touchPx(global));
    auto* browseKey = makeTouchButton(global, langText(global, kTextBrowse), this);
    row->addWidget(m_folder, 1);
    row->addWidget(browseKey);
    layout->addLayout(row);
    auto makeBox = [&](int text, int value) {
        auto* box = new QCheckBox(langText(global, text), this);
        box->setMinimumHeight(touchPx(global));
        box->setChecked(value != 0);
        layout->addWidget(box);
        return box;
    };
    m_gpx = makeBox(kTextGpx, global.settings.trackGPX);
    m_kml = makeBox(kTextKml, global.settings.trackKML);
    m_plt = makeBox(kTextPlt, global.settings.trackPLT);
    m_delete = makeBox(kTextDeleteAfter, global.settings.delTrack);
    layout->addStretch(1);
    layout->addWidget(makeDialogKeys(global, *this));
    connect(browseKey, &QPushButton::clicked, this, &CExportTrackDlg::browse);
}

void CExportTrackDlg::browse()
{
    const QString folder = QFileDialog::getExistingDirectory(this, langText(m_global, kTextFolder), m_folder->text());
    if (!folder.isEmpty())
        m_folder->setText(folder);
}

void CExportTrackDlg::accept()
{
    Settings& s = m_global.settings;
    s.trackFile = m_folder->text().trimmed().toStdString();
    s.trackGPX = m_gpx->isChecked() ? 1 : 0;
    s.trackKML = m_kml->isChecked() ? 1 : 0;
    s.trackPLT = m_plt->isChecked() ? 1 : 0;
    s.delTrack = m_delete->isChecked() ? 1 : 0;
    m_global.SaveSettings(SettingsGroup::All);
    QDialog::accept();
}

TrackExportOptions CExportTrackDlg::options(const CGlobalData& global)
{
    const Settings& s = global.settings;
    TrackExportOptions o;
    o.folder = s.trackFile;
    o.gpx = s.trackGPX != 0;
    o.kml = s.trackKML != 0;
    o.plt = s.trackPLT != 0;
    o.deleteAfter = s.delTrack != 0;
    return o;
}

} // namespace tw
