// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/PositionAveraging.h"

#include "geo/GeoMath.h"

#include <cmath>

namespace tw {

void PositionAveraging::start()
{
    m_active = true;
    m_sumLat = m_sumLon = 0;
    m_samples.clear();
}

void PositionAveraging::sample(geo::LatLon position, int satsUsed)
{
    if (!m_active || satsUsed < 1)
        return;
    m_sumLat += position.lat;
    m_sumLon += position.lon;
    m_samples.push_back(position);
}

geo::LatLon PositionAveraging::mean() const
{
    if (m_samples.empty())
        return {};
    const double n = static_cast<double>(m_samples.size());
    return {m_sumLat / n, m_sumLon / n};
}

double PositionAveraging::spreadM() const
{
    if (m_samples.empty())
        return 0;
    const geo::LatLon m = mean();
    std::vector<double> d;
    d.reserve(m_samples.size());
    double sum = 0;
    for (const geo::LatLon& s : m_samples) {
        d.push_back(geo::distanceKm(m, s) * 1000.0);
        sum += d.back();
    }
    const double n = static_cast<double>(d.size());
    const double meanD = sum / n;
    double sq = 0;
    for (const double v : d)
        sq += (meanD - v) * (meanD - v);
    return std::sqrt(sq / n);
}

} // namespace tw
