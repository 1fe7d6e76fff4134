// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ConsoleServices.h"

namespace tw {

void ConsolePrompter::message(const std::string& text, MessageIcon icon)
{
    std::lock_guard lock(m_mutex);
    const char* prefix = icon == MessageIcon::Exclamation ? "tarnwick: warning: " : "tarnwick: ";
    std::fprintf(m_out, "%s%s\n", prefix, text.c_str());
    std::fflush(m_out);
}

bool ConsolePrompter::ask(const std::string& text, bool defaultYes)
{
    std::lock_guard lock(m_mutex);
    std::fprintf(m_out, "tarnwick: %s\ntarnwick: answered %s (no one to ask)\n", text.c_str(),
                 defaultYes ? "Yes" : "No");
    std::fflush(m_out);
    return defaultYes;
}

} // namespace tw
