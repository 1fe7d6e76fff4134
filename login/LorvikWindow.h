// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "login/HandoverFile.h"
#include "login/SignInAddress.h"

#include <QMainWindow>
#include <QUrl>

class QAction;
class QWebEngineProfile;
class QWebEngineView;

namespace lorvik {

// The one window: the relay's sign-in pages in a browser view, with Exit,
// Refresh and Stop. Nothing the pages leave behind (cookies, cache, history)
// is written to disk.
class LorvikWindow final : public QMainWindow {
    Q_OBJECT
public:
    // relay: the relay's folder address ("http://host/oa/"); invalid when none is set.
    LorvikWindow(QUrl relay, HandoverFile handover, QWidget* parent = nullptr);
    ~LorvikWindow() override;

private:
    void onLoadStarted();
    void onLoadFinished();

    QUrl m_relay;
    HandoverFile m_handover;
    QWebEngineProfile* m_profile = nullptr;
    QWebEngineView* m_view = nullptr;
    QAction* m_stop = nullptr;
};

} // namespace lorvik
