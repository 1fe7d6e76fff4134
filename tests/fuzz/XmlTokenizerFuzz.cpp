// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes through the UTF-8 source and the XML
// tokenizer, every token read to the end.
#include "xml/CUtf8MemorySource.h"
#include "xml/CXmlTokenizer.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (bool decode : {false, true}) {
        tw::CUtf8MemorySource source(std::string_view(reinterpret_cast<const char*>(data), size));
        tw::CXmlTokenizer tokenizer(source);
        tokenizer.setDecodeCharacterReferences(decode);
        // Every token consumes input, so the loop ends; the bound guards
        // against a tokenizer that stops doing so.
        for (std::size_t n = 0; n < 4 * size + 16; ++n) {
            const int token = tokenizer.NextToken();
            if (token == tw::XT_END || token == tw::XT_ERROR)
                break;
            if (token == tw::XT_START_TAG || token == tw::XT_END_TAG)
                (void)tokenizer.GetTagName();
            else if (token == tw::XT_ATTRIBUTE)
                (void)tokenizer.GetAttrName();
            (void)tokenizer.getValueUtf8();
        }
    }
    return 0;
}
