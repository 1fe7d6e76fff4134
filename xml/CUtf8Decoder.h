// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/CXmlCharSource.h"

#include <string>

struct UConverter;

namespace tw {

// Decodes the bytes of an XML document. They are UTF-8 unless a byte-order
// mark says UTF-16 or UTF-32, or the XML declaration names another encoding
// ("ISO-8859-1", "windows-1250", ...), which is then converted. An encoding
// name that is not known reads as UTF-8, so the document still reads, with
// its non-ASCII letters garbled at worst; unknownEncoding() tells it.
// A malformed sequence gives U+FFFD and reading goes on. A character beyond
// U+FFFF comes as its two surrogates, which may fall into two reads.
// A byte-order mark is skipped.
class CUtf8Decoder : public CXmlCharSource {
public:
    CUtf8Decoder() = default;
    ~CUtf8Decoder() override;
    CUtf8Decoder(const CUtf8Decoder&) = delete;
    CUtf8Decoder& operator=(const CUtf8Decoder&) = delete;

    char16_t GetChar() override;
    std::size_t getChars(char16_t* out, std::size_t max) override;

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
    char32_t utf8Sequence();
    std::size_t convert(char16_t* out, std::size_t max);

    // The second surrogate of a character that did not fit into the last read.
    char16_t m_pendingLow = 0;
    bool m_started = false;
    bool m_ended = false;
    UConverter* m_converter = nullptr; // null: the bytes are UTF-8
    std::string m_encoding = "UTF-8";
    std::string m_unknownEncoding;
};

} // namespace tw
