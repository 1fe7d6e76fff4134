// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/PdfAstralText.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QGlyphRun>
#include <QRawFont>
#include <QRegularExpression>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

namespace tw {
namespace {

constexpr char16_t kFirstStandIn = 0xE000;
constexpr char16_t kLastStandIn = 0xF8FF;

// Big-endian numbers, as font files and the PDF's hex strings hold them.
std::uint32_t read32(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 4 > b.size())
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint16_t read16(const QByteArray& b, qsizetype at)
{
    if (at < 0 || at + 2 > b.size())
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

void put16(QByteArray& b, std::uint32_t v)
{
    b.append(static_cast<char>(v >> 8 & 0xff));
    b.append(static_cast<char>(v & 0xff));
}

void put32(QByteArray& b, std::uint32_t v)
{
    put16(b, v >> 16);
    put16(b, v & 0xffff);
}

std::uint32_t checksum(const QByteArray& table)
{
    std::uint32_t sum = 0;
    for (qsizetype at = 0; at < table.size(); at += 4) {
        std::uint32_t word = 0;
        for (qsizetype i = 0; i < 4; ++i)
            word = word << 8 | (at + i < table.size() ? static_cast<unsigned char>(table[at + i]) : 0u);
        sum += word;
    }
    return sum;
}

bool hasAstral(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isHighSurrogate(); });
}

// The characters beyond U+FFFF that a font's cmap reaches, with their
// glyphs, from its subtables of 32-bit characters (format 12).
std::map<char32_t, std::uint32_t> astralGlyphs(const QByteArray& cmap)
{
    std::map<char32_t, std::uint32_t> out;
    const int count = read16(cmap, 2);
    for (int i = 0; i < count; ++i) {
        const std::uint16_t platform = read16(cmap, 4 + i * 8);
        const std::uint16_t encoding = read16(cmap, 6 + i * 8);
        const qsizetype at = read32(cmap, 8 + i * 8);
        const bool unicode = (platform == 3 && encoding == 10) || (platform == 0 && (encoding == 4 || encoding == 6));
        if (!unicode || read16(cmap, at) != 12)
            continue;
        const std::uint32_t groups = read32(cmap, at + 12);
        if (groups > static_cast<std::uint32_t>((cmap.size() - at) / 12))
            continue; // a count past the table's end
        for (std::uint32_t g = 0; g < groups; ++g) {
            const qsizetype group = at + 16 + qsizetype(g) * 12;
            const char32_t first = std::max<char32_t>(read32(cmap, group), 0x10000);
            const char32_t last = std::min<char32_t>(read32(cmap, group + 4), 0x10FFFF);
            const std::uint32_t glyph = read32(cmap, group + 8);
            for (char32_t c = first; c <= last && c >= first; ++c)
                out.emplace(c, glyph + (c - read32(cmap, group)));
        }
    }
    return out;
}

// A cmap with a 16-bit subtable for the stand-ins and a 32-bit one for the
// stand-ins and the characters they stand for.
QByteArray twinCmap(const std::vector<std::pair<char32_t, std::uint32_t>>& glyphs)
{
    const auto n = static_cast<std::uint32_t>(glyphs.size());
    QByteArray short16;
    const std::uint32_t segments = 2;
    put16(short16, 4);
    put16(short16, static_cast<std::uint32_t>(16 + 8 * segments + 2 * n));
    put16(short16, 0);
    put16(short16, segments * 2);
    put16(short16, 4); // searchRange: 2 × the greatest power of two ≤ segments
    put16(short16, 1);
    put16(short16, 0);
    put16(short16, kFirstStandIn + n - 1);
    put16(short16, 0xFFFF);
    put16(short16, 0);
    put16(short16, kFirstStandIn);
    put16(short16, 0xFFFF);
    put16(short16, 0);
    put16(short16, 1);
    put16(short16, segments * 2); // the glyphs follow the two range offsets
    put16(short16, 0);
    for (const auto& [c, glyph] : glyphs)
        put16(short16, glyph);

    std::vector<std::pair<char32_t, std::uint32_t>> all;
    for (std::uint32_t i = 0; i < n; ++i)
        all.emplace_back(kFirstStandIn + i, glyphs[i].second);
    all.insert(all.end(), glyphs.begin(), glyphs.end());
    QByteArray long32;
    put16(long32, 12);
    put16(long32, 0);
    put32(long32, static_cast<std::uint32_t>(16 + 12 * all.size()));
    put32(long32, 0);
    put32(long32, static_cast<std::uint32_t>(all.size()));
    for (const auto& [c, glyph] : all) {
        put32(long32, c);
        put32(long32, c);
        put32(long32, glyph);
    }

    QByteArray cmap;
    put16(cmap, 0);
    put16(cmap, 2);
    put16(cmap, 3);
    put16(cmap, 1);
    put32(cmap, 20);
    put16(cmap, 3);
    put16(cmap, 10);
    put32(cmap, static_cast<std::uint32_t>(20 + short16.size()));
    return cmap + short16 + long32;
}

QByteArray nameTable(const QString& family, const QByteArray& postscript)
{
    const std::array<std::pair<int, QString>, 5> names{{{1, family},
                                                        {2, QStringLiteral("Regular")},
                                                        {3, QString::fromLatin1(postscript)},
                                                        {4, family},
                                                        {6, QString::fromLatin1(postscript)}}};
    QByteArray records, strings;
    for (const auto& [id, value] : names) {
        QByteArray utf16;
        for (QChar c : value)
            put16(utf16, c.unicode());
        put16(records, 3);
        put16(records, 1);
        put16(records, 0x409);
        put16(records, static_cast<std::uint32_t>(id));
        put16(records, static_cast<std::uint32_t>(utf16.size()));
        put16(records, static_cast<std::uint32_t>(strings.size()));
        strings += utf16;
    }
    QByteArray table;
    put16(table, 0);
    put16(table, names.size());
    put16(table, static_cast<std::uint32_t>(6 + records.size()));
    return table + records + strings;
}

// A font file of these tables (tag → table), with its checksums.
QByteArray fontFile(std::map<QByteArray, QByteArray> tables)
{
    const auto count = static_cast<std::uint32_t>(tables.size());
    std::uint32_t power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    if (tables.count("head") && tables["head"].size() >= 12)
        tables["head"].replace(8, 4, QByteArray(4, '\0'));
    QByteArray file;
    put32(file, 0x00010000);
    put16(file, count);
    put16(file, power * 16);
    put16(file, log2);
    put16(file, count * 16 - power * 16);
    std::uint32_t offset = 12 + 16 * count;
    QByteArray body;
    qsizetype headAt = -1;
    for (const auto& [tag, table] : tables) {
        file += tag;
        put32(file, checksum(table));
        put32(file, offset);
        put32(file, static_cast<std::uint32_t>(table.size()));
        if (tag == "head")
            headAt = offset;
        QByteArray padded = table;
        while (padded.size() % 4)
            padded.append('\0');
        body += padded;
        offset += static_cast<std::uint32_t>(padded.size());
    }
    file += body;
    if (headAt >= 0) {
        QByteArray adjustment;
        put32(adjustment, 0xB1B0AFBA - checksum(file));
        file.replace(headAt + 8, 4, adjustment);
    }
    return file;
}

// A CMap's mapping, code → destination (UTF-16 code units), from its
// bfchar and bfrange sections.
std::optional<std::map<std::uint32_t, std::u16string>> readCMap(const QByteArray& cmap)
{
    static const QRegularExpression token(QStringLiteral("<([0-9A-Fa-f]*)>|\\[|\\]|(begin|end)bf(char|range)"));
    auto hex = [](const QString& digits) {
        std::u16string units;
        for (qsizetype i = 0; i + 4 <= digits.size(); i += 4)
            units.push_back(static_cast<char16_t>(digits.mid(i, 4).toUInt(nullptr, 16)));
        return units;
    };
    std::map<std::uint32_t, std::u16string> out;
    QStringList pending; // the hex strings of one entry so far
    bool range = false, inSection = false, inArray = false;
    std::vector<std::u16string> array;
    auto it = token.globalMatch(QString::fromLatin1(cmap));
    while (it.hasNext()) {
        const auto m = it.next();
        const QString whole = m.captured(0);
        if (!m.captured(2).isEmpty()) {
            inSection = m.captured(2) == QLatin1String("begin");
            range = m.captured(3) == QLatin1String("range");
            if (!pending.isEmpty() || inArray)
                return std::nullopt;
            continue;
        }
        if (!inSection)
            continue;
        if (whole == QLatin1String("[")) {
            if (!range || pending.size() != 2 || inArray)
                return std::nullopt;
            inArray = true;
            array.clear();
            continue;
        }
        if (whole == QLatin1String("]")) {
            if (!inArray)
                return std::nullopt;
            const std::uint32_t first = pending[0].toUInt(nullptr, 16), last = pending[1].toUInt(nullptr, 16);
            for (std::uint32_t code = first; code <= last && code - first < array.size(); ++code)
                out[code] = array[code - first];
            inArray = false;
            pending.clear();
            continue;
        }
        if (inArray) {
            array.push_back(hex(m.captured(1)));
            continue;
        }
        pending << m.captured(1);
        if (!range && pending.size() == 2) {
            out[pending[0].toUInt(nullptr, 16)] = hex(pending[1]);
            pending.clear();
        } else if (range && pending.size() == 3) {
            const std::uint32_t first = pending[0].toUInt(nullptr, 16), last = pending[1].toUInt(nullptr, 16);
            std::u16string dest = hex(pending[2]);
            if (dest.empty() || last < first || last - first > 0xFFFF)
                return std::nullopt;
            for (std::uint32_t code = first; code <= last; ++code) {
                out[code] = dest;
                ++dest.back();
            }
            pending.clear();
        }
    }
    if (!pending.isEmpty() || inArray)
        return std::nullopt;
    return out;
}

QByteArray writeCMap(const std::map<std::uint32_t, std::u16string>& mapping)
{
    QByteArray out = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                     "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                     "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                     "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    auto it = mapping.begin();
    while (it != mapping.end()) {
        QByteArray section;
        int count = 0;
        for (; it != mapping.end() && count < 100; ++it, ++count) {
            section += '<' + QByteArray::number(it->first, 16).rightJustified(4, '0').toUpper() + "> <";
            for (char16_t unit : it->second)
                section += QByteArray::number(unit, 16).rightJustified(4, '0').toUpper();
            section += ">\n";
        }
        out += QByteArray::number(count) + " beginbfchar\n" + section + "endbfchar\n";
    }
    return out + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

} // namespace

AstralText::~AstralText()
{
    for (const Face& face : m_faces)
        QFontDatabase::removeApplicationFont(face.id);
}

QFont AstralText::fontFor(const QString& text, const QFont& font)
{
    if (!hasAstral(text))
        return font;
    std::set<char32_t> fresh;
    QString probe;
    for (const char32_t c : text.toUcs4()) {
        if (c > 0xFFFF && m_known.insert(c).second) {
            fresh.insert(c);
            probe += QString::fromUcs4(&c, 1);
        }
    }
    if (!probe.isEmpty()) {
        // The fonts the writer would draw these characters from.
        QTextLayout layout(probe, font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun& run : layout.glyphRuns()) {
            const QRawFont raw = run.rawFont();
            if (m_sources.insert(raw.familyName()).second)
                addFace(raw, fresh);
        }
    }
    if (m_faces.empty())
        return font;
    // A copy of the font's own family goes before it (it has the same
    // measures, and the font would draw those characters itself), the
    // others behind it as fallbacks.
    const QString own = QFontInfo(font).family();
    QStringList families, fallbacks;
    for (const Face& face : m_faces)
        (face.source == own ? families : fallbacks) << face.family;
    QFont out(font);
    out.setFamilies(families + QStringList{own} + fallbacks);
    return out;
}

bool AstralText::addFace(const QRawFont& source, const std::set<char32_t>& wanted)
{
    // Only fonts with TrueType outlines are embedded as fonts; the writer
    // draws any other as shapes, without text.
    static const std::array<const char*, 14> copied{"OS/2", "cvt ", "fpgm", "gasp", "glyf", "head", "hhea",
                                                    "hmtx", "loca", "maxp", "post", "prep", "vhea", "vmtx"};
    std::map<QByteArray, QByteArray> tables;
    for (const char* tag : copied) {
        const QByteArray table = source.fontTable(tag);
        if (!table.isEmpty())
            tables.emplace(tag, table);
    }
    for (const char* needed : {"glyf", "loca", "head", "hhea", "hmtx", "maxp"})
        if (!tables.count(needed))
            return false;
    const std::map<char32_t, std::uint32_t> reach = astralGlyphs(source.fontTable("cmap"));
    if (reach.empty())
        return false;
    // The characters of the text first: there are fewer stand-ins than a
    // large font has such characters.
    std::vector<std::pair<char32_t, std::uint32_t>> glyphs;
    const std::size_t room = kLastStandIn - kFirstStandIn + 1;
    for (const char32_t c : wanted)
        if (const auto found = reach.find(c); found != reach.end())
            glyphs.emplace_back(*found);
    for (const auto& entry : reach)
        if (glyphs.size() < room && !wanted.count(entry.first))
            glyphs.push_back(entry);
    glyphs.resize(std::min(glyphs.size(), room));
    std::sort(glyphs.begin(), glyphs.end());

    static std::atomic<int> serial{0};
    Face face;
    face.postscriptName = "TarnwickAstral" + QByteArray::number(++serial);
    face.family = QString::fromLatin1(face.postscriptName);
    face.source = source.familyName();
    tables["cmap"] = twinCmap(glyphs);
    tables["name"] = nameTable(face.family, face.postscriptName);
    face.id = QFontDatabase::addApplicationFontFromData(fontFile(std::move(tables)));
    if (face.id < 0)
        return false;
    const QStringList registered = QFontDatabase::applicationFontFamilies(face.id);
    if (!registered.contains(face.family)) {
        QFontDatabase::removeApplicationFont(face.id);
        return false;
    }
    for (std::size_t i = 0; i < glyphs.size(); ++i)
        face.twins.emplace(static_cast<char16_t>(kFirstStandIn + i), glyphs[i].first);
    m_faces.push_back(std::move(face));
    return true;
}

QByteArray AstralText::update(const QByteArray& tail, qint64 fileSize) const
{
    if (m_faces.empty())
        return {};
    static const QRegularExpression startXref(QStringLiteral("startxref\\s+(\\d+)\\s+%%EOF\\s*$"));
    const QString text = QString::fromLatin1(tail);
    const auto end = startXref.match(text);
    const qsizetype trailerAt = text.lastIndexOf(QLatin1String("trailer"));
    if (!end.hasMatch() || trailerAt < 0 || trailerAt > end.capturedStart())
        return {};
    QString trailer = text.mid(trailerAt + 7, end.capturedStart() - trailerAt - 7).trimmed();
    if (!trailer.startsWith(QLatin1String("<<")) || !trailer.endsWith(QLatin1String(">>")))
        return {};
    trailer.remove(QRegularExpression(QStringLiteral("/Prev\\s+\\d+")));
    trailer.chop(2);
    trailer += QStringLiteral("/Prev ") + end.captured(1) + QStringLiteral("\n>>");

    std::map<int, QByteArray> mended; // object → its new CMap
    for (const Face& face : m_faces) {
        const QString baseFont = QStringLiteral("/BaseFont /") + QString::fromLatin1(face.postscriptName);
        for (qsizetype at = text.indexOf(baseFont); at >= 0; at = text.indexOf(baseFont, at + 1)) {
            const qsizetype after = at + baseFont.size();
            if (after < text.size() && (text[after].isLetterOrNumber() || text[after] == QLatin1Char('_')))
                continue; // another font whose name begins alike
            const qsizetype from = text.lastIndexOf(QLatin1String(" 0 obj"), at);
            const qsizetype to = text.indexOf(QLatin1String("endobj"), at);
            if (from < 0 || to < 0)
                continue;
            static const QRegularExpression toUnicode(QStringLiteral("/Subtype\\s*/Type0[\\s\\S]*/ToUnicode\\s+(\\d+)\\s+0\\s+R"));
            const auto reference = toUnicode.match(text.mid(from, to - from));
            if (!reference.hasMatch())
                continue;
            const int object = reference.captured(1).toInt();
            const QRegularExpression header(QStringLiteral("(^|\\n)%1 0 obj\\s*<<\\s*/Length\\s+(\\d+)\\s*>>\\s*stream\\r?\\n").arg(object));
            const auto stream = header.match(text);
            if (!stream.hasMatch())
                return {};
            const QByteArray cmap = tail.mid(stream.capturedEnd(), stream.captured(2).toLongLong());
            std::optional<std::map<std::uint32_t, std::u16string>> mapping = readCMap(cmap);
            if (!mapping)
                return {};
            bool changed = false;
            for (auto& [code, dest] : *mapping) {
                if (dest.size() != 1)
                    continue;
                const auto twin = face.twins.find(dest.front());
                if (twin == face.twins.end())
                    continue;
                const char32_t c = twin->second - 0x10000;
                dest = {static_cast<char16_t>(0xD800 + (c >> 10)), static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
                changed = true;
            }
            if (changed)
                mended[object] = writeCMap(*mapping);
        }
    }
    if (mended.empty())
        return {};

    QByteArray out = tail.endsWith('\n') ? QByteArray() : QByteArray("\n");
    QByteArray xref = "xref\n";
    for (const auto& [object, cmap] : mended) {
        const qint64 offset = fileSize + out.size();
        xref += QByteArray::number(object) + " 1\n" + QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
        out += QByteArray::number(object) + " 0 obj\n<< /Length " + QByteArray::number(cmap.size()) + " >>\nstream\n" +
               cmap + "endstream\nendobj\n";
    }
    const qint64 xrefAt = fileSize + out.size();
    out += xref + "trailer\n" + trailer.toLatin1() + "\nstartxref\n" + QByteArray::number(xrefAt) + "\n%%EOF\n";
    return out;
}

TailCopy::TailCopy(QIODevice& target) : m_target(target)
{
    open(QIODevice::WriteOnly);
}

qint64 TailCopy::writeData(const char* data, qint64 size)
{
    const qint64 done = m_target.write(data, size);
    if (done > 0) {
        m_written += done;
        if (m_keeping)
            m_kept.append(data, done);
    }
    return done;
}

} // namespace tw
