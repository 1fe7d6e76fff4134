// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/sim/Geocoder.h"

#include <httplib.h>

#include <array>
#include <string>

namespace sim {

namespace {

struct Place {
    const char* key;
    const char* address;
    int accuracy;
    const char* coordinates; // lon,lat,height
};

constexpr std::array kPlaces{
    Place{"Staroměstské náměstí", "Staroměstské náměstí, 110 00 Praha 1, Česká republika", 8,
          "14.4212535,50.0874654,0"},
    Place{"Brno", "Brno, Česká republika", 4, "16.6068371,49.1950602,0"},
    Place{"Null Island", "Null Island", 9, "0,0,0"},
    Place{"Quito", "Quito, Ecuador", 4, "-78.4678382,-0.1806532,0"},
};

std::string xmlEscape(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        default: out += c;
        }
    }
    return out;
}

} // namespace

void addGeocoder(httplib::Server& server)
{
    server.Get("/geocode", [](const httplib::Request& req, httplib::Response& res) {
        const std::string query = req.get_param_value("q");
        std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<geocode><Response><name>" + xmlEscape(query)
                          + "</name>";
        const Place* found = nullptr;
        for (const Place& place : kPlaces)
            if (!query.empty() && query.find(place.key) != std::string::npos)
                found = &place;
        if (found) {
            xml += "<Status><code>200</code><request>geocode</request></Status>"
                   "<Placemark id=\"p1\"><address>" + xmlEscape(found->address) + "</address>"
                   "<AddressDetails Accuracy=\"" + std::to_string(found->accuracy) + "\"/>"
                   "<Point><coordinates>" + found->coordinates + "</coordinates></Point></Placemark>";
        } else {
            xml += "<Status><code>602</code><request>geocode</request></Status>";
        }
        xml += "</Response></geocode>\n";
        res.set_content(xml, "application/xml; charset=UTF-8");
    });
}

} // namespace sim
