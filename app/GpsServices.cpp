// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GpsServices.h"

#include "app/GpsSwitch.h"
#include "app/ProgramLog.h"
#include "app/Settings.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "gps/ProximityAlert.h"

namespace tw {

GpsServices::GpsServices(SQLite::Database& trackDb, Prompter& prompter, Notifier& notifier, const Settings& settings,
                         const TextLookup& texts, const ProgramLog& log)
    : m_settings(settings)
{
    proximityAlert = std::make_unique<ProximityAlert>();
    trackLogger = std::make_unique<CTrackLogger>(trackDb, prompter);
    trackLogger->setLog([&log](const std::string& a, const std::string& b) { log.write(a, b); });
    trackLogger->setTexts(texts);
    trackLogger->setProximityAlert(proximityAlert.get());
    gps = std::make_unique<GpsReceiver>(notifier);
    gps->setTexts(texts);
    gps->setFixSink(trackLogger.get());
    gpsSwitch = std::make_unique<GpsSwitch>(*gps, *proximityAlert, notifier);
}

GpsServices::~GpsServices() = default;

void GpsServices::setNavigationTarget(std::optional<NavigationTarget> target)
{
    navigationTarget = std::move(target);
    if (navigationTarget)
        proximityAlert->setTarget(geo::LatLon{navigationTarget->lat, navigationTarget->lon});
    else
        proximityAlert->setTarget(std::nullopt);
}

void GpsServices::applyGpsSettings()
{
    const Settings& settings = m_settings;
    trackLogger->setRecording(settings.saveTrackLog != 0);
    trackLogger->setMaxTrackBuffer(settings.maxTrackBuffer);
    ProximityAlert::Config alert;
    alert.on = settings.alertOn != 0;
    alert.distance = settings.alertDist;
    alert.metricUnits = settings.metricUnits != 0;
    alert.sound = settings.alertSound;
    alert.home = {settings.homeLat, settings.homeLon};
    proximityAlert->setConfig(alert);
    if (soundPlayer)
        proximityAlert->setSoundPlayer(soundPlayer);
}

} // namespace tw
