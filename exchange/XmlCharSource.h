// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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
};

// Walks a UTF-16 text that the caller keeps alive.
class CWideStringSource final : public CXmlCharSource {
public:
    explicit CWideStringSource(std::u16string_view text) : m_pos(text.data()), m_end(text.data() + text.size()) {}
    char16_t GetChar() override { return m_pos < m_end ? *m_pos++ : u'\0'; }

private:
    const char16_t* m_pos;
    const char16_t* m_end;
};

// Decodes UTF-8 bytes one character per call. A character beyond U+FFFF
// gives U+FFFD (the tokenizer works in single UTF-16 units).
class CUtf8Decoder : public CXmlCharSource {
public:
    char16_t GetChar() override;

protected:
    // Next byte, or -1 at the end of the data.
    virtual int readByte() = 0;
    // Gives the last byte back, to be read again.
    virtual void unreadByte() = 0;
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
    long long bytesRead() const { return m_consumed; }

protected:
    int readByte() override;
    void unreadByte() override;

private:
    std::FILE* m_file = nullptr;
    std::vector<unsigned char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    long long m_consumed = 0;
};

// Decodes UTF-8 bytes held in memory (a zip member, a network response).
class CUtf8MemorySource final : public CUtf8Decoder {
public:
    explicit CUtf8MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    long long bytesRead() const { return static_cast<long long>(m_pos); }

protected:
    int readByte() override { return m_pos < m_bytes.size() ? static_cast<unsigned char>(m_bytes[m_pos++]) : -1; }
    void unreadByte() override
    {
        if (m_pos > 0)
            --m_pos;
    }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

// UTF-16 to UTF-8 and back; unpaired surrogates become U+FFFD.
std::string toUtf8(std::u16string_view text);
std::u16string toUtf16(std::string_view utf8);

} // namespace tw
