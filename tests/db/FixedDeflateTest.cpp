// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/FixedDeflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace tw {
namespace {

// What zlib's own reader makes of a stream, or "not zlib: <code>".
std::string Inflated(const std::vector<unsigned char>& blob, std::size_t size)
{
    std::string out(size + 1, '\0');
    uLongf length = out.size();
    const int rc = uncompress(reinterpret_cast<Bytef*>(out.data()), &length, blob.data(), blob.size());
    if (rc != Z_OK)
        return "not zlib: " + std::to_string(rc);
    out.resize(length);
    return out;
}

std::string Packed(const std::string& text)
{
    std::vector<unsigned char> blob;
    deflateFixed(reinterpret_cast<const unsigned char*>(text.data()), text.size(), blob);
    return Inflated(blob, text.size());
}

TEST(deflateFixed, EveryShapeOfTextInflatesBackWithZlib)
{
    std::mt19937 random(7);
    std::string noise(5000, '\0');
    for (char& c : noise)
        c = char(random());
    std::string allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes += char(i);

    std::vector<std::string> texts = {"", "a", "ab", "abc", "abcd", "abcdabcd", allBytes, noise,
                                      "Příliš žluťoučký kůň úpěl ďábelské ódy. Příliš žluťoučký kůň."};
    // Every match length from the shortest to beyond the longest, ending
    // at the text's end and in the middle of it.
    for (int n : {3, 4, 5, 10, 11, 18, 19, 34, 35, 130, 131, 226, 227, 257, 258, 259, 600}) {
        texts.push_back("0123" + std::string(std::size_t(n), 'x'));
        texts.push_back("0123" + std::string(std::size_t(n), 'x') + "yz" + std::string(std::size_t(n), 'x') + "!");
    }
    // Repeats at distances around each distance code's start and around
    // the window's end.
    for (std::size_t distance : {1u, 2u, 4u, 5u, 256u, 257u, 385u, 4097u, 24577u, 32767u, 32768u, 32769u, 40000u}) {
        std::string text = noise.substr(0, 300);
        while (text.size() < distance)
            text += char('a' + random() % 26);
        text.resize(distance);
        texts.push_back(text + noise.substr(0, 300));
    }
    for (const auto& text : texts)
        EXPECT_EQ(Packed(text), text) << text.size() << " bytes";
}

TEST(deflateFixed, OneTextNeverReachesBackIntoAnother)
{
    // The match table outlives a call; an earlier text's bytes must not be
    // copied into the next one, even where they would match.
    const std::string first = "The cache is under the third stone from the bridge. TFTC!";
    std::vector<unsigned char> blob;
    for (int i = 0; i < 3; ++i) {
        deflateFixed(reinterpret_cast<const unsigned char*>(first.data()), first.size(), blob);
        EXPECT_EQ(Inflated(blob, first.size()), first);
    }
    const std::string second = "stone from the bridge. TFTC!";
    deflateFixed(reinterpret_cast<const unsigned char*>(second.data()), second.size(), blob);
    EXPECT_EQ(Inflated(blob, second.size()), second);
    EXPECT_GT(blob.size(), second.size()) << "nothing to copy from within the text itself";

    // A log that repeats itself does shrink.
    std::string log;
    for (int i = 0; i < 20; ++i)
        log += "Found it after a long search, thanks for the cache! ";
    deflateFixed(reinterpret_cast<const unsigned char*>(log.data()), log.size(), blob);
    EXPECT_LT(blob.size() * 5, log.size());
    EXPECT_EQ(Inflated(blob, log.size()), log);
}

} // namespace
} // namespace tw
