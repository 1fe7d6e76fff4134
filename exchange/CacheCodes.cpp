// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/CacheCodes.h"

#include <algorithm>
#include <array>

namespace tw::codes {
namespace {

constexpr std::int64_t kBase31Offset = 411120;
constexpr std::int64_t kFirstBase31 = 0x10000;
// GC and six letters of base 31 hold every id the site will give out for years.
constexpr std::size_t kMaxCodeLetters = 6;

bool isCapitalOrDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool inAlphabet(std::string_view letters)
{
    return std::all_of(letters.begin(), letters.end(),
                       [](char c) { return kCodeAlphabet.find(c) != std::string_view::npos; });
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'A' && c <= 'F');
}

// The code ends where a query, a path, a fragment or the address ends.
std::string_view codeAt(std::string_view url, std::size_t at)
{
    const std::size_t end = url.find_first_of("&/?#", at);
    const std::string_view code = url.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    return isWholeCode(code) ? code : std::string_view();
}

} // namespace

std::string gcCodeFromId(std::int64_t id)
{
    if (id < 1)
        return {};
    std::array<char, 16> digits{};
    std::size_t n = 0;
    if (id < kFirstBase31) {
        for (; id > 0; id /= 16)
            digits[n++] = kCodeAlphabet[static_cast<std::size_t>(id % 16)];
    } else {
        for (id += kBase31Offset; id > 0; id /= 31)
            digits[n++] = kCodeAlphabet[static_cast<std::size_t>(id % 31)];
    }
    std::string code = "GC";
    while (n > 0)
        code += digits[--n];
    return code;
}

std::optional<std::int64_t> idFromGcCode(std::string_view code)
{
    if (!code.starts_with("GC"))
        return std::nullopt;
    const std::string_view letters = code.substr(2);
    if (letters.empty() || letters.size() > kMaxCodeLetters || !inAlphabet(letters))
        return std::nullopt;
    // Four letters or fewer, all of them hexadecimal: the first codes.
    // Base-31 codes start at "G000", beyond every base-16 one.
    if (letters.size() <= 4 && std::all_of(letters.begin(), letters.end(), isHexDigit)) {
        std::int64_t id = 0;
        for (const char c : letters)
            id = id * 16 + static_cast<std::int64_t>(kCodeAlphabet.find(c));
        return id;
    }
    std::int64_t value = 0;
    for (const char c : letters)
        value = value * 31 + static_cast<std::int64_t>(kCodeAlphabet.find(c));
    if (value - kBase31Offset < kFirstBase31)
        return std::nullopt;
    return value - kBase31Offset;
}

bool isWholeCode(std::string_view text)
{
    if (text.size() < 3 || text.size() > 2 + kMaxCodeLetters)
        return false;
    if (text[0] < 'A' || text[0] > 'Z' || text[1] < 'A' || text[1] > 'Z')
        return false;
    const std::string_view letters = text.substr(2);
    if (!std::all_of(letters.begin(), letters.end(), isCapitalOrDigit))
        return false;
    // A code with letters the site never writes but with a digit is still
    // taken as it stands: files written by hand or by earlier imports use
    // such codes, and a cache must not change its code on the next import.
    if (text.starts_with("GC"))
        return inAlphabet(letters) || std::any_of(letters.begin(), letters.end(), isDigit);
    return letters.size() >= 2 && std::any_of(letters.begin(), letters.end(), isDigit);
}

bool isCodeWithoutPrefix(std::string_view text)
{
    return text.size() >= 2 && text.size() <= kMaxCodeLetters && inAlphabet(text);
}

std::string_view codeFromUrl(std::string_view url)
{
    // "wp=" as a query parameter, not as the end of another one's name.
    for (std::size_t at = url.find("wp="); at != std::string_view::npos; at = url.find("wp=", at + 1)) {
        if (at > 0 && (url[at - 1] == '?' || url[at - 1] == '&'))
            if (const auto code = codeAt(url, at + 3); !code.empty())
                return code;
    }
    for (const std::string_view marker : {std::string_view("/geocache/"), std::string_view("coord.info/")}) {
        const std::size_t at = url.find(marker);
        if (at == std::string_view::npos)
            continue;
        // A listing address may go on with the cache's name: "/geocache/GC1ABCD_the-name".
        std::string_view code = url.substr(at + marker.size());
        code = code.substr(0, std::min(code.find_first_of("&/?#_"), code.size()));
        if (isWholeCode(code))
            return code;
    }
    return {};
}

} // namespace tw::codes
