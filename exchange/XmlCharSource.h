// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Where the XML tokenizer reads its characters from, one UTF-16 code unit at
// a time. 0 means "end of input" to the tokenizer; a source also returns 0 for
// a NUL in the data and for a malformed sequence, and goes on after it when
// asked again.
class CXmlCharSource {
public:
    virtual ~CXmlCharSource() = default;
    virtual char16_t GetChar() = 0;
    // Up to max units at once, the 0 units of bad input included; 0 only at
    // the end of the input. The tokenizer reads through this.
    virtual std::size_t GetChars(char16_t* out, std::size_t max)
    {
        const char16_t c = GetChar();
        if (c == 0 || max == 0)
            return 0;
        out[0] = c;
        return 1;
    }
};

// Walks a UTF-16 text that the caller keeps alive.
class CWideStringSource final : public CXmlCharSource {
public:
    explicit CWideStringSource(std::u16string_view text) : m_pos(text.data()), m_end(text.data() + text.size()) {}
    char16_t GetChar() override { return m_pos < m_end ? *m_pos++ : u'\0'; }
    std::size_t GetChars(char16_t* out, std::size_t max) override
    {
        const std::size_t n = std::min(max, static_cast<std::size_t>(m_end - m_pos));
        std::copy(m_pos, m_pos + n, out);
        m_pos += n;
        return n;
    }

private:
    const char16_t* m_pos;
    const char16_t* m_end;
};

// Decodes UTF-8 bytes one character per call. A character beyond U+FFFF
// gives U+FFFD (the tokenizer works in single UTF-16 units).
class CUtf8Decoder : public CXmlCharSource {
public:
    char16_t GetChar() override;
    std::size_t GetChars(char16_t* out, std::size_t max) override;

protected:
    // Makes [m_pos, m_end) the next bytes; false at the end of the data.
    virtual bool refill() = 0;

    const unsigned char* m_pos = nullptr;
    const unsigned char* m_end = nullptr;

private:
    int readByte()
    {
        if (m_pos == m_end && !refill())
            return -1;
        return *m_pos++;
    }
    // The byte just read is always still in the buffer: a refill happens
    // only when the buffer is used up, and the unread follows a read.
    void unreadByte() { --m_pos; }
};

// Decodes a UTF-8 file through a read buffer. A file that cannot be opened
// reads as empty.
class CUtf8FileSource final : public CUtf8Decoder {
public:
    explicit CUtf8FileSource(const std::filesystem::path& path);
    ~CUtf8FileSource() override;
    CUtf8FileSource(const CUtf8FileSource&) = delete;
    CUtf8FileSource& operator=(const CUtf8FileSource&) = delete;

    bool isOpen() const { return m_file != nullptr; }
    // Bytes consumed so far (for progress on large files).
    long long bytesRead() const { return m_filled - (m_end - m_pos); }

protected:
    bool refill() override;

private:
    std::FILE* m_file = nullptr;
    std::vector<unsigned char> m_buffer;
    long long m_filled = 0;
};

// Decodes UTF-8 bytes held in memory (a zip member, a network response).
class CUtf8MemorySource final : public CUtf8Decoder {
public:
    explicit CUtf8MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    long long bytesRead() const { return m_pos ? m_pos - reinterpret_cast<const unsigned char*>(m_bytes.data()) : 0; }

protected:
    bool refill() override
    {
        if (m_given || m_bytes.empty())
            return false;
        m_given = true;
        m_pos = reinterpret_cast<const unsigned char*>(m_bytes.data());
        m_end = m_pos + m_bytes.size();
        return true;
    }

private:
    std::string_view m_bytes;
    bool m_given = false;
};

// UTF-16 to UTF-8 and back; unpaired surrogates become U+FFFD.
std::string toUtf8(std::u16string_view text);
std::u16string toUtf16(std::string_view utf8);

} // namespace tw
