// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/CacheCodes.h"

#include <gtest/gtest.h>

namespace tw::codes {
namespace {

TEST(CacheCodes, IdsAndCodesConvertBothWays)
{
    // Pairs as the cache site shows them: the last base-16 code, the first
    // base-31 one, and codes of real files (GeoToad writes both).
    const std::pair<std::int64_t, const char*> known[] = {
        {1, "GC1"},           {0xFFFF, "GCFFFF"},     {0x10000, "GCG000"}, {1260698, "GC1T3MK"},
        {2022337, "GC2KN6K"}, {1358542, "GC1XCEW"},
    };
    for (const auto& [id, code] : known) {
        EXPECT_EQ(gcCodeFromId(id), code) << id;
        EXPECT_EQ(idFromGcCode(code), id) << code;
    }
    for (const std::int64_t id : {2, 15, 16, 4096, 65535, 65536, 65537, 500000, 9999999, 635824454})
        EXPECT_EQ(idFromGcCode(gcCodeFromId(id)), id) << id;
    EXPECT_EQ(gcCodeFromId(0), "");
    EXPECT_EQ(gcCodeFromId(-635824454), "");
    // Not codes of the site: other platforms, letters it never uses, a
    // base-31 text below the first base-31 code.
    for (const char* text : {"OC5952", "GCIO12", "GC", "gc1abc", "GC1234567", "GCG00"})
        EXPECT_EQ(idFromGcCode(text), std::nullopt) << text;
}

TEST(CacheCodes, WholeCodesAndNamesThatAreNone)
{
    for (const char* code : {"GC1T3MK", "GC1", "GCGCA8", "OCF19A", "OC5952", "ZZ1000", "ACWP003", "LC1AB2C", "TP1234", "GC1EMOJ"})
        EXPECT_TRUE(isWholeCode(code)) << code;
    // A manager's short names, titles, route-planner names without "GC",
    // codes with letters the site never writes, waypoint names.
    for (const char* name : {"EastLa", "Schloss2", "4EPC0", "\"Wunnibert\"", "GC1T3MK ", "GCFOUND", "OCABC",
                             "OCF19A-1", "GC1ABCDEF", "", "Gc1T3MK"})
        EXPECT_FALSE(isWholeCode(name)) << name;
    EXPECT_TRUE(isCodeWithoutPrefix("4EPC0"));
    EXPECT_TRUE(isCodeWithoutPrefix("1T3MK"));
    EXPECT_FALSE(isCodeWithoutPrefix("EastLa"));
    EXPECT_FALSE(isCodeWithoutPrefix("1T3MKABC"));
    EXPECT_FALSE(isCodeWithoutPrefix("X"));
}

TEST(CacheCodes, CodesInAddresses)
{
    const std::pair<const char*, const char*> cases[] = {
        {"http://www.geocaching.com/seek/cache_details.aspx?wp=GC1T3MK", "GC1T3MK"},
        {"https://example.org/seek/cache_details.aspx?lang=de&wp=GC2KN6K&log=y", "GC2KN6K"},
        {"https://www.geocaching.com/geocache/GCGCA8", "GCGCA8"},
        {"https://www.geocaching.com/geocache/GC1ABCD_a-cache-name", "GC1ABCD"},
        {"http://coord.info/GCYGQ6", "GCYGQ6"},
        {"https://coord.info/GC1T3MK?x=1", "GC1T3MK"},
        // No code there: a guid, another parameter ending in "wp", a path
        // that is not a code, another platform's numeric address.
        {"http://www.geocaching.com/seek/cache_details.aspx?guid=d71f0f8b-b46f-4b92-a053-775896f003af", ""},
        {"http://example.org/x?newwp=GC1T3MK", ""},
        {"https://www.geocaching.com/geocache/", ""},
        {"http://www.opencaching.de/viewcache.php?cacheid=164939", ""},
        {"http://coord.info/EastLa", ""},
        {"", ""},
    };
    for (const auto& [url, code] : cases)
        EXPECT_EQ(codeFromUrl(url), code) << url;
}

} // namespace
} // namespace tw::codes
