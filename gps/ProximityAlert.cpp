// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/ProximityAlert.h"

#include "geo/ReferencePosition.h"
#include "platform/SoundPlayer.h"

namespace tw {
namespace {

// Arms again only beyond this multiple of the alert distance.
constexpr double kAlertRearm = 1.8;
constexpr double kFootM = 0.3048;

class FixedPosition final : public geo::LivePositionSource {
public:
    explicit FixedPosition(geo::LatLon p) : m_fix{p, true} {}
    geo::LiveFix liveFix() const override { return m_fix; }

private:
    geo::LiveFix m_fix;
};

} // namespace

void ProximityAlert::setConfig(Config config)
{
    std::lock_guard lock(m_mutex);
    m_config = std::move(config);
}

ProximityAlert::Config ProximityAlert::config() const
{
    std::lock_guard lock(m_mutex);
    return m_config;
}

void ProximityAlert::setTarget(std::optional<geo::LatLon> target)
{
    std::lock_guard lock(m_mutex);
    m_target = target;
}

void ProximityAlert::setSoundPlayer(SoundPlayer* player)
{
    std::lock_guard lock(m_mutex);
    m_player = player;
}

void ProximityAlert::clearFired()
{
    std::lock_guard lock(m_mutex);
    m_fired = false;
}

bool ProximityAlert::fired() const
{
    std::lock_guard lock(m_mutex);
    return m_fired;
}

bool ProximityAlert::check(geo::LatLon position)
{
    std::lock_guard lock(m_mutex);
    if (!m_target || !m_config.on)
        return false;
    const FixedPosition live(position);
    geo::ReferenceContext context;
    context.home = m_config.home;
    context.metricUnits = m_config.metricUnits;
    context.gps = &live;
    const double d = geo::referenceDistanceKm(context, *m_target, true);
    const double limit = m_config.distance * 0.001 * (m_config.metricUnits ? 1.0 : kFootM);
    bool played = false;
    if (!m_fired && d < limit) {
        if (m_player)
            m_player->playAsync(m_config.sound);
        m_fired = true;
        played = true;
    }
    if (d > limit * kAlertRearm)
        m_fired = false;
    return played;
}

} // namespace tw
