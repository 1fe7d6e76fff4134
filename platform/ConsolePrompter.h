// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Prompter.h"
#include "platform/TextLookup.h"

#include <atomic>

#include <cstdio>
#include <mutex>

namespace tw {

// Batch mode: nobody is there to answer, so every message goes to stderr and
// every question is answered with its default, both printed.
class ConsolePrompter final : public Prompter {
public:
    explicit ConsolePrompter(std::FILE* out = stderr) : m_out(out) {}
    void message(const std::string& text, MessageIcon icon) override;
    bool ask(const std::string& text, bool defaultYes) override;
    // The words the prompter adds (English until set); texts must outlive
    // the prompter.
    void setTexts(const TextLookup& texts) { m_texts = &texts; }

private:
    std::FILE* m_out;
    std::atomic<const TextLookup*> m_texts{&englishTexts()};
    std::mutex m_mutex;
};

} // namespace tw
