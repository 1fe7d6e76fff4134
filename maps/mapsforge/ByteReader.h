// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tw::maps {

/** Reads the numbers and strings of a map file from a block of bytes it
 *  does not own, never past its end. The first failure sticks: every later
 *  read gives 0 or empty, and failure() says what went wrong first. */
class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool ok() const { return m_failure == nullptr; }
    const char* failure() const { return m_failure; }
    void fail(const char* why)
    {
        if (!m_failure)
            m_failure = why;
        m_pos = m_size;
    }

    std::size_t position() const { return m_pos; }
    std::size_t size() const { return m_size; }
    std::size_t remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos == m_size; }

    void skip(std::size_t n)
    {
        if (n > remaining())
            return fail("a field runs past the end of its block");
        m_pos += n;
    }
    void seek(std::size_t pos)
    {
        if (pos > m_size)
            return fail("an offset points past the end of its block");
        m_pos = pos;
    }

    /** The next n bytes as a reader of their own; this one moves past them. */
    ByteReader window(std::size_t n)
    {
        if (n > remaining()) {
            fail("a block runs past the end of the block it is in");
            ByteReader failed(m_data, 0);
            failed.fail(m_failure);
            return failed;
        }
        ByteReader inner(m_data + m_pos, n);
        m_pos += n;
        return inner;
    }

    /** A big-endian unsigned number of 1..8 bytes. */
    std::uint64_t fixed(int bytes)
    {
        if (static_cast<std::size_t>(bytes) > remaining()) {
            fail("a field runs past the end of its block");
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value = (value << 8) | m_data[m_pos++];
        return value;
    }
    std::uint8_t byte() { return static_cast<std::uint8_t>(fixed(1)); }
    std::int32_t int32() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(fixed(4))); }
    std::int64_t int64() { return static_cast<std::int64_t>(fixed(8)); }

    /** An unsigned variable-byte number: 7 bits a byte, least significant
     *  first, high bit set while more follow. More than 5 bytes (beyond the
     *  32 bits the format uses) fail. */
    std::uint64_t vbeU()
    {
        std::uint64_t value = 0;
        for (int i = 0; i < kMaxVbeBytes; ++i) {
            if (m_pos >= m_size) {
                fail("a number runs past the end of its block");
                return 0;
            }
            const std::uint8_t b = m_data[m_pos++];
            value |= static_cast<std::uint64_t>(b & 0x7f) << (7 * i);
            if (!(b & 0x80))
                return value;
        }
        fail("a variable-length number of more than 5 bytes");
        return 0;
    }

    /** A signed variable-byte number: as vbeU, but the last byte holds 6
     *  bits and the sign (0x40); negative values are stored as magnitude. */
    std::int64_t vbeS()
    {
        std::int64_t value = 0;
        for (int i = 0; i < kMaxVbeBytes; ++i) {
            if (m_pos >= m_size) {
                fail("a number runs past the end of its block");
                return 0;
            }
            const std::uint8_t b = m_data[m_pos++];
            if (b & 0x80) {
                value |= static_cast<std::int64_t>(b & 0x7f) << (7 * i);
                continue;
            }
            value |= static_cast<std::int64_t>(b & 0x3f) << (7 * i);
            return (b & 0x40) ? -value : value;
        }
        fail("a variable-length number of more than 5 bytes");
        return 0;
    }

    /** A string: its length in bytes (vbeU), then its UTF-8 bytes. The
     *  length is checked against what remains before anything is taken. */
    std::string_view string()
    {
        const std::uint64_t length = vbeU();
        if (length > remaining()) {
            fail("a string is longer than the bytes that remain");
            return {};
        }
        const std::string_view text(reinterpret_cast<const char*>(m_data + m_pos), static_cast<std::size_t>(length));
        m_pos += static_cast<std::size_t>(length);
        return text;
    }

    /** The next n bytes as text, without a length before them. */
    std::string_view raw(std::size_t n)
    {
        if (n > remaining()) {
            fail("a field runs past the end of its block");
            return {};
        }
        const std::string_view text(reinterpret_cast<const char*>(m_data + m_pos), n);
        m_pos += n;
        return text;
    }

private:
    static constexpr int kMaxVbeBytes = 5;

    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    const char* m_failure = nullptr;
};

} // namespace tw::maps
