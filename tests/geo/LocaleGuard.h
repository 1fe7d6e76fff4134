// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <clocale>
#include <string>

namespace tw::test {

// Switches the C library to a locale with decimal commas for one scope, so
// that a test can show that number texts do not depend on it. `active` is
// false when no such locale is installed.
class GermanLocale {
public:
    GermanLocale()
    {
        const char* previous = std::setlocale(LC_ALL, nullptr);
        m_saved = previous ? previous : "C";
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_AT.UTF-8", "de_CH.UTF-8"}) {
            if (std::setlocale(LC_ALL, name)) {
                active = true;
                break;
            }
        }
    }
    ~GermanLocale() { std::setlocale(LC_ALL, m_saved.c_str()); }
    GermanLocale(const GermanLocale&) = delete;
    GermanLocale& operator=(const GermanLocale&) = delete;

    bool active = false;

private:
    std::string m_saved;
};

} // namespace tw::test
