// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/QtStartupUi.h"

#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "screens/QtPrompter.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace tw {

QtStartupUi::QtStartupUi(CGlobalData& global, QtNotifier& notifier, QtPrompter& prompter)
    : m_global(global), m_notifier(notifier), m_prompter(prompter)
{
}

QtStartupUi::~QtStartupUi() = default;

void QtStartupUi::showProgress(const std::string& text)
{
    if (!m_progress) {
        m_progress = std::make_unique<QWidget>(nullptr, Qt::SplashScreen | Qt::WindowStaysOnTopHint);
        auto* layout = new QVBoxLayout(m_progress.get());
        auto* title = new QLabel(QStringLiteral("Tarnwick"), m_progress.get());
        QFont big = title->font();
        big.setPointSizeF(big.pointSizeF() * 2);
        big.setBold(true);
        title->setFont(big);
        title->setAlignment(Qt::AlignCenter);
        layout->addWidget(title);
        m_progressLabel = new QLabel(m_progress.get());
        m_progressLabel->setAlignment(Qt::AlignCenter);
        layout->addWidget(m_progressLabel);
        m_progress->resize(320, 160);
        m_progress->show();
    }
    m_progressLabel->setText(QString::fromStdString(text));
    QApplication::processEvents();
}

void QtStartupUi::closeProgress()
{
    m_progress.reset();
    m_progressLabel = nullptr;
}

bool QtStartupUi::createMainWindow()
{
    m_mainWindow = std::make_unique<MainWindow>(m_global, m_notifier);
    m_prompter.setParentWidget(m_mainWindow.get());
    m_mainWindow->show();
    m_mainWindow->activateWindow();
    return true;
}

} // namespace tw
