// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ImportFiles.h"

#include "exchange/CUtf8StreamSource.h"
#include "platform/Text.h"
#include "platform/TextLookup.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CUtf8MemorySource.h"

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

constexpr int kTextNoFile = 970;
constexpr int kTextNotZip = 971;
constexpr int kTextNoGpx = 972;
constexpr int kTextMemberUnreadable = 973;
constexpr int kTextEncrypted = 974;
constexpr int kTextCompression = 975;
constexpr int kTextNoMemory = 976;
constexpr int kTextDamaged = 977;
constexpr int kTextTooLarge = 978;

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

std::string unreadableText(const TextLookup& texts, const std::string& name, const std::string& why)
{
    return text::fillIn(texts.textOr(kTextMemberUnreadable, "The file %s in the zip archive could not be read: %s."),
                        {name, why});
}

std::string openFailure(const TextLookup& texts, int zipError)
{
    switch (zipError) {
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_ENCRNOTSUPP:
        return texts.textOr(kTextEncrypted, "it is encrypted");
    case ZIP_ER_COMPNOTSUPP:
        return texts.textOr(kTextCompression, "it is compressed in a way this program cannot read");
    case ZIP_ER_MEMORY:
        return texts.textOr(kTextNoMemory, "there is not enough memory");
    default:
        return texts.textOr(kTextDamaged, "the archive is damaged");
    }
}

std::string tooLarge(const TextLookup& texts)
{
    return texts.textOr(kTextTooLarge, "it is too large to be a pocket query");
}

} // namespace

void ImportDocuments::ZipCloser::operator()(zip* archive) const
{
    zip_discard(archive);
}

std::optional<ImportDocuments> ImportDocuments::open(const fs::path& path, const TextLookup& texts,
                                                     std::string* error)
{
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        if (error)
            *error = text::fillIn(texts.textOr(kTextNoFile, "The file does not exist: %s"), {path.string()});
        return std::nullopt;
    }
    ImportDocuments result;
    result.m_texts = &texts;
    if (!isZip(path)) {
        const std::string name = path.filename().string();
        result.m_documents.push_back({name, path, 0});
        if (endsWith(lower(name), ".gpx") && !isWaypointsName(name)) {
            const std::string stem = name.substr(0, name.size() - 4);
            for (const char* suffix : {"-wpts.gpx", "_wpts.gpx", "-wpts.GPX", "_wpts.GPX", "-WPTS.GPX", "_WPTS.GPX"}) {
                const fs::path sibling = path.parent_path() / (stem + suffix);
                if (fs::is_regular_file(sibling, ec)) {
                    result.m_documents.push_back({sibling.filename().string(), sibling, 0});
                    break;
                }
            }
        }
        return result;
    }

    int code = 0;
    result.m_archive.reset(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!result.m_archive) {
        if (error)
            *error = texts.textOr(kTextNotZip, "The file is not a readable zip archive.");
        return std::nullopt;
    }
    zip_t* archive = result.m_archive.get();
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME))
            continue;
        const std::string name = st.name;
        if (!endsWith(lower(name), ".gpx") || endsWith(name, "/"))
            continue;
        if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxMemberBytes) {
            result.m_unreadable.push_back(unreadableText(texts, name, tooLarge(texts)));
            continue;
        }
        // Opened once here, so that a member that cannot be read is known
        // before anything is imported.
        zip_file_t* member = zip_fopen_index(archive, index, 0);
        if (!member) {
            const int why = zip_error_code_zip(zip_get_error(archive));
            result.m_unreadable.push_back(unreadableText(texts, name, openFailure(texts, why)));
            zip_error_clear(archive);
            continue;
        }
        zip_fclose(member);
        result.m_documents.push_back({fs::path(name).filename().string(), {}, index});
    }
    // The caches first, so that their waypoints find them.
    std::stable_sort(result.m_documents.begin(), result.m_documents.end(),
                     [](const ImportDocument& a, const ImportDocument& b) {
                         return !isWaypointsName(a.name) && isWaypointsName(b.name);
                     });
    if (result.m_documents.empty() && result.m_unreadable.empty()) {
        if (error)
            *error = texts.textOr(kTextNoGpx, "The zip archive holds no GPX file.");
        return std::nullopt;
    }
    return result;
}

std::unique_ptr<CXmlCharSource> ImportDocuments::read(const ImportDocument& document, std::string* problem)
{
    if (!document.path.empty())
        return std::make_unique<CUtf8FileSource>(document.path);
    zip_t* archive = m_archive.get();
    const TextLookup& texts = *m_texts;
    const char* fullName = zip_get_name(archive, document.member, 0);
    const std::string name = fullName ? fullName : document.name;
    std::shared_ptr<zip_file_t> member(zip_fopen_index(archive, document.member, 0), [](zip_file_t* file) {
        if (file)
            zip_fclose(file);
    });
    if (!member) {
        if (problem)
            *problem = unreadableText(texts, name, openFailure(texts, zip_error_code_zip(zip_get_error(archive))));
        zip_error_clear(archive);
        return std::make_unique<CUtf8MemorySource>(std::string_view());
    }
    zip_uint64_t total = 0;
    return std::make_unique<CUtf8StreamSource>(
        [member, total, problem, name, &texts](unsigned char* buffer, std::size_t size) mutable -> long long {
            const zip_int64_t n = zip_fread(member.get(), buffer, size);
            if (n < 0) {
                if (problem)
                    *problem = unreadableText(texts, name, texts.textOr(kTextDamaged, "the archive is damaged"));
                return -1;
            }
            total += static_cast<zip_uint64_t>(n);
            if (total > kMaxMemberBytes) {
                if (problem)
                    *problem = unreadableText(texts, name, tooLarge(texts));
                return -1;
            }
            return n;
        });
}

} // namespace tw
