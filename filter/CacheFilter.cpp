// SPDX-License-Identifier: GPL-3.0-or-later
#include "filter/CacheFilter.h"

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"

#include <SimpleIni.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace tw {
namespace {

struct IntField {
    const char* name;
    int CacheFilter::*member;
};

constexpr IntField kIntFields[] = {
    {"Owned", &CacheFilter::owned},         {"Found", &CacheFilter::found},
    {"Active", &CacheFilter::active},       {"Disabled", &CacheFilter::disabled},
    {"Archived", &CacheFilter::archived},   {"MustHaveFinal", &CacheFilter::mustHaveFinal},
    {"RefPoint", &CacheFilter::refPoint},
};

std::string cacheTypeKey(std::size_t i)
{
    return "CacheType" + std::to_string(i);
}

std::string wptTypeKey(std::size_t i)
{
    return "WptType" + std::to_string(i);
}

// Millionths of a degree without sign; the hemisphere is stored beside it.
// Rounded, not truncated: 14.123457 × 10^6 is 14123456.99… in binary and
// must not come back as 14.123456.
std::int32_t microDegrees(double degrees)
{
    return static_cast<std::int32_t>(std::llround(std::fabs(degrees) * 1e6));
}

// The two stores differ only in how they read and write single values.
class Store {
public:
    virtual ~Store() = default;
    virtual std::int32_t getInt(const char* name, std::int32_t fallback) const = 0;
    virtual std::string getString(const char* name, const std::string& fallback) const = 0;
    virtual bool has(const char* name) const = 0;
};

class SettingsStore final : public Store {
public:
    explicit SettingsStore(const IniFile& ini) : m_ini(ini) {}
    std::int32_t getInt(const char* name, std::int32_t fallback) const override
    {
        return m_ini.getInt(kFilterSection, name).value_or(fallback);
    }
    std::string getString(const char* name, const std::string& fallback) const override
    {
        return m_ini.getString(kFilterSection, name).value_or(fallback);
    }
    bool has(const char* name) const override { return m_ini.contains(kFilterSection, name); }

private:
    const IniFile& m_ini;
};

class FileStore final : public Store {
public:
    explicit FileStore(const CSimpleIniA& ini) : m_ini(ini) {}
    std::int32_t getInt(const char* name, std::int32_t fallback) const override
    {
        return static_cast<std::int32_t>(m_ini.GetLongValue(kFilterSection, name, fallback));
    }
    std::string getString(const char* name, const std::string& fallback) const override
    {
        return m_ini.GetValue(kFilterSection, name, fallback.c_str());
    }
    bool has(const char* name) const override { return m_ini.GetValue(kFilterSection, name) != nullptr; }

private:
    const CSimpleIniA& m_ini;
};

// What both stores share: every value but the distance and the tag condition.
void readCommon(CacheFilter& f, const Store& s)
{
    f.code = s.getString("Code", f.code);
    f.name = s.getString("Name", f.name);
    f.owner = s.getString("Owner", f.owner);
    for (const auto& field : kIntFields)
        f.*field.member = s.getInt(field.name, f.*field.member);
    for (std::size_t i = 0; i < f.cacheTypes.size(); ++i)
        f.cacheTypes[i] = s.getInt(cacheTypeKey(i).c_str(), f.cacheTypes[i]);
    for (std::size_t i = 0; i < f.wptTypes.size(); ++i)
        f.wptTypes[i] = s.getInt(wptTypeKey(i).c_str(), f.wptTypes[i]);
    // A missing coordinate keeps the current one, sign included.
    if (s.has("ManLat"))
        f.manLat = s.getInt("ManLat", 0) * 0.000001 * (s.getInt("ManLatN", 1) == 0 ? -1.0 : 1.0);
    if (s.has("ManLon"))
        f.manLon = s.getInt("ManLon", 0) * 0.000001 * (s.getInt("ManLonE", 1) == 0 ? -1.0 : 1.0);
}

template <typename SetInt, typename SetString>
void writeCommon(const CacheFilter& f, SetInt setInt, SetString setString)
{
    setString("Code", f.code);
    setString("Name", f.name);
    setString("Owner", f.owner);
    for (const auto& field : kIntFields)
        setInt(field.name, f.*field.member);
    for (std::size_t i = 0; i < f.cacheTypes.size(); ++i)
        setInt(cacheTypeKey(i).c_str(), f.cacheTypes[i]);
    for (std::size_t i = 0; i < f.wptTypes.size(); ++i)
        setInt(wptTypeKey(i).c_str(), f.wptTypes[i]);
    setInt("ManLat", microDegrees(f.manLat));
    setInt("ManLatN", f.manLat > 0.0 ? 1 : 0);
    setInt("ManLon", microDegrees(f.manLon));
    setInt("ManLonE", f.manLon > 0.0 ? 1 : 0);
    setInt("UseTag", f.useTag);
    setString("TagCategory", f.tagCategory);
    setString("TagValue", f.tagValue);
    setString("TextQuery", f.textQuery);
    setInt("TextFields", static_cast<std::int32_t>(f.textFields));
}

template <typename StoreType>
void readText(CacheFilter& f, const StoreType& s)
{
    f.textQuery = s.getString("TextQuery", "");
    f.textFields = static_cast<unsigned>(s.getInt("TextFields", 0));
}

fs::path filterFile(const fs::path& folder, const std::string& fileBaseName)
{
    return folder / (fileBaseName + ".pf");
}

} // namespace

void CacheFilter::Save(IniFile& settings) const
{
    writeCommon(
        *this, [&](const char* key, std::int32_t v) { settings.setInt(kFilterSection, key, v); },
        [&](const char* key, const std::string& v) { settings.setString(kFilterSection, key, v); });
    // Hundredths of a kilometre.
    settings.setInt(kFilterSection, "Distance", static_cast<std::int32_t>(std::llround(distanceKm * 100.0)));
}

void CacheFilter::Load(const IniFile& settings)
{
    const SettingsStore store(settings);
    readCommon(*this, store);
    const auto hundredths = static_cast<std::uint32_t>(store.getInt("Distance", static_cast<std::int32_t>(
                                                                                    std::llround(distanceKm * 100))));
    distanceKm = hundredths * 0.01;
    useTag = store.getInt("UseTag", 0);
    tagCategory = store.getString("TagCategory", "");
    tagValue = store.getString("TagValue", "");
    readText(*this, store);
}

bool CacheFilter::SaveToFile(const fs::path& folder, const std::string& fileBaseName) const
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder, ec))
        return false;
    CSimpleIniA ini(true, false, false);
    writeCommon(
        *this, [&](const char* key, std::int32_t v) { ini.SetLongValue(kFilterSection, key, v); },
        [&](const char* key, const std::string& v) { ini.SetValue(kFilterSection, key, v.c_str()); });
    // Metres in a file.
    ini.SetLongValue(kFilterSection, "Distance", static_cast<long>(std::llround(distanceKm * 1000.0)));
    std::string bytes;
    if (ini.Save(bytes, true) < 0)
        return false;
    return writeFileAtomically(filterFile(folder, fileBaseName), bytes, 0644);
}

bool CacheFilter::LoadFromFile(const fs::path& folder, const std::string& fileBaseName)
{
    std::ifstream in(filterFile(folder, fileBaseName), std::ios::binary);
    if (!in)
        return false;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CSimpleIniA ini(true, false, false);
    if (ini.LoadData(bytes.data(), bytes.size()) < 0)
        return false;
    const FileStore store(ini);
    readCommon(*this, store);
    distanceKm = store.getInt("Distance", static_cast<std::int32_t>(std::llround(distanceKm * 1000))) * 0.001;
    useTag = store.getInt("UseTag", useTag);
    tagCategory = store.getString("TagCategory", tagCategory);
    tagValue = store.getString("TagValue", tagValue);
    readText(*this, store);
    return true;
}

std::string sanitizeFilterName(const std::string& name)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if ((static_cast<unsigned char>(c) & 0xC0) == 0x80)
            continue; // the rest of a UTF-8 character already replaced
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        out += keep ? c : '_';
    }
    return out;
}

std::vector<std::string> listFilterFiles(const fs::path& folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& p = it->path();
        if (p.extension() == ".pf" && it->is_regular_file(ec))
            names.push_back(p.stem().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool deleteFilterFile(const fs::path& folder, const std::string& fileBaseName)
{
    std::error_code ec;
    return fs::remove(filterFile(folder, fileBaseName), ec);
}

} // namespace tw
