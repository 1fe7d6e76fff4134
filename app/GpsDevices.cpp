// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GpsDevices.h"

#include "platform/AtomicFile.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/CXmlTokenizer.h"
#include "xml/XmlElementWalker.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace tw::gpsdevice {

namespace {

constexpr const char* kGarmin = "Garmin";
constexpr const char* kDeviceFile = "GarminDevice.xml";

// A name without its namespace prefix.
std::string_view localName(std::string_view name)
{
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool sameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Only Device/Id and Device/Model/Description count: the file names other
// ids (of data types, of files) deeper down.
class DeviceXmlReader {
public:
    explicit DeviceXmlReader(Device& device) : m_device(device) {}

    void start(const std::string& name, std::string&)
    {
        if (name.starts_with('?'))
            return; // the XML declaration, which never ends
        m_path.emplace_back(localName(name));
    }

    void end(const std::string& name, std::string& text)
    {
        if (m_path.empty() || localName(name) != m_path.back())
            return;
        if (m_path.size() == 2 && m_path[0] == "Device" && m_path[1] == "Id")
            m_device.id = trimmed(text);
        else if (m_path.size() == 3 && m_path[0] == "Device" && m_path[1] == "Model" && m_path[2] == "Description")
            m_device.model = trimmed(text);
        m_path.pop_back();
    }

private:
    static std::string trimmed(const std::string& text)
    {
        const std::size_t first = text.find_first_not_of(" \t\r\n");
        if (first == std::string::npos)
            return {};
        return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    }

    Device& m_device;
    std::vector<std::string> m_path;
};

std::optional<Device> deviceAtRoot(const fs::path& root)
{
    const fs::path file = root / kGarmin / kDeviceFile;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) // after links: a link into /dev is no device
        return std::nullopt;
    Device device;
    device.root = root.string();
    if (const auto bytes = readRegularFile(file, kMaxDeviceFileBytes))
        readDeviceXml(*bytes, device);
    return device;
}

// The folder without a trailing separator or "." parts.
fs::path cleaned(const std::string& folder)
{
    fs::path path = fs::path(folder).lexically_normal();
    if (!path.has_filename() && path.has_parent_path() && path != path.root_path())
        path = path.parent_path();
    return path;
}

} // namespace

void readDeviceXml(const std::string& bytes, Device& device)
{
    CUtf8MemorySource source(bytes);
    CXmlTokenizer xml(source);
    xml.setDecodeCharacterReferences(true);
    DeviceXmlReader reader(device);
    walkElements<XmlWalkOptions{.maxText = kMaxShortElementText, .textReset = XmlTextReset::AtEveryTag}>(xml,
                                                                                                        reader);
}

std::optional<Device> DeviceAt(const std::string& folder)
{
    if (folder.empty())
        return std::nullopt;
    const fs::path path = cleaned(folder);
    if (auto device = deviceAtRoot(path))
        return device;
    const fs::path parent = path.parent_path();
    if (sameName(path.filename().string(), kGarmin) && parent != path)
        if (auto device = deviceAtRoot(parent))
            return device;
    if (sameName(path.filename().string(), "GPX") && sameName(parent.filename().string(), kGarmin))
        if (auto device = deviceAtRoot(parent.parent_path()))
            return device;
    return std::nullopt;
}

std::string gpxFolder(const Device& device)
{
    return (fs::path(device.root) / kGarmin / "GPX").string();
}

std::vector<std::string> mountParents()
{
    std::vector<std::string> parents;
    const char* user = std::getenv("USER");
    if (user && *user && std::string_view(user).find('/') == std::string_view::npos) {
        parents.push_back(std::string("/media/") + user);
        parents.push_back(std::string("/run/media/") + user);
    }
    parents.emplace_back("/media");
    parents.emplace_back("/mnt");
    return parents;
}

std::vector<Device> FindDevices(const std::string& configured)
{
    return FindDevices(configured, mountParents());
}

std::vector<Device> FindDevices(const std::string& configured, const std::vector<std::string>& parents)
{
    std::vector<Device> devices;
    std::vector<fs::path> seen;
    const auto add = [&](Device device) {
        std::error_code ec;
        fs::path key = fs::weakly_canonical(device.root, ec);
        if (ec)
            key = device.root;
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            return;
        seen.push_back(key);
        devices.push_back(std::move(device));
    };
    if (auto device = DeviceAt(configured))
        add(std::move(*device));
    for (const std::string& parent : parents) {
        std::vector<fs::path> volumes;
        std::error_code ec;
        for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec))
            if (it->is_directory(ec))
                volumes.push_back(it->path());
        std::sort(volumes.begin(), volumes.end());
        for (const fs::path& volume : volumes)
            if (auto device = deviceAtRoot(volume))
                add(std::move(*device));
    }
    return devices;
}

} // namespace tw::gpsdevice
