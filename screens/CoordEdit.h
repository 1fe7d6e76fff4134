// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/CoordEntry.h"
#include "geo/LatLon.h"

#include <QDialog>
#include <QWidget>

#include <optional>

class QLineEdit;
class QPushButton;
class QToolButton;

namespace tw {

class CGlobalData;

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

    CGlobalData& m_global;
    geo::CoordEntryStyle m_style;
    QLineEdit* m_lat = nullptr;
    QLineEdit* m_lon = nullptr;
    QToolButton* m_latHemisphere = nullptr;
    QToolButton* m_lonHemisphere = nullptr;
    QPushButton* m_paste = nullptr;
};

// A dialog that asks for one position in the coordinate fields.
class CoordEntryDialog final : public QDialog {
    Q_OBJECT
public:
    CoordEntryDialog(CGlobalData& global, geo::LatLon initial, QWidget* parent = nullptr);

    CoordEdit* coordEdit() const { return m_edit; }
    // The confirmed position (valid after the dialog was accepted).
    geo::LatLon result() const { return m_result; }
    void accept() override;

    // Places and runs the dialog over the window; nothing when cancelled.
    static std::optional<geo::LatLon> ask(QWidget* window, CGlobalData& global, geo::LatLon initial);

private:
    CGlobalData& m_global;
    CoordEdit* m_edit = nullptr;
    geo::LatLon m_result;
};

} // namespace tw
