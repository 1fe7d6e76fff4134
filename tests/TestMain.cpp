// SPDX-License-Identifier: GPL-3.0-or-later
// Takes the locale from the environment as the window program does (Qt calls
// setlocale), so that running the suite under a German locale tests that no
// number is read or written with a decimal comma.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv)
{
    std::setlocale(LC_ALL, "");
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
