// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

struct UConverter;

namespace tw {

// Where the XML tokenizer reads its characters from, one UTF-16 code unit at
// a time. 0 means "end of input" from GetChar; a source may also return 0
// for a NUL in the data and go on after it when asked again. Bad input that
// is not a NUL comes out as U+FFFD.
class CXmlCharSource {
public:
    virtual ~CXmlCharSource() = default;
    virtual char16_t GetChar() = 0;
    // Up to max units at once; 0 only at the end of the input. A NUL, which
    // XML does not allow anywhere, is left out. The tokenizer reads through
    // this.
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
        char16_t* o = out;
        while (o == out && m_pos < m_end) {
            const std::size_t n = std::min(max, static_cast<std::size_t>(m_end - m_pos));
            o = std::remove_copy(m_pos, m_pos + n, out, u'\0');
            m_pos += n;
        }
        return static_cast<std::size_t>(o - out);
    }

private:
    const char16_t* m_pos;
    const char16_t* m_end;
};

// Decodes the bytes of an XML document. They are UTF-8 unless a byte-order
// mark says UTF-16 or UTF-32, or the XML declaration names another encoding
// ("ISO-8859-1", "windows-1250", ...), which is then converted. An encoding
// name that is not known reads as UTF-8, so the document still reads, with
// its non-ASCII letters garbled at worst; unknownEncoding() tells it.
// A malformed sequence gives U+FFFD and reading goes on; so does a character
// beyond U+FFFF in UTF-8 (the tokenizer works in single UTF-16 units).
// A byte-order mark is skipped.
class CUtf8Decoder : public CXmlCharSource {
public:
    CUtf8Decoder() = default;
    ~CUtf8Decoder() override;
    CUtf8Decoder(const CUtf8Decoder&) = delete;
    CUtf8Decoder& operator=(const CUtf8Decoder&) = delete;

    char16_t GetChar() override;
    std::size_t GetChars(char16_t* out, std::size_t max) override;

    // The encoding the document is read in ("UTF-8", "UTF-16LE", or the name
    // in its declaration). Settled by the first read.
    const std::string& encoding() const { return m_encoding; }
    // The encoding name of the declaration when it is not known, else empty.
    const std::string& unknownEncoding() const { return m_unknownEncoding; }

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
    void start();
    char16_t utf8Sequence();
    std::size_t convert(char16_t* out, std::size_t max);

    bool m_started = false;
    bool m_ended = false;
    UConverter* m_converter = nullptr; // null: the bytes are UTF-8
    std::string m_encoding = "UTF-8";
    std::string m_unknownEncoding;
};

// Decodes an XML file through a read buffer. A file that cannot be opened
// reads as empty.
class CUtf8FileSource final : public CUtf8Decoder {
public:
    explicit CUtf8FileSource(const std::filesystem::path& path);
    ~CUtf8FileSource() override;

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

// Decodes XML bytes held in memory (a zip member, a network response).
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
// The same, appended to out.
void appendUtf8(std::string& out, std::u16string_view text);
std::u16string toUtf16(std::string_view utf8);

} // namespace tw
