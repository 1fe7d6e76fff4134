// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/CSettingsAlertPage.h"

#include "app/CGlobalData.h"
#include "app/Options.h"
#include "platform/SoundPlayer.h"
#include "screens/DialogKeys.h"
#include "screens/LangText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace tw {
namespace {

constexpr int kTextAlertOn = 713;
constexpr int kTextDistanceMetres = 714;
constexpr int kTextDistanceFeet = 715;
constexpr int kTextSound = 716;
constexpr int kTextTest = 717;
constexpr int kTextBrowse = 669;

} // namespace

CSettingsAlertPage::CSettingsAlertPage(CGlobalData& global, SoundPlayer& player, QWidget* parent)
    : OptionsPage(global, parent), m_player(player)
{
    setObjectName(QStringLiteral("alertPage"));
    m_on = new QCheckBox(langText(global, kTextAlertOn));
    m_on->setObjectName(QStringLiteral("alertOn"));
    addWidget(m_on);
    m_distance = new QSpinBox;
    m_distance->setObjectName(QStringLiteral("alertDist"));
    m_distance->setRange(1, 100000);
    m_distanceCaption = addField(langText(global, kTextDistanceMetres), m_distance);

    m_sound = new QComboBox;
    m_sound->setObjectName(QStringLiteral("alertSound"));
    for (const auto& file : alertSoundFiles(global.GetInstallDir()))
        m_sound->addItem(QString::fromStdString(file.stem().string()), QString::fromStdString(file.string()));
    auto* browse = makeTouchButton(global, langText(global, kTextBrowse), this);
    connect(browse, &QPushButton::clicked, this, &CSettingsAlertPage::browse);
    addField(langText(global, kTextSound), withKey(m_sound, browse));

    m_test = makeTouchButton(global, langText(global, kTextTest), this);
    m_test->setObjectName(QStringLiteral("testSound"));
    connect(m_test, &QPushButton::clicked, this, &CSettingsAlertPage::testSound);
    addWidget(m_test);
    finish();
}

CSettingsAlertPage::~CSettingsAlertPage()
{
    if (m_worker.joinable())
        m_worker.join();
}

void CSettingsAlertPage::load(const Settings& st)
{
    m_on->setChecked(st.alertOn != 0);
    m_distance->setValue(st.alertDist);
    setMetric(st.metricUnits != 0);
    chooseSound(QString::fromStdString(st.alertSound));
}

void CSettingsAlertPage::store(Settings& st) const
{
    st.alertOn = m_on->isChecked() ? 1 : 0;
    st.alertDist = m_distance->value();
    st.alertSound = m_sound->currentData().toString().toStdString();
}

void CSettingsAlertPage::setMetric(bool metric)
{
    m_distanceCaption->setText(langText(m_global, metric ? kTextDistanceMetres : kTextDistanceFeet));
}

void CSettingsAlertPage::chooseSound(const QString& path)
{
    int row = m_sound->findData(path);
    if (row < 0 && !path.isEmpty()) { // a file of the user's own, anywhere
        m_sound->addItem(QFileInfo(path).completeBaseName(), path);
        row = m_sound->count() - 1;
    }
    m_sound->setCurrentIndex(row);
}

void CSettingsAlertPage::browse()
{
    const QString start = m_sound->currentData().toString();
    const QString file = QFileDialog::getOpenFileName(this, langText(m_global, kTextSound), start,
                                                      QStringLiteral("*.wav"));
    if (!file.isEmpty())
        chooseSound(file);
}

void CSettingsAlertPage::testSound()
{
    if (playing())
        return;
    if (m_worker.joinable())
        m_worker.join();
    const std::string path = m_sound->currentData().toString().toStdString();
    if (path.empty())
        return;
    m_test->setEnabled(false);
    m_done = false;
    m_worker = std::thread([this, path] {
        m_player.playSync(path);
        m_done = true;
        QMetaObject::invokeMethod(this, [this] { m_test->setEnabled(true); }, Qt::QueuedConnection);
    });
}

} // namespace tw
