// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace tw::num {
namespace {

TEST(Numbers, LeadingIntReadsLikeScanf)
{
    EXPECT_EQ(leadingInt("12a"), 12);
    EXPECT_EQ(leadingInt("  -7 "), -7);
    EXPECT_EQ(leadingInt("+3"), 3);
    EXPECT_EQ(leadingInt("abc"), std::nullopt);
    EXPECT_EQ(leadingInt(""), std::nullopt);
    EXPECT_EQ(leadingInt("-"), std::nullopt);
    EXPECT_EQ(leadingInt("99999999999999999999"), INT_MAX);
}

TEST(Numbers, ParseIntNeedsTheWholeText)
{
    EXPECT_EQ(parseInt(" 50123456 "), 50123456);
    EXPECT_EQ(parseInt("-14500000"), -14500000);
    EXPECT_EQ(parseInt("12a"), std::nullopt);
    EXPECT_EQ(parseInt(""), std::nullopt);
    EXPECT_EQ(parseInt("1.5"), std::nullopt);
}

TEST(Numbers, DoublesIgnoreTheLocale)
{
    // Under a locale with decimal commas the C library would write "50,5".
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(formatDouble(50.5), "50.5");
    EXPECT_EQ(formatFixed(-14.25, 3), "-14.250");
    EXPECT_EQ(parseDouble("50.5"), 50.5);
    EXPECT_EQ(parseDouble("50,5"), std::nullopt);
    std::size_t used = 0;
    EXPECT_EQ(leadingDouble("1.5e2xyz", &used), 150.0);
    EXPECT_EQ(used, 5u);
    EXPECT_EQ(leadingDouble("--1"), std::nullopt);
    EXPECT_EQ(leadingDouble("x"), std::nullopt);
    EXPECT_EQ(leadingDouble("1e999"), HUGE_VAL);
    EXPECT_EQ(leadingDouble("-1e999"), -HUGE_VAL);
    EXPECT_EQ(leadingDouble("1e-999"), 0.0);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

} // namespace
} // namespace tw::num
