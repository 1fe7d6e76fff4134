// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CGlobalData.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QLocale>
#include <QString>

#include <string>

namespace tw {

// The locale of the program's language (month and day names, first day of
// the week), whatever the system's locale says.
inline QLocale programLocale(const CGlobalData& global)
{
    return QLocale(QString::fromStdString(global.settings.language.empty() ? "cs" : global.settings.language));
}

// The language's date pattern ("%d.%m.%Y") as a Qt display format ("dd.MM.yyyy");
// letters other than the three fields are quoted so that Qt leaves them.
inline QString qtDateFormat(const std::string& pattern)
{
    QString format;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '%' && (next == 'd' || next == 'm' || next == 'Y')) {
            format += next == 'd' ? QStringLiteral("dd") : next == 'm' ? QStringLiteral("MM") : QStringLiteral("yyyy");
            ++i;
        } else if (QChar::fromLatin1(pattern[i]).isLetter() || pattern[i] == '\'') {
            format += QLatin1Char('\'') + QChar::fromLatin1(pattern[i]) + QLatin1Char('\'');
        } else {
            format += QChar::fromLatin1(pattern[i]);
        }
    }
    return format;
}

inline void showProgramDates(QCalendarWidget* calendar, const CGlobalData& global)
{
    calendar->setLocale(programLocale(global));
}

// A date field (and its pop-up calendar) writes dates as the language does.
inline void showProgramDates(QDateEdit* edit, const CGlobalData& global)
{
    edit->setLocale(programLocale(global));
    edit->setDisplayFormat(qtDateFormat(global.lang.datePattern()));
    if (edit->calendarPopup() && edit->calendarWidget())
        showProgramDates(edit->calendarWidget(), global);
}

} // namespace tw
