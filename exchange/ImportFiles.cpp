// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ImportFiles.h"

#include "exchange/CUtf8StreamSource.h"
#include "platform/Text.h"
#include "platform/TextLookup.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/CXmlTokenizer.h"

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
constexpr int kTextNotGpxTag = 1160;
constexpr int kTextNotGpxText = 1161;
constexpr int kTextNotGpxEmpty = 1162;

// Units of a document looked at for its first element: declarations,
// comments and a document type may come before it.
constexpr std::size_t kMaxHeadUnits = 64 * 1024;
// Characters of a start tag or a text shown in a message.
constexpr std::size_t kMaxShownChars = 60;

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

// The first units of a source, then its end.
class HeadSource final : public CXmlCharSource {
public:
    HeadSource(CXmlCharSource& source, std::size_t units) : m_source(source), m_left(units) {}
    char16_t GetChar() override
    {
        char16_t c = 0;
        return getChars(&c, 1) == 1 ? c : u'\0';
    }
    std::size_t getChars(char16_t* out, std::size_t max) override
    {
        const std::size_t n = m_left == 0 ? 0 : m_source.getChars(out, std::min(max, m_left));
        m_left -= n;
        return n;
    }
    bool cut() const { return m_left == 0; }

private:
    CXmlCharSource& m_source;
    std::size_t m_left;
};

// An XML name starts with a letter, '_' or ':' (or a letter beyond ASCII).
bool isElementName(std::string_view name)
{
    if (name.empty())
        return false;
    const auto c = static_cast<unsigned char>(name[0]);
    return std::isalpha(c) || c == '_' || c == ':' || c >= 0x80;
}

// The text on one line, without control characters, cut after
// kMaxShownChars characters (never inside one) with an ellipsis.
std::string shownText(std::string_view text)
{
    std::string out;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool blank = c < 0x20 || c == 0x7F || c == ' ';
        if (blank && (out.empty() || out.back() == ' '))
            continue;
        if ((c & 0xC0) != 0x80 && ++chars > kMaxShownChars) {
            while (!out.empty() && out.back() == ' ')
                out.pop_back();
            return out + "…";
        }
        out += blank ? ' ' : static_cast<char>(c);
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
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

std::string ImportDocuments::notGpx(const ImportDocument& document)
{
    // A file that cannot be opened is not said to be empty.
    if (!document.path.empty() && !CUtf8FileSource(document.path).isOpen())
        return {};
    std::string problem;
    const auto source = read(document, &problem);
    HeadSource head(*source, kMaxHeadUnits);
    CXmlTokenizer xml(head);
    xml.setDecodeCharacterReferences(true);
    xml.setWholeTexts(true);
    const TextLookup& texts = *m_texts;
    const auto say = [&](int number, const char* english, const std::string& what) {
        return text::fillIn(texts.textOr(number, english), {document.name, what});
    };
    std::string tag;
    for (int token = xml.NextToken(); token != XT_END; token = xml.NextToken()) {
        if (!tag.empty()) {
            if (token == XT_ATTRIBUTE) {
                tag += std::string(" ") + xml.GetAttrName() + "=\"" + xml.getValueUtf8() + "\"";
                if (tag.size() <= 4 * kMaxShownChars)
                    continue;
            }
            break;
        }
        if (token == XT_TEXT) {
            const std::string text = shownText(xml.getValueUtf8());
            if (!text.empty())
                return say(kTextNotGpxText, "%s is not a GPX file: it starts with the text \u201C%s\u201D.", text);
        } else if (token == XT_START_TAG && isElementName(xml.GetTagName())) {
            // The name may carry a prefix ("gpx:gpx").
            const std::string_view name = xml.GetTagName();
            const std::size_t colon = name.rfind(':');
            if (name.substr(colon == std::string_view::npos ? 0 : colon + 1) == "gpx")
                return {};
            tag = "<" + std::string(name);
        }
    }
    if (!tag.empty()) {
        return say(kTextNotGpxTag, "%s is not a GPX file: it starts with %s.", shownText(tag) + ">");
    }
    // Only a document read to its end holds no element; the rest of a long
    // head, or a document that broke off, may still be GPX.
    if (head.cut() || !problem.empty())
        return {};
    return say(kTextNotGpxEmpty, "%s is not a GPX file: it holds no XML element.", {});
}

} // namespace tw
