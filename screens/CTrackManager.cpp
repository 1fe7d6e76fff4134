// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CTrackManager.h"

#include "app/CGlobalData.h"
#include "geo/CoordFormat.h"
#include "gps/CTrackLogger.h"
#include "gps/TrackExport.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "screens/CExportTrackDlg.h"
#include "screens/DialogKeys.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"
#include "screens/Screen.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScroller>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextDeleteCurrent = 140;
constexpr int kTextDeleteOthers = 369;
constexpr int kTextNewTrack = 32831;
constexpr int kTextBack = 424;
constexpr int kTextCaption = 780;
constexpr int kTextColumns = 782; // 782 to 785
constexpr int kTextRename = 786;
constexpr int kTextExport = 787;
constexpr int kTextDelete = 788;
constexpr int kTextRecording = 789;
constexpr int kTextExported = 797;
constexpr int kTextExportIncomplete = 798;
constexpr int kTextNameLabel = 800;
constexpr int kTextMarkFirst = 801;

QString pad(int v, int width)
{
    return QStringLiteral("%1").arg(v, width, 10, QLatin1Char('0'));
}

// "track_20110305_140709" for a track the user has not named.
QString shownName(const TrackListEntry& t)
{
    if (!t.name.empty())
        return QString::fromStdString(t.name);
    return QStringLiteral("track_%1_%2").arg(pad(t.date, 8), pad(t.time, 6));
}

// "05.03.2011 14:07", the date as the language writes it.
QString shownStart(const TrackListEntry& t, const std::string& datePattern)
{
    return QStringLiteral("%1 %2:%3")
        .arg(QString::fromStdString(geo::formatDate(t.date, datePattern)), pad(t.time / 10000, 2),
             pad(t.time / 100 % 100, 2));
}

} // namespace

CTrackManager::CTrackManager(CGlobalData& global, QWidget* parent) : QDialog(parent), m_global(global)
{
    setObjectName(QStringLiteral("trackManager"));
    setWindowTitle(langText(global, kTextCaption));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeDialogCaption(langText(global, kTextCaption), this));

    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(5);
    m_list->setHeaderLabels({QString(), langText(global, kTextColumns), langText(global, kTextColumns + 1),
                             langText(global, kTextColumns + 2), langText(global, kTextColumns + 3)});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(Name, QHeaderView::Stretch);
    m_list->setStyleSheet(QStringLiteral("QTreeView::item { min-height: %1px; }"
                                           "QTreeView::indicator { width: %2px; height: %2px; }")
                            .arg(touchPx(global))
                            .arg(touchPx(global) * 2 / 3));
    QScroller::grabGesture(m_list->viewport(), QScroller::LeftMouseButtonGesture);
    layout->addWidget(m_list, 1);
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item)
            m_name->setText(item->text(Name));
    });

    layout->addWidget(new QLabel(langText(global, kTextNameLabel), this));
    auto* nameRow = new QHBoxLayout;
    m_name = new QLineEdit(this);
    m_name->setMinimumHeight(touchPx(global));
    auto* renameKey = makeTouchButton(global, langText(global, kTextRename), this);
    nameRow->addWidget(m_name, 1);
    nameRow->addWidget(renameKey);
    layout->addLayout(nameRow);

    auto* keys = new QGridLayout;
    auto* exportKey = makeTouchButton(global, langText(global, kTextExport), this);
    auto* newKey = makeTouchButton(global, langText(global, kTextNewTrack), this);
    auto* deleteKey = makeTouchButton(global, langText(global, kTextDelete), this);
    exportKey->setObjectName(QStringLiteral("exportTracks"));
    newKey->setObjectName(QStringLiteral("newTrack"));
    deleteKey->setObjectName(QStringLiteral("deleteTracks"));
    keys->addWidget(exportKey, 0, 0);
    keys->addWidget(newKey, 0, 1);
    keys->addWidget(deleteKey, 0, 2);
    layout->addLayout(keys);
    m_keys = {renameKey, exportKey, newKey, deleteKey};

    m_recording = new QCheckBox(langText(global, kTextRecording), this);
    m_recording->setMinimumHeight(touchPx(global));
    m_recording->setChecked(global.settings.saveTrackLog != 0);
    layout->addWidget(m_recording);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("exportResult"));
    m_result->setWordWrap(true);
    layout->addWidget(m_result);

    auto* close = new QDialogButtonBox(this);
    QPushButton* back = close->addButton(langText(global, kTextBack), QDialogButtonBox::RejectRole);
    back->setMinimumHeight(touchPx(global));
    connect(close, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(close);

    connect(renameKey, &QPushButton::clicked, this, &CTrackManager::renameChosen);
    connect(exportKey, &QPushButton::clicked, this, &CTrackManager::exportMarked);
    connect(newKey, &QPushButton::clicked, this, &CTrackManager::newTrack);
    connect(deleteKey, &QPushButton::clicked, this, &CTrackManager::deleteMarked);
    connect(m_recording, &QCheckBox::toggled, this, &CTrackManager::setRecording);
    refill();
}

CTrackManager::~CTrackManager()
{
    if (m_worker.joinable())
        m_worker.join();
}

void CTrackManager::refill()
{
    const std::vector<int> marked = markedIds();
    const int chosen = m_list->currentItem() ? m_list->currentItem()->text(TrackId).toInt() : 0;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<TrackListEntry> tracks = m_global.gpsServices.trackLogger->listTracks();
    QApplication::restoreOverrideCursor();
    m_list->clear();
    for (const TrackListEntry& t : tracks) {
        auto* item = new QTreeWidgetItem(m_list);
        const bool wasMarked = std::find(marked.begin(), marked.end(), t.trackId) != marked.end();
        item->setCheckState(Mark, wasMarked ? Qt::Checked : Qt::Unchecked);
        item->setText(Name, shownName(t));
        item->setText(Start, shownStart(t, m_global.lang.datePattern()));
        item->setText(Points, QString::number(t.pointCount));
        item->setText(TrackId, QString::number(t.trackId));
        if (t.trackId == chosen)
            m_list->setCurrentItem(item);
    }
}

QTreeWidgetItem* CTrackManager::itemFor(int trackId) const
{
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->text(TrackId).toInt() == trackId)
            return m_list->topLevelItem(i);
    return nullptr;
}

void CTrackManager::setMarked(int trackId, bool marked)
{
    if (QTreeWidgetItem* item = itemFor(trackId))
        item->setCheckState(Mark, marked ? Qt::Checked : Qt::Unchecked);
}

std::vector<int> CTrackManager::markedIds() const
{
    std::vector<int> ids;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        if (m_list->topLevelItem(i)->checkState(Mark) == Qt::Checked)
            ids.push_back(m_list->topLevelItem(i)->text(TrackId).toInt());
    return ids;
}

void CTrackManager::renameChosen()
{
    QTreeWidgetItem* item = m_list->currentItem();
    const QString name = m_name->text().trimmed();
    if (!item || name.isEmpty())
        return;
    if (m_global.gpsServices.trackLogger->renameTrack(item->text(TrackId).toInt(), name.toStdString()))
        item->setText(Name, name);
}

void CTrackManager::exportMarked()
{
    std::vector<int> ids;
    for (const int id : markedIds())
        if (id > 0)
            ids.push_back(id);
    if (ids.empty()) {
        m_result->setText(langText(m_global, kTextMarkFirst));
        return;
    }
    CExportTrackDlg dialog(m_global, this);
    if (execDialog(dialog, this) != QDialog::Accepted)
        return;
    const TrackExportOptions options = CExportTrackDlg::options(m_global);
    if (m_worker.joinable())
        m_worker.join();
    setBusy(true);
    // The export flushes the track first, which may wait for the receiver's
    // thread: it runs beside the window.
    m_worker = std::thread([this, ids, options] {
        const std::vector<TrackExportResult> results = exportTracks(*m_global.gpsServices.trackLogger, ids, options);
        int files = 0;
        bool complete = true;
        for (const TrackExportResult& r : results) {
            files += static_cast<int>(r.written.size());
            complete = complete && r.complete;
        }
        const QString folder = QString::fromStdString(options.folder.string());
        QMetaObject::invokeMethod(
            this,
            [this, files, complete, folder] {
                m_worker.join();
                setBusy(false);
                const std::string done = text::replaceAll(
                    text::replaceAll(m_global.text(kTextExported), "%d", std::to_string(files)), "%s",
                    folder.toStdString());
                m_result->setText(complete ? QString::fromStdString(done) : langText(m_global, kTextExportIncomplete));
                refill();
                emit exportFinished();
            },
            Qt::QueuedConnection);
    });
}

void CTrackManager::setBusy(bool busy)
{
    for (QPushButton* key : m_keys)
        key->setEnabled(!busy);
    if (busy)
        m_result->clear();
}

void CTrackManager::newTrack()
{
    m_global.gpsServices.trackLogger->newTrack();
    refill();
}

void CTrackManager::deleteMarked()
{
    const std::vector<int> ids = markedIds();
    if (ids.empty()) {
        m_result->setText(langText(m_global, kTextMarkFirst));
        return;
    }
    const bool newestMarked = m_list->topLevelItemCount() > 0
                              && m_list->topLevelItem(0)->checkState(Mark) == Qt::Checked;
    if (!m_global.prompter.ask(m_global.text(newestMarked ? kTextDeleteCurrent : kTextDeleteOthers), false))
        return;
    for (const int id : ids)
        if (id > 0)
            m_global.gpsServices.trackLogger->deleteTrack(id);
    refill();
}

void CTrackManager::setRecording(bool on)
{
    m_global.settings.saveTrackLog = on ? 1 : 0;
    m_global.gpsServices.trackLogger->setRecording(on);
    m_global.SaveSettings(SettingsGroup::Gps);
    if (m_recording->isChecked() != on)
        m_recording->setChecked(on);
}

} // namespace tw
