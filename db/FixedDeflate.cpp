// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/FixedDeflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace tw {
namespace {

// A code as it goes into the stream: the bits in writing order, and how many.
struct Code {
    std::uint32_t bits = 0;
    std::uint32_t count = 0;
};

constexpr std::uint32_t Reversed(std::uint32_t code, int length)
{
    std::uint32_t r = 0;
    for (int i = 0; i < length; ++i, code >>= 1)
        r = (r << 1) | (code & 1);
    return r;
}

constexpr int kMinMatch = 4; // the hash reads four bytes
constexpr int kMaxMatch = 258;
constexpr std::size_t kWindow = 32768;

constexpr std::array<std::uint16_t, 30> kDistanceBase = {
    1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385, 513, 769,
    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};

struct FixedCodes {
    std::array<Code, 257> literal{};           // bytes and the end of the block
    std::array<Code, kMaxMatch + 1> length{};  // length code with its extra bits
    std::array<std::uint8_t, 512> distanceSymbol{};
    std::array<std::uint32_t, 30> distanceCode{}; // five bits each

    constexpr FixedCodes()
    {
        // The fixed literal/length code: 0-143 in 8 bits from 0x30,
        // 144-255 in 9 bits from 0x190, 256-279 in 7 bits from 0,
        // 280-287 in 8 bits from 0xC0. Huffman codes go in from their
        // most significant bit.
        auto symbol = [](int s) -> Code {
            if (s < 144)
                return {Reversed(0x30 + s, 8), 8};
            if (s < 256)
                return {Reversed(0x190 + s - 144, 9), 9};
            if (s < 280)
                return {Reversed(s - 256, 7), 7};
            return {Reversed(0xC0 + s - 280, 8), 8};
        };
        for (int s = 0; s <= 256; ++s)
            literal[s] = symbol(s);
        constexpr std::array<std::uint16_t, 29> base = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27,
                                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        for (int s = 0; s < 29; ++s) {
            const int extraBits = (s < 8 || s == 28) ? 0 : (s - 4) / 4;
            // 258 has a code of its own, so the code before it stops at 257.
            const int last = s == 28 ? 258 : std::min(base[s] + (1 << extraBits) - 1, 257);
            const Code code = symbol(257 + s);
            for (int l = base[s]; l <= last; ++l)
                length[l] = {code.bits | (std::uint32_t(l - base[s]) << code.count), code.count + extraBits};
        }
        // Distances up to 256 by themselves, longer ones in steps of 128:
        // above 256 every code starts one past a multiple of 128.
        for (int i = 0; i < 512; ++i) {
            const int d = i < 256 ? i + 1 : (i - 256) * 128 + 1;
            int s = 0;
            while (s < 29 && kDistanceBase[s + 1] <= d)
                ++s;
            distanceSymbol[i] = std::uint8_t(s);
        }
        for (int s = 0; s < 30; ++s)
            distanceCode[s] = Reversed(std::uint32_t(s), 5);
    }
};

constexpr FixedCodes kCodes;

// Bits out, least significant first, four bytes at a time.
class BitWriter
{
public:
    explicit BitWriter(unsigned char* out) : m_out(out) {}

    void put(std::uint32_t bits, std::uint32_t count)
    {
        m_pending |= std::uint64_t(bits) << m_count;
        m_count += count;
        if (m_count >= 32) {
            const auto word = std::uint32_t(m_pending);
            unsigned char bytes[4] = {std::uint8_t(word), std::uint8_t(word >> 8), std::uint8_t(word >> 16),
                                      std::uint8_t(word >> 24)};
            std::memcpy(m_out, bytes, 4);
            m_out += 4;
            m_pending >>= 32;
            m_count -= 32;
        }
    }

    // Pads the last byte with zeros; returns the end of the written bytes.
    unsigned char* flush()
    {
        for (; m_count > 0; m_count = m_count > 8 ? m_count - 8 : 0) {
            *m_out++ = std::uint8_t(m_pending);
            m_pending >>= 8;
        }
        return m_out;
    }

private:
    unsigned char* m_out;
    std::uint64_t m_pending = 0;
    std::uint32_t m_count = 0;
};

std::uint32_t Load32(const unsigned char* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// How far a and b agree, up to limit bytes.
std::size_t MatchLength(const unsigned char* a, const unsigned char* b, std::size_t limit)
{
    std::size_t n = 0;
    for (; n + 8 <= limit; n += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) {
            const std::uint64_t diff = x ^ y;
            // The first differing byte in memory order.
            if constexpr (std::endian::native == std::endian::little)
                return n + std::size_t(__builtin_ctzll(diff) >> 3);
            else
                return n + std::size_t(__builtin_clzll(diff) >> 3);
        }
    }
    while (n < limit && a[n] == b[n])
        ++n;
    return n;
}

} // namespace

void deflateFixed(const unsigned char* data, std::size_t size, std::vector<unsigned char>& out)
{
    // Where each four-byte hash was last seen, as a position on a count
    // that runs on across calls: entries from earlier texts are older than
    // this text's origin and so never match. That saves clearing the table.
    constexpr int kHashBits = 12;
    thread_local std::array<std::uint32_t, 1u << kHashBits> lastSeen{};
    // Beyond 1 GB positions would not fit the count; such a text goes out
    // as literals, which is still a valid stream.
    thread_local std::uint32_t next = 1;
    const bool matching = size < (1u << 30);
    if (matching && next > 0xF0000000u - size) {
        lastSeen.fill(0);
        next = 1;
    }
    const std::uint32_t origin = next;
    if (matching)
        next += std::uint32_t(size) + 1;
    auto hash = [](std::uint32_t v) { return (v * 2654435761u) >> (32 - kHashBits); };

    // At most 9 bits a byte, plus the header, end of block, checksum and
    // the writer's last partial word.
    out.resize(size + size / 8 + 16);
    unsigned char* o = out.data();
    *o++ = 0x78; // deflate, 32 KB window
    *o++ = 0x01; // fastest; the header's check bits make 0x7801 divisible by 31
    BitWriter bits(o);
    bits.put(0b011, 3); // the last block, fixed codes

    std::size_t i = 0;
    while (matching && i + kMinMatch <= size) {
        const std::uint32_t v = Load32(data + i);
        const std::uint32_t h = hash(v);
        const std::uint32_t seen = lastSeen[h];
        lastSeen[h] = origin + std::uint32_t(i);
        if (seen >= origin && i - (seen - origin) <= kWindow && Load32(data + (seen - origin)) == v) {
            const std::size_t from = seen - origin;
            const std::size_t distance = i - from;
            const std::size_t limit = std::min<std::size_t>(kMaxMatch, size - i);
            const std::size_t length = kMinMatch + MatchLength(data + from + kMinMatch, data + i + kMinMatch, limit - kMinMatch);
            const Code lengthCode = kCodes.length[length];
            bits.put(lengthCode.bits, lengthCode.count);
            const int s = kCodes.distanceSymbol[distance <= 256 ? distance - 1 : 256 + ((distance - 1) >> 7)];
            const int extraBits = s < 4 ? 0 : (s - 2) / 2;
            bits.put(kCodes.distanceCode[s] | (std::uint32_t(distance - kDistanceBase[s]) << 5), 5 + extraBits);
            const std::size_t end = i + length;
            // Only the match's last two places go into the table: text
            // repeats in runs, and the next match starts where this one
            // ends far more often than inside it. Every place cost a third
            // of the time and saved under 1 % of the bytes.
            for (i = std::max(i + 1, end - 2); i < end && i + kMinMatch <= size; ++i)
                lastSeen[hash(Load32(data + i))] = origin + std::uint32_t(i);
            i = end;
            continue;
        }
        const Code c = kCodes.literal[data[i]];
        bits.put(c.bits, c.count);
        ++i;
    }
    for (; i < size; ++i)
        bits.put(kCodes.literal[data[i]].bits, kCodes.literal[data[i]].count);
    bits.put(kCodes.literal[256].bits, kCodes.literal[256].count);
    o = bits.flush();

    // zlib's checksum, most significant byte first.
    const std::uint32_t sum = libdeflate_adler32(1, data, size);
    for (int shift = 24; shift >= 0; shift -= 8)
        *o++ = std::uint8_t(sum >> shift);
    out.resize(std::size_t(o - out.data()));
}

} // namespace tw
