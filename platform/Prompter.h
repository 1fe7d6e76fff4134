// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw {

enum class MessageIcon { Plain, Information, Exclamation };

// Message boxes and yes/no questions. The window implements it with dialogs,
// batch mode on stderr, tests with a recorder. May be called from any thread;
// a question blocks the caller until it is answered.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void message(const std::string& text, MessageIcon icon) = 0;
    // Returns true for Yes. defaultYes is the answer an unattended run gives.
    virtual bool ask(const std::string& text, bool defaultYes) = 0;
};

} // namespace tw
