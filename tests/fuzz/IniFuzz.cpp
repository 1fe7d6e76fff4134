// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes read as the settings file and as a saved
// filter.
#include "filter/CacheFilter.h"
#include "platform/IniFile.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto path = tw::fuzz::scratchFile("x.pf", data, size);
    {
        tw::IniFile ini(path);
        for (const char* section : {"Options", "Filter", "State", "User"})
            for (const char* name : {"DbFile", "MaxRows", "Home", "NickName", "x"}) {
                (void)ini.getString(section, name);
                (void)ini.getInt(section, name);
                (void)ini.getBinary(section, name);
            }
    }
    tw::CacheFilter filter;
    (void)filter.LoadFromFile(path.parent_path(), path.stem().string());
    return 0;
}
