// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ConsolePrompter.h"

#include "platform/Text.h"

namespace tw {
namespace {

constexpr int kTextWarning = 1004;
constexpr int kTextAnswered = 1005;
constexpr int kTextYes = 1006;
constexpr int kTextNo = 1007;

} // namespace

void ConsolePrompter::message(const std::string& text, MessageIcon icon)
{
    std::lock_guard lock(m_mutex);
    const std::string prefix = icon == MessageIcon::Exclamation
                                   ? "tarnwick: " + m_texts.load()->textOr(kTextWarning, "warning") + ": "
                                   : "tarnwick: ";
    std::fprintf(m_out, "%s%s\n", prefix.c_str(), text.c_str());
    std::fflush(m_out);
}

bool ConsolePrompter::ask(const std::string& text, bool defaultYes)
{
    std::lock_guard lock(m_mutex);
    const TextLookup& texts = *m_texts;
    const std::string answer = defaultYes ? texts.textOr(kTextYes, "Yes") : texts.textOr(kTextNo, "No");
    const std::string answered = text::fillIn(texts.textOr(kTextAnswered, "answered %s (no one to ask)"), {answer});
    std::fprintf(m_out, "tarnwick: %s\ntarnwick: %s\n", text.c_str(), answered.c_str());
    std::fflush(m_out);
    return defaultYes;
}

} // namespace tw
