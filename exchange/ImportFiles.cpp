// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ImportFiles.h"

#include <zip.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace fs = std::filesystem;

namespace tw {
namespace {

// A pocket query is a few megabytes; anything beyond this is no GPX file
// but a zip bomb or a mistake.
constexpr zip_uint64_t kMaxMemberBytes = 256u << 20;

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Pocket queries name it "123-wpts.gpx"; some tools write "_wpts".
bool isWaypointsName(const std::string& name)
{
    const std::string n = lower(name);
    return endsWith(n, "-wpts.gpx") || endsWith(n, "_wpts.gpx");
}

bool isZip(const fs::path& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    unsigned char magic[4] = {};
    const std::size_t n = std::fread(magic, 1, 4, f);
    std::fclose(f);
    return n == 4 && magic[0] == 'P' && magic[1] == 'K' && magic[2] == 3 && magic[3] == 4;
}

std::optional<std::vector<ImportDocument>> zipDocuments(const fs::path& path, std::string* error)
{
    int code = 0;
    std::unique_ptr<zip_t, decltype(&zip_discard)> archive(zip_open(path.c_str(), ZIP_RDONLY, &code), &zip_discard);
    if (!archive) {
        if (error)
            *error = "The file is not a readable zip archive.";
        return std::nullopt;
    }
    std::vector<ImportDocument> documents;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive.get(), static_cast<zip_uint64_t>(i), 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            continue;
        const std::string name = st.name;
        if (!endsWith(lower(name), ".gpx") || endsWith(name, "/"))
            continue;
        if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxMemberBytes) {
            if (error)
                *error = "A file in the zip archive is too large to be a pocket query: " + name;
            return std::nullopt;
        }
        std::unique_ptr<zip_file_t, decltype(&zip_fclose)> member(
            zip_fopen_index(archive.get(), static_cast<zip_uint64_t>(i), 0), &zip_fclose);
        if (!member)
            continue;
        ImportDocument doc;
        doc.name = fs::path(name).filename().string();
        char buffer[65536];
        zip_int64_t n;
        while ((n = zip_fread(member.get(), buffer, sizeof buffer)) > 0) {
            doc.bytes.append(buffer, static_cast<std::size_t>(n));
            if (doc.bytes.size() > kMaxMemberBytes) {
                if (error)
                    *error = "A file in the zip archive is too large to be a pocket query: " + name;
                return std::nullopt;
            }
        }
        if (n < 0) {
            if (error)
                *error = "The zip archive is damaged: " + name;
            return std::nullopt;
        }
        documents.push_back(std::move(doc));
    }
    // The caches first, so that their waypoints find them.
    std::stable_sort(documents.begin(), documents.end(), [](const ImportDocument& a, const ImportDocument& b) {
        return !isWaypointsName(a.name) && isWaypointsName(b.name);
    });
    if (documents.empty() && error)
        *error = "The zip archive holds no GPX file.";
    return documents;
}

} // namespace

std::optional<std::vector<ImportDocument>> importDocuments(const fs::path& path, std::string* error)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        if (error)
            *error = "The file does not exist: " + path.string();
        return std::nullopt;
    }
    if (isZip(path))
        return zipDocuments(path, error);

    std::vector<ImportDocument> documents;
    documents.push_back({path.filename().string(), path, {}});
    const std::string name = path.filename().string();
    if (endsWith(lower(name), ".gpx") && !isWaypointsName(name)) {
        const std::string stem = name.substr(0, name.size() - 4);
        for (const char* suffix : {"-wpts.gpx", "_wpts.gpx", "-wpts.GPX", "_wpts.GPX", "-WPTS.GPX", "_WPTS.GPX"}) {
            const fs::path sibling = path.parent_path() / (stem + suffix);
            if (fs::is_regular_file(sibling, ec)) {
                documents.push_back({sibling.filename().string(), sibling, {}});
                break;
            }
        }
    }
    return documents;
}

} // namespace tw
