// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/ImageDecoder.h"

namespace tw {

// Decodes tiles with Qt's image readers (PNG, JPEG, GIF, WebP as installed).
class QtImageDecoder final : public maps::ImageDecoder {
public:
    std::shared_ptr<const maps::TileImage> decodeFile(const std::filesystem::path& path) override;
    std::shared_ptr<const maps::TileImage> decodeBuffer(maps::TileBytes&& bytes) override;
};

} // namespace tw
