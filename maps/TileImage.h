// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tw::maps {

/** A decoded tile image; the canvas that drew it knows its real type. */
class TileImage {
public:
    virtual ~TileImage() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
};

} // namespace tw::maps
