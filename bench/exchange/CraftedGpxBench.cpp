// SPDX-License-Identifier: GPL-3.0-or-later
// Times the GPX import on files of odd shapes at 1, 2, 4 and 8 MB: the time
// per megabyte must stay flat. Nothing is stored.
//   crafted_gpx_bench
#include "exchange/CGpxImporter.h"
#include "xml/CUtf8MemorySource.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

using namespace tw;

namespace {

class NullStore final : public ImportStore {
public:
    int StoreImportedCache(CGeocache&) override { return 1; }
    int StoreImportedWaypoint(CWaypoint&) override { return 2; }
};

std::string repeat(const std::string& unit, std::size_t size)
{
    std::string out;
    out.reserve(size + unit.size());
    while (out.size() < size)
        out += unit;
    return out;
}

} // namespace

int main()
{
    const std::string open = "<gpx><wpt lat=\"1\" lon=\"2\"><name>GC1</name>";
    const std::string close = "</wpt></gpx>";
    const std::vector<std::pair<const char*, std::string (*)(std::size_t)>> shapes{
        {"stray end tags", [](std::size_t n) { return repeat("0123456789</x>", n); }},
        {"text in containers",
         [](std::size_t n) { return "<groundspeak:logs>" + repeat("abc</groundspeak:logs>", n); }},
        {"used texts", [](std::size_t n) { return repeat("0123456789</desc>", n); }},
        {"deep nesting", [](std::size_t n) { return repeat("<a>", n / 2) + repeat("</a>", n / 2); }},
        {"one text", [](std::size_t n) { return "<desc>" + repeat("abcdefgh ", n) + "</desc>"; }},
        {"attributes", [](std::size_t n) {
             return "<groundspeak:attributes><groundspeak:attribute " + repeat("id=\"1\" inc=\"1\" ", n) + "/>";
         }},
        {"entries",
         [](std::size_t n) {
             return "</wpt>" + repeat("<wpt lat=\"1\" lon=\"2\"><name>GC1</name></wpt>", n) + "<wpt>";
         }},
    };
    std::printf("%-20s %10s %10s %10s %10s   (ms per MB)\n", "shape", "1 MB", "2 MB", "4 MB", "8 MB");
    for (const auto& [name, make] : shapes) {
        std::printf("%-20s", name);
        for (const std::size_t mb : {1u, 2u, 4u, 8u}) {
            const std::string gpx = open + make(mb << 20) + close;
            NullStore store;
            CGpxImporter importer(store, "");
            CUtf8MemorySource source(gpx);
            const auto start = std::chrono::steady_clock::now();
            importer.parse(source, nullptr);
            const std::chrono::duration<double, std::milli> ms = std::chrono::steady_clock::now() - start;
            std::printf(" %10.1f", ms.count() / static_cast<double>(mb));
        }
        std::printf("\n");
    }
    return 0;
}
