// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GpsServices.h"

#include "app/CGlobalData.h"
#include "app/GpsSwitch.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "gps/ProximityAlert.h"

namespace tw {

GpsServices::GpsServices(CGlobalData& global) : m_global(global)
{
    proximityAlert = std::make_unique<ProximityAlert>();
    trackLogger = std::make_unique<CTrackLogger>(global.db.trackDb, global.prompter);
    trackLogger->setLog([&global](const std::string& a, const std::string& b) { global.Log(a, b); });
    trackLogger->setTexts(global.lang);
    trackLogger->setProximityAlert(proximityAlert.get());
    gps = std::make_unique<GpsReceiver>(global.notifier);
    gps->setTexts(global.lang);
    gps->setFixSink(trackLogger.get());
    gpsSwitch = std::make_unique<GpsSwitch>(*gps, *proximityAlert, global.notifier);
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
    const Settings& settings = m_global.settings;
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
