// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tw::maps {

/** Heights above sea level from a folder of elevation files in the `.hgt`
 *  layout: one file per degree square, named after its south-west corner
 *  (`N47E009.hgt`, `S01W071.hgt`, any case), holding 1201 × 1201 (3″) or
 *  3601 × 3601 (1″) big-endian 16-bit heights in metres, rows from north to
 *  south, -32768 where nothing was measured. A file of another size is not
 *  used. A few files are kept in memory, the least recently used is let go.
 *  One thread at a time. */
class ElevationFiles {
public:
    explicit ElevationFiles(std::filesystem::path folder);

    /** The height at a position, between the four samples around it; nothing
     *  where no file covers it or nothing was measured. */
    std::optional<float> at(double lat, double lon);

    /** Files of the folder whose size was not one of the two layouts, each
     *  once, for the log. */
    const std::vector<std::filesystem::path>& unusableFiles() const { return m_unusable; }
    /** How many degree squares the folder has files for. */
    std::size_t fileCount() const { return m_files.size(); }

    static constexpr int kMaxFilesInMemory = 4;

private:
    struct Square {
        int samples = 0; // per row and column
        std::vector<std::int16_t> heights;
    };
    const Square* square(int lat, int lon);

    std::map<std::pair<int, int>, std::filesystem::path> m_files;
    // Most recently used first.
    std::list<std::pair<std::pair<int, int>, std::shared_ptr<Square>>> m_loaded;
    std::pair<int, int> m_lastKey{1000, 1000};
    const Square* m_last = nullptr;
    std::vector<std::filesystem::path> m_unusable;
};

/** The degree square a file name stands for, (latitude, longitude) of its
 *  south-west corner; nothing for another name. */
std::optional<std::pair<int, int>> hgtSquareOf(const std::string& fileName);

} // namespace tw::maps
