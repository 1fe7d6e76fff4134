// SPDX-License-Identifier: GPL-3.0-or-later
// The routes and tracks of GPX and KML files.
#include "exchange/RouteReaders.h"

#include "platform/Numbers.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CXmlTokenizer.h"
#include "xml/XmlElementWalker.h"

#include <array>
#include <cstring>
#include <optional>
#include <string_view>

namespace tw::route {
namespace {

// The elements that matter here, by local name (a prefix such as "gx:" is
// dropped: KML 2.2 writes gx:Track, KML 2.3 writes Track).
enum class Tag : unsigned char { Other, Gpx, Kml, Rte, Rtept, Trk, Trkseg, Trkpt, LineString, Coordinates, Track, Coord };

Tag tagOf(const char* name)
{
    if (const char* colon = std::strrchr(name, ':'))
        name = colon + 1;
    static constexpr std::pair<std::string_view, Tag> kTags[] = {
        {"gpx", Tag::Gpx},       {"kml", Tag::Kml},         {"rte", Tag::Rte},
        {"rtept", Tag::Rtept},   {"trk", Tag::Trk},         {"trkseg", Tag::Trkseg},
        {"trkpt", Tag::Trkpt},   {"LineString", Tag::LineString}, {"coordinates", Tag::Coordinates},
        {"Track", Tag::Track},   {"coord", Tag::Coord},
    };
    for (const auto& [text, tag] : kTags)
        if (text == name)
            return tag;
    return Tag::Other;
}

// Reads coordinates as the text arrives, whatever the tokens it comes in:
// a line string's "lon,lat[,alt]" tuples parted by blanks, or a track's
// single "lon lat [alt]". One line string may hold megabytes of them.
class CoordinateText {
public:
    enum class Mode { Off, Tuples, Single };

    void begin(Mode mode)
    {
        m_mode = mode;
        reset();
    }
    bool on() const { return m_mode != Mode::Off; }
    void feed(std::u16string_view text, LineCollector& lines)
    {
        for (const char16_t c : text) {
            const bool blank = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
            if (m_mode == Mode::Tuples && blank)
                endTuple(lines);
            else if (blank || c == u',')
                endNumber(c == u',');
            else if (m_length + 1 < m_number.size() && c < 0x80)
                m_number[m_length++] = static_cast<char>(c);
            else
                m_bad = true;
        }
    }
    void end(LineCollector& lines)
    {
        endTuple(lines);
        m_mode = Mode::Off;
    }

private:
    void reset()
    {
        m_length = 0;
        m_fields = 0;
        m_bad = false;
    }
    void endNumber(bool comma)
    {
        if (m_length == 0) {
            m_bad = m_bad || comma; // "1,,2" has lost a field
            return;
        }
        const auto v = num::parseDouble(std::string_view(m_number.data(), m_length));
        if (!v)
            m_bad = true;
        else if (m_fields < 2)
            m_values[m_fields] = *v;
        ++m_fields;
        m_length = 0;
    }
    void endTuple(LineCollector& lines)
    {
        endNumber(false);
        if (!m_bad && m_fields >= 2)
            lines.add(m_values[1], m_values[0]);
        reset();
    }

    Mode m_mode = Mode::Off;
    std::array<char, 40> m_number{};
    std::size_t m_length = 0;
    std::array<double, 2> m_values{};
    int m_fields = 0;
    bool m_bad = false;
};

class XmlRouteReader {
public:
    explicit XmlRouteReader(LineCollector& lines) : m_lines(lines) {}

    // True when the root element closed, or the collector filled before.
    bool read(CXmlTokenizer& xml)
    {
        bool inComment = false;
        for (int token = xml.NextToken(); token != XT_END; token = xml.NextToken()) {
            switch (token) {
            case XT_COMMENT_START:
                inComment = true;
                break;
            case XT_COMMENT_END:
                inComment = false;
                break;
            case XT_START_TAG: {
                const char* name = xml.GetTagName();
                if (name[0] == '?' || name[0] == '!')
                    break; // the XML declaration, a document type
                if (!start(tagOf(name)))
                    return false;
                break;
            }
            case XT_ATTRIBUTE:
                if (m_point && (current() == Tag::Rtept || current() == Tag::Trkpt))
                    attribute(xml.GetAttrName(), xml.GetValue());
                break;
            case XT_TEXT:
            case XT_SPACE:
            case XT_CHUNK:
                if (m_coordinates.on() && !inComment)
                    m_coordinates.feed(xml.GetValue(), m_lines);
                break;
            case XT_END_TAG:
                if (m_depth == 0)
                    return false; // an end tag with nothing open
                end();
                if (m_depth == 0)
                    return true;
                break;
            default:
                break;
            }
            if (m_lines.full())
                return true;
        }
        return false; // the file ended inside its root element
    }

private:
    // The innermost open element.
    Tag current() const { return m_depth > 0 ? m_stack[m_depth - 1] : Tag::Other; }

    bool start(Tag tag)
    {
        if (m_depth == 0 && m_root != Tag::Other)
            return false; // a second root
        if (m_depth == static_cast<int>(m_stack.size()))
            return false;
        if (m_depth == 0) {
            if (tag != Tag::Gpx && tag != Tag::Kml)
                return false;
            m_root = tag;
        }
        const Tag up = current();
        m_stack[m_depth++] = tag;
        if (m_root == Tag::Gpx) {
            if (tag == Tag::Rte || tag == Tag::Trk || tag == Tag::Trkseg)
                m_lines.beginLine();
            else if ((tag == Tag::Rtept && up == Tag::Rte) ||
                     (tag == Tag::Trkpt && (up == Tag::Trkseg || up == Tag::Trk))) {
                m_point = true;
                m_lat.reset();
                m_lon.reset();
            }
        } else {
            if (tag == Tag::Coordinates && up == Tag::LineString) {
                m_lines.beginLine();
                m_coordinates.begin(CoordinateText::Mode::Tuples);
            } else if (tag == Tag::Track) {
                m_lines.beginLine();
            } else if (tag == Tag::Coord && up == Tag::Track) {
                m_coordinates.begin(CoordinateText::Mode::Single);
            }
        }
        return true;
    }

    void attribute(const char* name, std::u16string_view value)
    {
        std::array<char, 40> text{};
        std::size_t n = 0;
        for (const char16_t c : value) {
            if (n + 1 >= text.size() || c >= 0x80)
                return;
            if (c != u' ' && c != u'\t')
                text[n++] = static_cast<char>(c);
        }
        const auto v = num::parseDouble(std::string_view(text.data(), n));
        if (std::strcmp(name, "lat") == 0)
            m_lat = v;
        else if (std::strcmp(name, "lon") == 0)
            m_lon = v;
    }

    void end()
    {
        const Tag tag = m_stack[--m_depth];
        if (m_coordinates.on() && (tag == Tag::Coordinates || tag == Tag::Coord)) {
            m_coordinates.end(m_lines);
        } else if (m_point && (tag == Tag::Rtept || tag == Tag::Trkpt)) {
            if (m_lat && m_lon)
                m_lines.add(*m_lat, *m_lon);
            m_point = false;
        }
    }

    LineCollector& m_lines;
    std::array<Tag, kMaxElementDepth> m_stack{};
    int m_depth = 0;
    Tag m_root = Tag::Other;
    bool m_point = false;
    std::optional<double> m_lat, m_lon;
    CoordinateText m_coordinates;
};

} // namespace

bool readXmlRoutes(const std::filesystem::path& path, LineCollector& lines)
{
    CUtf8FileSource source(path);
    if (!source.isOpen())
        return false;
    CXmlTokenizer xml(source);
    return XmlRouteReader(lines).read(xml);
}

} // namespace tw::route
