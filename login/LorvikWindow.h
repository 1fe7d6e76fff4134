// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "login/HandoverFile.h"

#include <QMainWindow>
#include <QUrl>

#include <optional>

class QAction;
class QWebEngineProfile;
class QWebEngineView;

namespace lorvik {

// The relay's sign-in address for the stored ticket and signature:
// <relay>login.php?a=<twa>&b=<twb>; a value that cannot be read is left out.
QUrl signInAddress(const QUrl& relay, const HandoverFile& handover);

// The token a finished sign-in page carries: the text after the first "=" of
// its address, at most 99 characters. Only an address that contains "done"
// and comes from the relay's own scheme, host and port counts.
std::optional<QString> tokenOfDonePage(const QUrl& page, const QUrl& relay);

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
