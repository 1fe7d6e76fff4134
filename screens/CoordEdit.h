// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/CoordEntry.h"
#include "geo/LatLon.h"

#include <QWidget>

#include <optional>

class QLineEdit;
class QPushButton;
class QToolButton;

namespace tw {

class CGlobalData;
class LanguageTable;
class Prompter;

// Latitude and longitude typed over masks of zeros in the user's style (the
// setting CoordStyle), each with a key that switches its hemisphere, and a
// key that pastes coordinates of any style from the clipboard.
class CoordEdit final : public QWidget {
    Q_OBJECT
public:
    CoordEdit(CGlobalData& global, QWidget* parent = nullptr);

    void setPosition(geo::LatLon position);
    // Nothing while a field holds no coordinate (minutes of 60, beyond 90°).
    std::optional<geo::LatLon> position() const;
    geo::CoordEntryStyle style() const { return m_style; }

    // Reads the clipboard; a text that is no position is reported with
    // language text 226 and the fields stay as they were.
    bool pasteFromClipboard();

    QLineEdit* latField() const { return m_lat; }
    QLineEdit* lonField() const { return m_lon; }
    QToolButton* latHemisphere() const { return m_latHemisphere; }
    QToolButton* lonHemisphere() const { return m_lonHemisphere; }
    QPushButton* pasteButton() const { return m_paste; }

signals:
    void edited();

private:
    void onClipboardChanged();

    // A pasted text that reads as no position is refused with a message.
    Prompter& m_prompter;
    const LanguageTable& m_lang;
    geo::CoordEntryStyle m_style;
    QLineEdit* m_lat = nullptr;
    QLineEdit* m_lon = nullptr;
    QToolButton* m_latHemisphere = nullptr;
    QToolButton* m_lonHemisphere = nullptr;
    QPushButton* m_paste = nullptr;
};

} // namespace tw
