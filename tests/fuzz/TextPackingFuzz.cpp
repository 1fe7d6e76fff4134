// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: any text stored compressed must come back byte for byte
// through zlib's reader, whichever way it was packed. The input is packed in
// two pieces and whole, so that one text's leftovers meet the next.
#include "db/CacheStore.h"
#include "db/FixedDeflate.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

void CheckRoundTrip(const unsigned char* data, std::size_t size)
{
    std::vector<unsigned char> blob;
    tw::deflateFixed(data, size, blob);
    std::vector<unsigned char> back(size + 1);
    uLongf length = back.size();
    if (uncompress(back.data(), &length, blob.data(), blob.size()) != Z_OK || length != size ||
        (size > 0 && std::memcmp(back.data(), data, size) != 0))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::size_t half = size / 2;
    CheckRoundTrip(data, half);
    CheckRoundTrip(data + half, size - half);
    CheckRoundTrip(data, size);
    // The store's own packing, whichever compressor the length picks; a
    // text ends at its first NUL when read back.
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (tw::DecompressText(tw::CompressText(text)) != std::string(text.c_str()))
        __builtin_trap();
    return 0;
}
