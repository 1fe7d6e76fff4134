// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: a damaged file read as a single-file tile database and
// as an MBTiles file.
#include "maps/MbTilesReader.h"
#include "maps/TileDatabase.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto path = tw::fuzz::scratchFile("tiles.twmap", data, size);
    {
        tw::maps::TileDatabase db(path);
        if (db.open()) {
            for (int z = 0; z < 3; ++z)
                (void)db.read({z, z, tw::maps::tileDbZ(z), ""}, false);
            (void)db.contains({0, 0, 17, "x"}, true);
        }
    }
    tw::maps::MbTilesReader mb(path);
    if (mb.isOpen())
        for (int z = 0; z < 3; ++z)
            (void)mb.read(z, 0, 0);
    return 0;
}
