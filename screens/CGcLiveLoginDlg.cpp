// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CGcLiveLoginDlg.h"

#include "app/CGlobalData.h"
#include "screens/DialogKeys.h"
#include "screens/DialogPlacement.h"
#include "screens/LangText.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <filesystem>

namespace tw {
namespace {

constexpr int kTextSignedIn = 324;
constexpr int kTextTitle = 870;
constexpr int kTextInstructions = 871;
constexpr int kTextAsking = 872;
constexpr int kTextNoRelay = 873;
constexpr int kTextNoTicket = 874;
constexpr int kTextNoBrowser = 875;

// lorvik lies in the installation folder, or (an installed program) beside
// the running one.
QString browserProgram(const CGlobalData& global)
{
    const std::filesystem::path inInstall = global.GetInstallDir() / "lorvik";
    if (std::filesystem::exists(inInstall))
        return QString::fromStdString(inInstall.string());
    return QApplication::applicationDirPath() + QStringLiteral("/lorvik");
}

} // namespace

CGcLiveLoginDlg::CGcLiveLoginDlg(CGlobalData& global, QWidget* parent) : QDialog(parent), m_global(global)
{
    setObjectName(QStringLiteral("liveLoginDialog"));
    setWindowTitle(langText(global, kTextTitle));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(makeDialogCaption(windowTitle(), this));
    auto* instructions = new QLabel(langText(global, kTextInstructions), this);
    instructions->setWordWrap(true);
    layout->addWidget(instructions);
    m_status = new QLabel(langText(global, kTextAsking), this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    layout->addStretch(1);
    QDialogButtonBox* keys = makeDialogKeys(global, *this);
    m_ok = keys->findChild<QPushButton*>(QStringLiteral("ok"));
    m_cancel = keys->findChild<QPushButton*>(QStringLiteral("cancel"));
    m_ok->setText(langText(global, kTextSignedIn));
    m_ok->setEnabled(false);
    layout->addWidget(keys);
}

CGcLiveLoginDlg::~CGcLiveLoginDlg()
{
    if (m_worker.joinable())
        m_worker.join();
}

void CGcLiveLoginDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        start();
    }
}

void CGcLiveLoginDlg::start()
{
    // Empty from now until OK: a Live API call in between starts a new login.
    m_global.settings.accessToken.clear();
    const std::string relay = net::relayEndpoint(m_global.settings.relayUrl);
    m_global.Log("Login: ", relay.empty() ? "no sign-in service is set up" : "asking for a ticket");
    m_fetching = true;
    net::CNetClient& client = m_global.netClient;
    const std::filesystem::path handover = m_global.handoverPath();
    m_worker = std::thread([&client, relay, handover, this] {
        const net::LoginTicket ticket = net::prepareLogin(client, relay, handover);
        // The dialog waits for this thread before it goes, so it is still
        // there when the result arrives.
        QMetaObject::invokeMethod(
            this, [this, ticket, relay] { ticketReady(ticket, relay); }, Qt::QueuedConnection);
    });
}

void CGcLiveLoginDlg::ticketReady(const net::LoginTicket& ticket, const std::string& relay)
{
    m_worker.join();
    m_fetching = false;
    if (m_pendingResult >= 0) {
        QDialog::done(m_pendingResult);
        return;
    }
    if (relay.empty()) {
        m_status->setText(langText(m_global, kTextNoRelay));
        return;
    }
    if (ticket.ticket.empty()) {
        // Without a ticket the sign-in page can only refuse the browser.
        m_status->setText(langText(m_global, kTextNoTicket));
        m_global.Log("Login: ", "the relay gave no ticket");
        return;
    }
    if (!startBrowser(relay)) {
        m_status->setText(langText(m_global, kTextNoBrowser));
        return;
    }
    m_status->setText(QString());
    m_global.Log("Login: ", "the login browser was started");
    QTimer::singleShot(1000, this, [this] { m_ok->setEnabled(true); });
}

bool CGcLiveLoginDlg::startBrowser(const std::string& relay)
{
    // No shell: the program path and nothing else. It finds the relay and
    // the hand-over file through its environment.
    QProcess browser;
    browser.setProgram(browserProgram(m_global));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TARNWICK_CONFIG_DIR"), QString::fromStdString(m_global.paths.config.string()));
    environment.insert(QStringLiteral("TARNWICK_RELAY_URL"), QString::fromStdString(relay));
    browser.setProcessEnvironment(environment);
    return browser.startDetached(&m_browserPid);
}

void CGcLiveLoginDlg::accept()
{
    if (m_fetching)
        return;
    m_global.LoadSettings(SettingsGroup::Online);
    m_global.Log("Login: ", m_global.settings.accessToken.empty() ? "no token was stored" : "a token was read");
    QDialog::accept();
}

void CGcLiveLoginDlg::reject()
{
    finishWhenIdle(QDialog::Rejected);
}

void CGcLiveLoginDlg::finishWhenIdle(int result)
{
    // Never closed under a running request: it ends within the client's
    // time-outs, and the dialog goes then.
    if (m_fetching) {
        m_pendingResult = result;
        m_cancel->setEnabled(false);
        return;
    }
    QDialog::done(result);
}

bool runLiveLogin(QWidget* window, CGlobalData& global)
{
    CGcLiveLoginDlg dialog(global, window);
    return execDialog(dialog, window) == QDialog::Accepted && !global.settings.accessToken.empty();
}

} // namespace tw
