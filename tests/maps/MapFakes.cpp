// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/maps/MapFakes.h"

#include "tests/TestSupport.h"

namespace tw::test {
namespace {

std::shared_ptr<const maps::TileImage> decode(const std::string& data)
{
    if (data.rfind("IMG:", 0) == 0)
        return std::make_shared<FakeImage>(data.substr(4));
    if (data.rfind("\x89PNG", 0) == 0 || data.rfind("\xFF\xD8", 0) == 0)
        return std::make_shared<FakeImage>("downloaded");
    return nullptr;
}

} // namespace

std::shared_ptr<const maps::TileImage> FakeDecoder::decodeFile(const std::filesystem::path& path)
{
    ++decoded;
    return decode(readFile(path));
}

std::shared_ptr<const maps::TileImage> FakeDecoder::decodeBuffer(maps::TileBytes&& bytes)
{
    ++decoded;
    return decode(std::string(bytes.begin(), bytes.end()));
}

} // namespace tw::test
