// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/QtImageDecoder.h"

#include "screens/QtTileImage.h"

namespace tw {
namespace {

// Drawing converts to the screen format anyway; doing it once here keeps a
// redrawn view from converting every tile again.
std::shared_ptr<const maps::TileImage> drawableTile(QImage image)
{
    if (image.isNull())
        return nullptr;
    if (image.format() != QImage::Format_ARGB32_Premultiplied && image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                              : QImage::Format_RGB32);
    return std::make_shared<QtTileImage>(std::move(image));
}

} // namespace

std::shared_ptr<const maps::TileImage> QtImageDecoder::decodeFile(const std::filesystem::path& path)
{
    return drawableTile(QImage(QString::fromStdString(path.string())));
}

std::shared_ptr<const maps::TileImage> QtImageDecoder::decodeBuffer(maps::TileBytes&& bytes)
{
    return drawableTile(QImage::fromData(bytes.data(), static_cast<int>(bytes.size())));
}

} // namespace tw
