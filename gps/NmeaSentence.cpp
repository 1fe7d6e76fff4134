// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/NmeaSentence.h"

#include "platform/Numbers.h"

#include <cmath>
#include <vector>

namespace tw::nmea {
namespace {

constexpr std::size_t kMaxGsvRest = 127;

// The fields after the sentence tag, up to the checksum or line end.
std::vector<std::string_view> fieldsOf(std::string_view line)
{
    const auto star = line.find('*');
    if (star != std::string_view::npos)
        line = line.substr(0, star);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    std::vector<std::string_view> fields;
    const auto firstComma = line.find(',');
    if (firstComma == std::string_view::npos)
        return fields;
    line.remove_prefix(firstComma + 1);
    while (true) {
        const auto comma = line.find(',');
        fields.push_back(line.substr(0, comma));
        if (comma == std::string_view::npos)
            break;
        line.remove_prefix(comma + 1);
    }
    return fields;
}

std::optional<double> number(std::string_view field)
{
    const auto v = num::parseDouble(field);
    if (!v || !std::isfinite(*v))
        return std::nullopt;
    return v;
}

std::optional<int> integer(std::string_view field)
{
    // "%d" reads a leading integer: "05" is 5, "12.0" is 12.
    return num::leadingInt(field);
}

std::optional<char> character(std::string_view field)
{
    if (field.size() != 1)
        return std::nullopt;
    return field.front();
}

bool isTalker(std::string_view t)
{
    return t == "GP" || t == "GN" || t == "GL" || t == "GA" || t == "GB" || t == "BD";
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads fields in order while they convert, as a scanf format would; the
// number of leading fields that converted.
struct FieldReader {
    const std::vector<std::string_view>& fields;
    std::size_t next = 0;
    int converted = 0;
    bool stopped = false;

    template <class T, class F>
    T read(F convert)
    {
        if (stopped || next >= fields.size()) {
            stopped = true;
            return T{};
        }
        const auto v = convert(fields[next++]);
        if (!v) {
            stopped = true;
            return T{};
        }
        ++converted;
        return *v;
    }
    double num() { return read<double>(number); }
    int integer() { return read<int>(nmea::integer); }
    char chr() { return read<char>(character); }
};

bool onTheGlobe(double latitude, double longitude)
{
    return std::fabs(latitude) <= 90.0 && std::fabs(longitude) <= 180.0;
}

} // namespace

Kind kindOf(std::string_view line)
{
    if (line.size() < 6 || line[0] != '$')
        return Kind::Other;
    const std::string_view talker = line.substr(1, 2);
    const std::string_view type = line.substr(3, 3);
    if (type == "GSV")
        return talker == "GP" ? Kind::Gsv : Kind::Other;
    if (!isTalker(talker))
        return Kind::Other;
    if (type == "GGA")
        return Kind::Gga;
    if (type == "RMC")
        return Kind::Rmc;
    if (type == "GSA")
        return Kind::Gsa;
    return Kind::Other;
}

bool checksumAcceptable(std::string_view line)
{
    const auto star = line.find('*');
    if (star == std::string_view::npos)
        return true;
    if (star + 3 > line.size())
        return false;
    const int hi = hexValue(line[star + 1]);
    const int lo = hexValue(line[star + 2]);
    if (hi < 0 || lo < 0)
        return false;
    unsigned sum = 0;
    for (std::size_t i = (line.empty() || line[0] != '$') ? 0 : 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(line[i]);
    return sum == static_cast<unsigned>(hi * 16 + lo);
}

double toDegrees(double v, char hemisphere)
{
    const double degrees = std::trunc(v / 100.0);
    const double result = degrees + (v - degrees * 100.0) / 60.0;
    return (hemisphere == 'S' || hemisphere == 'W') ? -result : result;
}

std::optional<Gga> parseGga(std::string_view line)
{
    const auto fields = fieldsOf(line);
    FieldReader r{fields};
    const double time = r.num();
    const double lat = r.num();
    const char ns = r.chr();
    const double lon = r.num();
    const char ew = r.chr();
    const int quality = r.integer();
    const int sats = r.integer();
    const double hdop = r.num();
    const double alt = r.num();
    r.chr(); // 'M', the tenth field
    if (r.converted < 10)
        return std::nullopt;
    const Gga gga{time, toDegrees(lat, ns), toDegrees(lon, ew), quality, sats, hdop, alt};
    if (!onTheGlobe(gga.latitude, gga.longitude))
        return std::nullopt;
    return gga;
}

std::optional<Rmc> parseRmc(std::string_view line)
{
    const auto fields = fieldsOf(line);
    FieldReader r{fields};
    const double time = r.num();
    const char status = r.chr();
    const double lat = r.num();
    const char ns = r.chr();
    const double lon = r.num();
    const char ew = r.chr();
    if (r.converted < 6)
        return std::nullopt;
    Rmc rmc{time, status == 'A', toDegrees(lat, ns), toDegrees(lon, ew), {}, {}, {}};
    if (!onTheGlobe(rmc.latitude, rmc.longitude))
        return std::nullopt;
    if (fields.size() > 6)
        if (const auto knots = number(fields[6]))
            rmc.speedKmh = *knots * 1.852;
    if (fields.size() > 7)
        rmc.courseDeg = number(fields[7]);
    if (fields.size() > 8 && fields[8].size() == 6)
        rmc.date = num::leadingInt(fields[8]);
    if (fields.size() > 11 && !fields[11].empty()) {
        const char mode = fields[11].front();
        if (mode == 'N' || mode == 'E' || mode == 'M' || mode == 'S')
            rmc.fix = false;
    }
    return rmc;
}

std::optional<Gsa> parseGsa(std::string_view line)
{
    const auto fields = fieldsOf(line);
    if (fields.size() < 2)
        return std::nullopt;
    Gsa gsa;
    gsa.fixType = num::leadingInt(fields[1]);
    // Field n is the text after the n-th comma: PRNs are fields 3 to 14,
    // PDOP, HDOP and VDOP fields 15 to 17.
    for (std::size_t i = 0; i < 12; ++i) {
        const std::size_t f = 2 + i;
        const auto prn = f < fields.size() ? num::leadingInt(fields[f]) : std::nullopt;
        gsa.prns[i] = prn ? *prn : -1;
    }
    auto dop = [&](std::size_t f) -> std::optional<double> {
        if (f >= fields.size())
            return std::nullopt;
        const auto v = num::leadingDouble(fields[f]);
        if (!v || !std::isfinite(*v))
            return std::nullopt;
        return v;
    };
    gsa.pdop = dop(14);
    gsa.hdop = dop(15);
    gsa.vdop = dop(16);
    return gsa;
}

std::optional<Gsv> parseGsv(std::string_view line)
{
    const auto fields = fieldsOf(line);
    if (fields.size() < 3)
        return std::nullopt;
    const auto count = num::leadingInt(fields[0]);
    const auto number = num::leadingInt(fields[1]);
    const auto inView = num::leadingInt(fields[2]);
    if (!count || !number || !inView)
        return std::nullopt;

    // The rest after the third field, cut at 127 characters, up to '*'.
    std::size_t pos = 0;
    for (int commas = 0; pos < line.size() && commas < 4; ++pos)
        if (line[pos] == ',')
            ++commas;
    std::string_view rest = line.substr(pos);
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n'))
        rest.remove_suffix(1);
    if (rest.empty())
        return std::nullopt;
    if (rest.size() > kMaxGsvRest)
        rest = rest.substr(0, kMaxGsvRest);

    Gsv gsv;
    gsv.messageCount = *count;
    gsv.messageNumber = *number;
    gsv.satsInView = *inView;
    std::array<int, 4> piece{};
    int pieces = 0;
    while (gsv.recordCount < static_cast<int>(gsv.records.size())) {
        const auto end = rest.find_first_of(",*");
        const auto v = num::leadingInt(rest.substr(0, end));
        piece[pieces++] = v ? *v : -1;
        if (pieces == 4) {
            gsv.records[gsv.recordCount++] = {piece[0], piece[1], piece[2], piece[3]};
            pieces = 0;
        }
        if (end == std::string_view::npos || rest[end] == '*')
            break;
        rest.remove_prefix(end + 1);
    }
    return gsv;
}

} // namespace tw::nmea
