// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/TileDatabase.h"
#include "maps/TileImage.h"

#include <filesystem>
#include <memory>

namespace tw::maps {

/** Turns stored tile bytes into images. Null when the data is not an image
 *  the decoder can read. */
class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;
    virtual std::shared_ptr<const TileImage> decodeFile(const std::filesystem::path& path) = 0;
    /** Takes the bytes over. */
    virtual std::shared_ptr<const TileImage> decodeBuffer(TileBytes&& bytes) = 0;
};

} // namespace tw::maps
