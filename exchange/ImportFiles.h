// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/CXmlCharSource.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct zip;

namespace tw {

class TextLookup;

// One GPX document of an import: a file on disk, or a member of a zip
// archive (never extracted under its own name).
struct ImportDocument {
    std::string name;
    std::filesystem::path path; // empty for a zip member
    std::uint64_t member = 0;   // the member's index in the archive
};

// The documents that one import of a file reads, in order:
// - a zip of a pocket query: its main file, then its "-wpts" file;
// - X.gpx: the file, then X-wpts.gpx (or X_wpts.gpx) when that lies beside
//   it, so that the additional waypoints find their caches.
class ImportDocuments {
public:
    // Nothing when the file cannot be read at all; error then says why. The
    // messages come from texts, which must outlive the documents.
    static std::optional<ImportDocuments> open(const std::filesystem::path& path, const TextLookup& texts,
                                               std::string* error);

    const std::vector<ImportDocument>& documents() const { return m_documents; }
    // Members of the zip that cannot be read (encrypted, compressed in an
    // unknown way, too large for a pocket query), each a sentence that names
    // the member. They are not among documents().
    const std::vector<std::string>& unreadable() const { return m_unreadable; }

    // The characters of one document. A zip member is inflated while the
    // source is read, one buffer at a time. When it breaks off (damaged data,
    // more bytes than a pocket query can have), the source ends there and
    // *problem says why; problem must outlive the source.
    std::unique_ptr<CXmlCharSource> read(const ImportDocument& document, std::string* problem);

    // A sentence saying what the document is when it is no GPX document at
    // all (a LOC file, a text), from the start of it: its first element's
    // start tag, shortened, or that it holds no element. Empty for a GPX
    // document, a truncated one too, and for one that cannot be read.
    std::string notGpx(const ImportDocument& document);

private:
    struct ZipCloser {
        void operator()(zip* archive) const;
    };
    std::unique_ptr<zip, ZipCloser> m_archive;
    const TextLookup* m_texts = nullptr;
    std::vector<ImportDocument> m_documents;
    std::vector<std::string> m_unreadable;
};

} // namespace tw
