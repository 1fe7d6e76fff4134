// SPDX-License-Identifier: GPL-3.0-or-later
#include "login/LorvikWindow.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace lorvik {

LorvikWindow::LorvikWindow(QUrl relay, HandoverFile handover, QWidget* parent)
    : QMainWindow(parent), m_relay(std::move(relay)), m_handover(std::move(handover))
{
    setWindowTitle(QStringLiteral("Lorvik"));

    // A profile without a storage name keeps everything in memory.
    m_profile = new QWebEngineProfile(this);
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_view = new QWebEngineView(this);
    m_view->setPage(new QWebEnginePage(m_profile, m_view));
    setCentralWidget(m_view);

    QAction* exitAction = menuBar()->addAction(QStringLiteral("Exit"));
    connect(exitAction, &QAction::triggered, this, &QWidget::close);
    QMenu* menu = menuBar()->addMenu(QStringLiteral("Menu"));
    QAction* refresh = menu->addAction(QStringLiteral("Refresh"));
    connect(refresh, &QAction::triggered, m_view, &QWebEngineView::reload);
    m_stop = menu->addAction(QStringLiteral("Stop"));
    m_stop->setEnabled(false);
    connect(m_stop, &QAction::triggered, m_view, &QWebEngineView::stop);

    connect(m_view, &QWebEngineView::loadStarted, this, &LorvikWindow::onLoadStarted);
    connect(m_view, &QWebEngineView::loadFinished, this, &LorvikWindow::onLoadFinished);
    connect(m_view, &QWebEngineView::titleChanged, this, &QWidget::setWindowTitle);

    if (m_relay.isValid() && !m_relay.isRelative())
        m_view->load(signInAddress(m_relay, m_handover));
    else
        m_view->setHtml(QStringLiteral("<html><head><title>Lorvik</title></head><body><p>"
                                       "No sign-in service is set up (TARNWICK_RELAY_URL).</p></body></html>"));
}

LorvikWindow::~LorvikWindow()
{
    // The page goes before the profile it was made with.
    delete m_view;
}

void LorvikWindow::onLoadStarted()
{
    setWindowTitle(QStringLiteral("Untitled"));
    m_stop->setEnabled(true);
}

void LorvikWindow::onLoadFinished()
{
    m_stop->setEnabled(false);
    const auto token = tokenOfDonePage(m_view->url(), m_relay);
    if (!token)
        return;
    // The token is stored as the address carries it; the main program
    // undoes its scrambling. A failed write still ends the sign-in.
    m_handover.setValue("twtk", token->toStdString());
    close();
}

} // namespace lorvik
