// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CSettingsGPSPage.h"

#include "app/CGlobalData.h"
#include "gps/GpsReceiver.h"
#include "gps/NmeaPort.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tw {
namespace {

constexpr int kTextPort = 691;
constexpr int kTextTypedPorts = 692;
constexpr int kTextSpeed = 693;
constexpr int kTextDetect = 694;
constexpr int kTextTrying = 695;
constexpr int kTextFound = 696;
constexpr int kTextNothing = 697;
constexpr int kTextAutoStart = 698;
constexpr int kTextSaveTrack = 699;
constexpr int kTextCancel = 506;

// Offered besides the ports found: a gpsd service on this machine.
constexpr const char* kLocalGpsd = "gpsd://localhost:2947";

QString portText(const CGlobalData& global, int number, const std::string& port, unsigned speed)
{
    return langText(global, number)
        .replace(QLatin1String("%s"), QString::fromStdString(port))
        .replace(QLatin1String("%d"), QString::number(speed));
}

} // namespace

CSettingsGPSPage::CSettingsGPSPage(CGlobalData& global, QWidget* parent) : OptionsPage(global, parent)
{
    setObjectName(QStringLiteral("gpsPage"));
    m_port = new QComboBox;
    m_port->setObjectName(QStringLiteral("port"));
    m_port->setEditable(true);
    m_port->setInsertPolicy(QComboBox::NoInsert);
    addField(langText(global, kTextPort), m_port);
    addNote(langText(global, kTextTypedPorts));

    m_speed = new QComboBox;
    m_speed->setObjectName(QStringLiteral("speed"));
    for (const unsigned speed : kGpsSpeeds)
        m_speed->addItem(QString::number(speed), speed);
    addField(langText(global, kTextSpeed), m_speed);

    m_detect = makeTouchButton(global, langText(global, kTextDetect), this);
    m_detect->setObjectName(QStringLiteral("detect"));
    connect(m_detect, &QPushButton::clicked, this, [this] { detecting() ? cancelDetect() : startDetect(); });
    addWidget(m_detect);
    m_status = new QLabel;
    m_status->setObjectName(QStringLiteral("detectStatus"));
    m_status->setWordWrap(true);
    addWidget(m_status);

    m_autoStart = new QCheckBox(langText(global, kTextAutoStart));
    m_autoStart->setObjectName(QStringLiteral("autoStart"));
    addWidget(m_autoStart);
    m_saveTrack = new QCheckBox(langText(global, kTextSaveTrack));
    m_saveTrack->setObjectName(QStringLiteral("saveTrack"));
    addWidget(m_saveTrack);
    finish();

    const GpsReceiver& gps = *global.gpsServices.gps;
    m_wasRunning = gps.isRunning();
    m_wasPort = gps.portName();
    m_wasBaud = gps.baudRate();
}

CSettingsGPSPage::~CSettingsGPSPage()
{
    m_cancel = true;
    joinWorker();
}

void CSettingsGPSPage::load(const Settings& st)
{
    listPorts(st.gpsPortS);
    selectSpeed(static_cast<unsigned>(st.gpsBaud));
    m_autoStart->setChecked(st.gpsAutoStart != 0);
    m_saveTrack->setChecked(st.saveTrackLog != 0);
}

void CSettingsGPSPage::store(Settings& st) const
{
    st.gpsPortS = chosenPort();
    st.gpsBaud = m_speed->currentData().toInt();
    st.gpsAutoStart = m_autoStart->isChecked() ? 1 : 0;
    st.saveTrackLog = m_saveTrack->isChecked() ? 1 : 0;
}

void CSettingsGPSPage::setScanRoots(const PortScanRoots& roots)
{
    m_roots = roots;
    listPorts(chosenPort());
}

void CSettingsGPSPage::listPorts(const std::string& configured)
{
    m_port->clear();
    std::vector<PortInfo> ports = EnumeratePorts(configured, m_roots);
    auto listed = [&ports](const std::string& name) {
        return std::any_of(ports.begin(), ports.end(), [&](const PortInfo& p) { return p.name == name; });
    };
    // The configured port stays choosable while its device is away.
    if (!configured.empty() && !listed(configured))
        ports.push_back({configured, {}});
    if (!listed(kLocalGpsd))
        ports.push_back({kLocalGpsd, "gpsd"});
    for (const PortInfo& p : ports) {
        const QString name = QString::fromStdString(p.name);
        const QString text = p.description.empty() ? name : name + QLatin1Char(' ') + QString::fromStdString(p.description);
        m_port->addItem(text, name);
    }
    const int row = m_port->findData(QString::fromStdString(configured));
    m_port->setCurrentIndex(configured.empty() ? -1 : row);
    if (configured.empty())
        m_port->setEditText(QString());
    // Long device names: the start tells them apart.
    m_port->lineEdit()->setCursorPosition(0);
}

std::string CSettingsGPSPage::chosenPort() const
{
    const QString text = m_port->currentText().trimmed();
    // A listed entry shows "name description"; what is typed is the name.
    const int row = m_port->findText(text);
    if (row >= 0)
        return m_port->itemData(row).toString().toStdString();
    return text.toStdString();
}

void CSettingsGPSPage::selectSpeed(unsigned speed)
{
    int row = m_speed->findData(speed);
    if (row < 0 && speed != 0) { // a speed set by hand elsewhere is kept
        m_speed->addItem(QString::number(speed), speed);
        row = m_speed->count() - 1;
    }
    m_speed->setCurrentIndex(std::max(0, row));
}

void CSettingsGPSPage::startDetect()
{
    if (detecting())
        return;
    joinWorker();
    std::vector<PortInfo> ports;
    for (int row = 0; row < m_port->count(); ++row)
        ports.push_back({m_port->itemData(row).toString().toStdString(), {}});
    const std::string typed = chosenPort();
    if (!typed.empty() && m_port->findData(QString::fromStdString(typed)) < 0)
        ports.insert(ports.begin(), {typed, {}});
    // When nothing answers, the receiver runs again as it did.
    const std::string fallbackPort = m_wasRunning ? m_wasPort : std::string();
    const unsigned fallbackBaud = m_wasRunning ? m_wasBaud : 0;

    m_touched = true;
    m_cancel = false;
    m_done = false;
    m_detect->setText(langText(m_global, kTextCancel));
    m_status->clear();
    GpsReceiver* receiver = m_global.gpsServices.gps.get();
    m_worker = std::thread([this, receiver, ports, fallbackPort, fallbackBaud] {
        auto tried = [this](const std::string& port, unsigned speed) {
            QMetaObject::invokeMethod(
                this, [this, port, speed] { m_status->setText(portText(m_global, kTextTrying, port, speed)); },
                Qt::QueuedConnection);
        };
        const auto found = DetectGps(*receiver, ports, fallbackPort, fallbackBaud, &m_cancel, tried);
        m_done = true;
        QMetaObject::invokeMethod(
            this,
            [this, found] { onDetectDone(found.has_value(), found ? found->name : "", found ? found->baudRate : 0); },
            Qt::QueuedConnection);
    });
}

void CSettingsGPSPage::cancelDetect()
{
    m_cancel = true;
}

void CSettingsGPSPage::stopDetect()
{
    m_cancel = true;
    joinWorker();
}

void CSettingsGPSPage::joinWorker()
{
    if (m_worker.joinable())
        m_worker.join();
}

void CSettingsGPSPage::onDetectDone(bool found, const std::string& port, unsigned speed)
{
    joinWorker();
    m_detect->setText(langText(m_global, kTextDetect));
    if (found) {
        listPorts(port);
        selectSpeed(isVirtualPortName(port) ? static_cast<unsigned>(m_speed->currentData().toInt()) : speed);
        m_status->setText(portText(m_global, kTextFound, port, speed));
    } else {
        m_status->setText(m_cancel ? QString() : langText(m_global, kTextNothing));
    }
    emit detectFinished(found);
}

void CSettingsGPSPage::accepted()
{
    m_cancel = true;
    joinWorker();
    m_touched = false;
    const GpsReceiver& gps = *m_global.gpsServices.gps;
    m_wasRunning = gps.isRunning();
    m_wasPort = gps.portName();
    m_wasBaud = gps.baudRate();
}

void CSettingsGPSPage::restoreReceiver()
{
    m_cancel = true;
    joinWorker();
    if (!m_touched)
        return;
    m_touched = false;
    GpsReceiver& gps = *m_global.gpsServices.gps;
    if (m_wasRunning && gps.isRunning() && gps.portName() == m_wasPort && gps.baudRate() == m_wasBaud)
        return;
    gps.Stop();
    if (m_wasRunning)
        gps.Start(m_wasPort, m_wasBaud);
}

} // namespace tw
