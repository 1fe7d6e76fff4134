// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ListingFiles.h"

#include "app/ImagePrefetch.h"
#include "platform/Text.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace fs = std::filesystem;

namespace tw::listing {
namespace {

constexpr std::size_t kMaxNameBytes = 200;

std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

std::string lastCharacter(std::string_view code)
{
    return std::string(1, code.back());
}

struct Span {
    std::size_t begin = 0; // the value with its quotes
    std::size_t end = 0;
    std::string value;
};

// The src attribute's value in one tag ("<img ...>"), quoted either way or
// not at all.
std::optional<Span> srcOf(std::string_view tag)
{
    const std::string lower = lowerAscii(tag);
    for (std::size_t at = lower.find("src"); at != std::string::npos; at = lower.find("src", at + 3)) {
        if (at == 0 || !(std::isspace(static_cast<unsigned char>(lower[at - 1])) || lower[at - 1] == '/'))
            continue;
        std::size_t p = at + 3;
        while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p])))
            ++p;
        if (p >= tag.size() || tag[p] != '=')
            continue;
        ++p;
        while (p < tag.size() && std::isspace(static_cast<unsigned char>(tag[p])))
            ++p;
        Span span;
        span.begin = p;
        if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
            const std::size_t close = tag.find(tag[p], p + 1);
            const std::size_t valueEnd = close == std::string_view::npos ? tag.size() - 1 : close;
            span.value = std::string(tag.substr(p + 1, valueEnd - p - 1));
            span.end = close == std::string_view::npos ? tag.size() - 1 : close + 1;
        } else {
            std::size_t e = p;
            while (e < tag.size() && tag[e] != '>' && !std::isspace(static_cast<unsigned char>(tag[e])))
                ++e;
            span.value = std::string(tag.substr(p, e - p));
            span.end = e;
        }
        return span;
    }
    return std::nullopt;
}

// A name the downloader may create: none of the characters file systems of
// every kind refuse.
bool isPortableName(std::string_view name)
{
    return name.find_first_of("\\/:*?\"<>|") == std::string_view::npos;
}

} // namespace

bool isSafeCode(std::string_view code)
{
    return !code.empty() && code.size() <= 32 &&
           std::all_of(code.begin(), code.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

bool isSafeFileName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxNameBytes || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '/' || c == '\\' || u < 0x20 || u == 0x7f;
    });
}

bool isFetchableUrl(std::string_view url)
{
    const std::string lower = lowerAscii(url.substr(0, 8));
    std::size_t hostAt = 0;
    if (lower.starts_with("http://"))
        hostAt = 7;
    else if (lower.starts_with("https://"))
        hostAt = 8;
    else
        return false;
    if (hostAt >= url.size() || url[hostAt] == '/' || url[hostAt] == '?' || url[hostAt] == '#')
        return false;
    return std::none_of(url.begin(), url.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7f || c == '"' || c == '\'' || c == '<' || c == '>' || c == '\\';
    });
}

fs::path offlineFolder(const fs::path& mapFolder)
{
    return mapFolder / "offline";
}

fs::path localImagePath(const fs::path& mapFolder, std::string_view code, std::string_view fileName)
{
    if (!isSafeFileName(fileName))
        return {};
    if (fileName.starts_with("icon_smile"))
        return offlineFolder(mapFolder) / "img" / std::string(fileName);
    if (!isSafeCode(code))
        return {};
    return offlineFolder(mapFolder) / "inc" / lastCharacter(code) / (std::string(code) + "-" + std::string(fileName));
}

fs::path localImageOf(const fs::path& mapFolder, std::string_view code, std::string_view url)
{
    if (!isFetchableUrl(url))
        return {};
    return localImagePath(mapFolder, code, url.substr(url.rfind('/') + 1));
}

fs::path offlineCopyPath(const fs::path& mapFolder, std::string_view code)
{
    if (!isSafeCode(code))
        return {};
    return offlineFolder(mapFolder) / "cache" / lastCharacter(code) / (std::string(code) + ".htm");
}

fs::path attachmentFolder(const fs::path& mapFolder, std::string_view code)
{
    if (!isSafeCode(code))
        return {};
    return mapFolder / "attach" / lastCharacter(code) / std::string(code);
}

std::vector<std::string> attachmentFiles(const fs::path& mapFolder, std::string_view code)
{
    std::vector<std::string> names;
    const fs::path folder = attachmentFolder(mapFolder, code);
    if (folder.empty())
        return names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError))
            names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool isOfflineFile(const fs::path& mapFolder, const fs::path& path)
{
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(fs::absolute(offlineFolder(mapFolder), ec), ec);
    if (ec)
        return false;
    const fs::path file = fs::weakly_canonical(fs::absolute(path, ec), ec);
    if (ec)
        return false;
    const fs::path rel = file.lexically_relative(root);
    return !rel.empty() && *rel.begin() != ".." && *rel.begin() != "." && !rel.is_absolute();
}

std::string fileUrl(const fs::path& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::error_code ec;
    const std::string text = fs::absolute(path, ec).string();
    std::string out = "file://";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || ch == '/' || ch == '-' || ch == '_' || ch == '.' || ch == '~') {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

RewrittenPage rewriteImages(std::string_view html, const fs::path& mapFolder, std::string_view code,
                            ImagePrefetch* prefetch)
{
    RewrittenPage result;
    const std::string lower = lowerAscii(html);
    std::string& out = result.html;
    out.reserve(html.size());
    std::size_t from = 0;
    for (std::size_t at = lower.find("<img"); at != std::string::npos; at = lower.find("<img", from)) {
        const char next = at + 4 < lower.size() ? lower[at + 4] : '>';
        if (next != '>' && next != '/' && !std::isspace(static_cast<unsigned char>(next))) {
            out.append(html.substr(from, at + 4 - from));
            from = at + 4;
            continue;
        }
        out.append(html.substr(from, at - from));
        const std::size_t close = lower.find('>', at);
        const std::size_t tagEnd = close == std::string::npos ? html.size() : close + 1;
        const std::string_view tag = html.substr(at, tagEnd - at);
        from = tagEnd;

        const auto src = srcOf(tag);
        if (!src)
            continue;
        // Addresses in attributes may carry "&amp;" for "&".
        const std::string url = text::replaceAll(trimmed(src->value), "&amp;", "&");
        // Relative, data:, file:, javascript: … – nothing to show offline.
        const fs::path local = localImageOf(mapFolder, code, url);
        if (local.empty())
            continue;
        const std::string fileName = url.substr(url.rfind('/') + 1);
        out.append(tag.substr(0, src->begin));
        out += '"' + fileUrl(local) + '"';
        out.append(tag.substr(src->end));

        std::error_code ec;
        if (fs::exists(local, ec))
            continue;
        ++result.missing;
        if (prefetch && isPortableName(fileName) && prefetch->request(url, local))
            ++result.awaited;
    }
    out.append(html.substr(from));
    return result;
}

} // namespace tw::listing
