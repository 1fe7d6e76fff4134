// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/Elevation.h"

#include <cctype>
#include <cmath>
#include <fstream>

namespace fs = std::filesystem;

namespace tw::maps {
namespace {

constexpr std::int16_t kVoid = -32768;
// A folder holding more is not looked through further.
constexpr int kMaxFolderEntries = 100000;

int samplesForSize(std::uintmax_t bytes)
{
    for (const int n : {1201, 3601})
        if (bytes == static_cast<std::uintmax_t>(n) * n * 2)
            return n;
    return 0;
}

} // namespace

std::optional<std::pair<int, int>> hgtSquareOf(const std::string& fileName)
{
    // N47E009.hgt: a letter, two digits, a letter, three digits.
    if (fileName.size() != 11)
        return std::nullopt;
    std::string name;
    for (const char c : fileName)
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (name.compare(7, 4, ".HGT") != 0 || (name[0] != 'N' && name[0] != 'S') || (name[3] != 'E' && name[3] != 'W'))
        return std::nullopt;
    for (const int i : {1, 2, 4, 5, 6})
        if (!std::isdigit(static_cast<unsigned char>(name[static_cast<std::size_t>(i)])))
            return std::nullopt;
    const int lat = (name[1] - '0') * 10 + (name[2] - '0');
    const int lon = (name[4] - '0') * 100 + (name[5] - '0') * 10 + (name[6] - '0');
    if (lat > 90 || lon > 180)
        return std::nullopt;
    return std::pair{name[0] == 'S' ? -lat : lat, name[3] == 'W' ? -lon : lon};
}

ElevationFiles::ElevationFiles(fs::path folder)
{
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec))
        return;
    int seen = 0;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end && seen < kMaxFolderEntries;
         it.increment(ec), ++seen) {
        const auto key = hgtSquareOf(it->path().filename().string());
        if (!key || !it->is_regular_file(ec))
            continue;
        if (samplesForSize(it->file_size(ec)) == 0 || ec) {
            m_unusable.push_back(it->path());
            continue;
        }
        m_files.emplace(*key, it->path());
    }
}

const ElevationFiles::Square* ElevationFiles::square(int lat, int lon)
{
    const std::pair key{lat, lon};
    if (key == m_lastKey)
        return m_last;
    m_lastKey = key;
    m_last = nullptr;
    for (auto it = m_loaded.begin(); it != m_loaded.end(); ++it) {
        if (it->first == key) {
            m_loaded.splice(m_loaded.begin(), m_loaded, it);
            return m_last = it->second.get();
        }
    }
    const auto file = m_files.find(key);
    if (file == m_files.end())
        return nullptr;

    auto loaded = std::make_shared<Square>();
    std::error_code ec;
    loaded->samples = samplesForSize(fs::file_size(file->second, ec));
    if (ec || loaded->samples == 0) {
        m_files.erase(file);
        return nullptr;
    }
    const std::size_t count = static_cast<std::size_t>(loaded->samples) * static_cast<std::size_t>(loaded->samples);
    std::vector<unsigned char> bytes(count * 2);
    std::ifstream in(file->second, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
        // Shrunk or unreadable since the folder was looked through.
        m_unusable.push_back(file->second);
        m_files.erase(file);
        return nullptr;
    }
    loaded->heights.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        loaded->heights[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]));
    m_loaded.emplace_front(key, std::move(loaded));
    if (m_loaded.size() > kMaxFilesInMemory)
        m_loaded.pop_back();
    return m_last = m_loaded.front().second.get();
}

std::optional<float> ElevationFiles::at(double lat, double lon)
{
    if (!(lat >= -90 && lat < 90 && lon >= -180 && lon < 180))
        return std::nullopt;
    const double south = std::floor(lat), west = std::floor(lon);
    const Square* s = square(static_cast<int>(south), static_cast<int>(west));
    if (!s)
        return std::nullopt;
    const int last = s->samples - 1;
    // Row 0 is the northern edge, column 0 the western one.
    const double fy = (south + 1 - lat) * last;
    const double fx = (lon - west) * last;
    const int row = std::min(static_cast<int>(fy), last - 1);
    const int column = std::min(static_cast<int>(fx), last - 1);
    const double dy = fy - row, dx = fx - column;
    const std::int16_t* top = s->heights.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(s->samples) + column;
    const std::int16_t* bottom = top + s->samples;
    const std::int16_t corners[4] = {top[0], top[1], bottom[0], bottom[1]};
    const double weights[4] = {(1 - dx) * (1 - dy), dx * (1 - dy), (1 - dx) * dy, dx * dy};
    double sum = 0, weight = 0;
    for (int i = 0; i < 4; ++i) {
        if (corners[i] == kVoid)
            continue;
        sum += corners[i] * weights[i];
        weight += weights[i];
    }
    // Beside a hole the measured neighbours stand in; inside one there is nothing.
    if (weight < 0.25)
        return std::nullopt;
    return static_cast<float>(sum / weight);
}

} // namespace tw::maps
