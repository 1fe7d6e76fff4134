// SPDX-License-Identifier: GPL-3.0-or-later
// tarnwick-demomap OUT.map [LAT LON]: writes the made-up vector map of the
// demo (tools/demomap/DemoMap.h) around LAT LON, by default the square of the
// demo's pocket query.
#include "platform/Numbers.h"
#include "tools/demomap/DemoMap.h"

#include <fstream>
#include <iostream>
#include <optional>
#include <string>

int main(int argc, char** argv)
{
    using namespace tw;
    if (argc != 2 && argc != 4) {
        std::cerr << "usage: tarnwick-demomap OUT.map [LAT LON]\n";
        return 2;
    }
    double lat = demomap::kDemoLat;
    double lon = demomap::kDemoLon;
    if (argc == 4) {
        const std::optional<double> givenLat = num::parseDouble(argv[2]);
        const std::optional<double> givenLon = num::parseDouble(argv[3]);
        if (!givenLat || !givenLon || *givenLat < -80 || *givenLat > 80 || *givenLon < -179 || *givenLon > 179) {
            std::cerr << "tarnwick-demomap: LAT LON are degrees, e.g. 48.8108 14.3152\n";
            return 2;
        }
        lat = *givenLat;
        lon = *givenLon;
    }
    const demomap::DemoMap map = demomap::demoMap(lat, lon);
    const std::string bytes = mapwriter::encodeMap(map.content);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::cerr << "tarnwick-demomap: cannot write " << argv[1] << "\n";
        return 1;
    }
    std::cout << argv[1] << ": " << bytes.size() << " bytes, " << map.pois << " POIs, " << map.ways << " ways\n";
    return 0;
}
