// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/ImageDecoder.h"
#include "maps/MapCanvas.h"
#include "maps/TileDownloader.h"

#include <string>
#include <vector>

namespace tw::test {

// A "tile image" is any stored data that begins with "IMG:" or a PNG
// signature; the label is the rest of the data.
class FakeImage final : public maps::TileImage {
public:
    explicit FakeImage(std::string text) : label(std::move(text)) {}
    int width() const override { return 256; }
    int height() const override { return 256; }
    std::string label;
};

class FakeDecoder final : public maps::ImageDecoder {
public:
    std::shared_ptr<const maps::TileImage> decodeFile(const std::filesystem::path& path) override;
    std::shared_ptr<const maps::TileImage> decodeBuffer(maps::TileBytes&& bytes) override;
    int decoded = 0;
};

class RecordingCanvas final : public maps::MapCanvas {
public:
    struct Draw {
        std::string label;
        maps::Rect source;
        maps::Rect target;
    };
    RecordingCanvas(int w, int h) : m_w(w), m_h(h) {}
    int width() const override { return m_w; }
    int height() const override { return m_h; }
    void fill(const maps::Rect& area, std::uint32_t rgb) override
    {
        ++fills;
        filled.push_back({area, rgb});
    }
    void drawImage(const maps::TileImage& image, const maps::Rect& source, const maps::Rect& target) override
    {
        draws.push_back({static_cast<const FakeImage&>(image).label, source, target});
    }
    void drawLine(maps::PixelPoint, maps::PixelPoint, std::uint32_t rgb, int) override
    {
        if (rgb == 0xBFBFBF)
            ++greyLines;
    }
    void drawPolyline(const std::vector<maps::PixelPoint>& points, std::uint32_t, int) override
    {
        polylines.push_back(points);
    }

    // Keeps the mean darkening of each shading drawn.
    void drawShade(const maps::ShadeTile& shade, const maps::Rect& target) override
    {
        double sum = 0;
        for (const std::uint8_t a : shade.alpha)
            sum += a;
        shades.push_back({shade.alpha.empty() ? 0.0 : sum / double(shade.alpha.size()), target});
    }

    std::vector<Draw> draws;
    std::vector<std::vector<maps::PixelPoint>> polylines;
    std::vector<std::pair<double, maps::Rect>> shades;
    int greyLines = 0;
    int fills = 0;
    std::vector<std::pair<maps::Rect, std::uint32_t>> filled;

private:
    int m_w, m_h;
};

class RecordingDownloader final : public maps::TileDownloader {
public:
    void enqueueFile(const std::string& url, const std::filesystem::path& path, const std::string&,
                     std::size_t) override
    {
        urls.push_back(url);
        paths.push_back(path);
    }
    void enqueueTile(const std::string& url, const maps::TileKey& key, const std::filesystem::path&,
                     const std::string&) override
    {
        urls.push_back(url);
        keys.push_back(key);
    }
    bool downloadsAllowed() const override { return allowed; }
    bool allowed = true;
    std::vector<std::string> urls;
    std::vector<std::filesystem::path> paths;
    std::vector<maps::TileKey> keys;
};

} // namespace tw::test
