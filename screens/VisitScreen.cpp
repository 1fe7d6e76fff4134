// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/VisitScreen.h"

#include "app/CGlobalData.h"
#include "app/CacheActions.h"
#include "app/FieldNotesJob.h"
#include "platform/Notifier.h"
#include "platform/Prompter.h"
#include "platform/Text.h"
#include "screens/LangText.h"
#include "screens/ShownDates.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <cstdio>

namespace tw {
namespace {

constexpr int kTextLogType = 564;
constexpr int kTextWhen = 565;
constexpr int kTextNoteText = 566;
constexpr int kTextSave = 567;
constexpr int kTextRecount = 568;
constexpr int kTextUseTemplate = 569;
constexpr int kTextDelete = 570;
constexpr int kTextDeleteQuestion = 571;
constexpr int kTextFinds = 572;
// The names of the log types as the user reads them; the note and the
// field-notes file keep the English names.
constexpr int kTextLogTypes = 1020; // 1020 to 1034

// The log types in the order of their numbers, as the note stores them.
constexpr int kLogTypeCount = 15;

QDate dateOf(int ymd)
{
    return QDate(ymd / 10000, ymd / 100 % 100, ymd % 100);
}

QTime timeOf(int hhmm)
{
    return QTime(hhmm / 100, hhmm % 100);
}

} // namespace

VisitScreen::VisitScreen(CGlobalData& global, const std::string& code, QWidget* parent) : Screen(global, parent)
{
    setObjectName(QStringLiteral("visitScreen"));
    if (auto cache = loadCacheForEditing(global, code)) {
        m_cache = std::move(*cache);
        m_loaded = true;
    }
    const int tap = touchPx(global);
    auto* layout = new QVBoxLayout(this);

    auto* title = new QLabel(QStringLiteral("<b>%1</b> %2")
                                 .arg(QString::fromStdString(m_cache.name).toHtmlEscaped(),
                                      QString::fromStdString(m_cache.code).toHtmlEscaped()),
                             this);
    title->setWordWrap(true);
    layout->addWidget(title);

    layout->addWidget(new QLabel(langText(global, kTextLogType), this));
    m_type = new QComboBox(this);
    m_type->setObjectName(QStringLiteral("logType"));
    m_type->setMinimumHeight(tap);
    for (int type = 0; type < kLogTypeCount; ++type)
        m_type->addItem(langText(global, kTextLogTypes + type), type);
    layout->addWidget(m_type);

    layout->addWidget(new QLabel(langText(global, kTextWhen), this));
    auto* when = new QHBoxLayout;
    m_date = new QDateEdit(this);
    m_date->setObjectName(QStringLiteral("visitDate"));
    m_date->setCalendarPopup(true);
    showProgramDates(m_date, global);
    m_date->setMinimumHeight(tap);
    m_time = new QTimeEdit(this);
    m_time->setObjectName(QStringLiteral("visitTime"));
    m_time->setDisplayFormat(QStringLiteral("HH:mm"));
    m_time->setMinimumHeight(tap);
    when->addWidget(m_date, 3);
    when->addWidget(m_time, 2);
    layout->addLayout(when);

    layout->addWidget(new QLabel(langText(global, kTextNoteText), this));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("noteText"));
    layout->addWidget(m_text, 1);

    m_finds = new QLabel(this);
    m_finds->setObjectName(QStringLiteral("finds"));
    layout->addWidget(m_finds);

    showNote();
    showFinds(global.settings.foundCount + global.settings.findsCountExtra);
    setEnabled(m_loaded);
}

void VisitScreen::showNote()
{
    QDateTime when = QDateTime::currentDateTime();
    int type = LogType::FoundIt;
    const bool hasNote = m_cache.fieldNoteTimeTag != 0 || !m_cache.fieldNoteTime.empty();
    if (hasNote) {
        type = m_cache.fieldNoteType;
        int ymd = 0;
        int hhmm = 0;
        if (m_cache.found > 0) {
            ymd = m_cache.found;
            hhmm = m_cache.foundTime;
        } else if (std::sscanf(m_cache.fieldNoteTime.c_str(), "%d-%d", &ymd, &hhmm) != 2) {
            ymd = hhmm = 0;
        }
        const QDate date = dateOf(ymd);
        if (date.isValid())
            when = QDateTime(date, timeOf(hhmm).isValid() ? timeOf(hhmm) : QTime(0, 0));
    } else if (m_cache.found > 0) {
        when = QDateTime(dateOf(m_cache.found), timeOf(m_cache.foundTime));
    }
    m_type->setCurrentIndex(std::max(0, m_type->findData(type)));
    m_date->setDate(when.date());
    m_time->setTime(when.time());
    // Stored with CR LF line ends; the editor wants LF.
    m_text->setPlainText(QString::fromStdString(text::replaceAll(m_cache.fieldNoteText, "\r\n", "\n")));
}

void VisitScreen::showFinds(int finds)
{
    m_finds->setText(langText(m_global, kTextFinds).replace(QStringLiteral("%d"), QString::number(finds)));
}

QString VisitScreen::mainActionText() const
{
    return langText(m_global, kTextSave);
}

void VisitScreen::mainAction()
{
    if (save())
        emit closeRequested();
}

void VisitScreen::fillMenu(QMenu& menu)
{
    menu.addAction(langText(m_global, kTextRecount), this, &VisitScreen::recount);
    QAction* useTemplate = menu.addAction(langText(m_global, kTextUseTemplate));
    useTemplate->setCheckable(true);
    useTemplate->setChecked(m_global.settings.webLogUseFNT != 0);
    connect(useTemplate, &QAction::toggled, this, &VisitScreen::setUseTemplate);
    menu.addSeparator();
    QAction* remove = menu.addAction(langText(m_global, kTextDelete), this, &VisitScreen::deleteNote);
    remove->setEnabled(m_loaded);
}

bool VisitScreen::save()
{
    if (!m_loaded)
        return false;
    const int type = m_type->currentData().toInt();
    const QDateTime when(m_date->date(), QTime(m_time->time().hour(), m_time->time().minute()));
    // The editor gives LF; notes keep CR LF, which the tag stores as "//".
    const std::string note = text::storedToShown(m_text->toPlainText().toStdString());
    const bool ok = saveFieldNote(m_global, m_cache, type, note, static_cast<std::time_t>(when.toSecsSinceEpoch()));
    showFinds(m_global.settings.foundCount + m_global.settings.findsCountExtra);
    m_global.notifier.stateChanged(Topic::Counters);
    return ok;
}

int VisitScreen::recount()
{
    const int finds = recountFinds(m_global);
    showFinds(finds);
    m_global.notifier.stateChanged(Topic::Counters);
    return finds;
}

void VisitScreen::setUseTemplate(bool on)
{
    m_global.settings.webLogUseFNT = on ? 1 : 0;
    m_global.SaveSettings(SettingsGroup::FieldNotes);
}

bool VisitScreen::deleteNote()
{
    if (!m_loaded)
        return false;
    const QString question = langText(m_global, kTextDeleteQuestion)
                                 .replace(QStringLiteral("%s"),
                                          QString::fromStdString(m_cache.name + " (" + m_cache.code + ")"));
    if (!m_global.prompter.ask(question.toStdString(), false))
        return false;
    const bool ok = deleteFieldNote(m_global, m_cache);
    showNote();
    showFinds(m_global.settings.foundCount + m_global.settings.findsCountExtra);
    m_global.notifier.stateChanged(Topic::Counters);
    return ok;
}

} // namespace tw
