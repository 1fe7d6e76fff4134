// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CExportFNDlg.h"

#include "app/CGlobalData.h"
#include "app/FieldNotesJob.h"
#include "platform/Notifier.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"
#include "screens/Screen.h"
#include "screens/ShownDates.h"

#include <QApplication>
#include <QDateEdit>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tw {
namespace {

constexpr int kTextTitle = 545;
constexpr int kTextSince = 573;
constexpr int kTextFile = 574;
constexpr int kTextBrowse = 575;
constexpr int kTextTemplate = 576;
constexpr int kTextExtraFinds = 577;
constexpr int kTextTextFile = 578;

} // namespace

CExportFNDlg::CExportFNDlg(CGlobalData& global, QWidget* parent) : QDialog(parent), m_global(global)
{
    setObjectName(QStringLiteral("exportFieldNotes"));
    setWindowTitle(titleOf(langText(global, kTextTitle)));
    const int tap = touchPx(global);
    const Settings& s = global.settings;
    auto* layout = new QVBoxLayout(this);
    auto label = [&](int number) {
        auto* caption = new QLabel(langText(global, number), this);
        caption->setWordWrap(true);
        layout->addWidget(caption);
    };

    label(kTextSince);
    // The same span as the batch export: the last two days.
    m_since = new QDateEdit(QDate::currentDate().addDays(-2), this);
    m_since->setObjectName(QStringLiteral("sinceDate"));
    m_since->setCalendarPopup(true);
    showProgramDates(m_since, global);
    m_since->setMinimumHeight(tap);
    layout->addWidget(m_since);

    label(kTextFile);
    auto* fileRow = new QHBoxLayout;
    m_file = new QLineEdit(QString::fromStdString(s.fnFile), this);
    m_file->setObjectName(QStringLiteral("file"));
    m_file->setMinimumHeight(tap);
    auto* browse = new QPushButton(langText(global, kTextBrowse), this);
    browse->setObjectName(QStringLiteral("browse"));
    browse->setMinimumHeight(tap);
    connect(browse, &QPushButton::clicked, this, &CExportFNDlg::browse);
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    layout->addLayout(fileRow);

    label(kTextTemplate);
    m_template = new QLineEdit(QString::fromStdString(s.fnTemplate), this);
    m_template->setObjectName(QStringLiteral("template"));
    m_template->setMinimumHeight(tap);
    layout->addWidget(m_template);

    label(kTextExtraFinds);
    m_extra = new QSpinBox(this);
    m_extra->setObjectName(QStringLiteral("extraFinds"));
    m_extra->setRange(0, 999999);
    m_extra->setValue(s.findsCountExtra);
    m_extra->setMinimumHeight(tap);
    layout->addWidget(m_extra);

    layout->addStretch(1);
    addDialogKeys(*this, *layout, global);
}

void CExportFNDlg::browse()
{
    const QString kind = langText(m_global, kTextTextFile);
    QString start = m_file->text();
    if (start.isEmpty())
        start = QStringLiteral("fieldnotes.txt");
    QFileDialog dialog(this, kind, start, QStringLiteral("%1(*.txt)").arg(kind));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.selectFile(start);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_file->setText(dialog.selectedFiles().constFirst());
}

void CExportFNDlg::accept()
{
    Settings& s = m_global.settings;
    s.fnFile = m_file->text().trimmed().toStdString();
    s.fnTemplate = m_template->text().toStdString();
    s.findsCountExtra = m_extra->value();
    m_global.SaveSettings(SettingsGroup::FieldNotes);

    const QDateTime since(m_since->date(), QTime(0, 0));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written = exportFieldNotes(m_global, static_cast<std::time_t>(since.toSecsSinceEpoch()));
    QApplication::restoreOverrideCursor();
    m_global.notifier.stateChanged(Topic::Counters);
    if (written)
        QDialog::accept();
}

} // namespace tw
