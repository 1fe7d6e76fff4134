// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Text.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

// Places are filled in order whatever their kind; other percent signs and
// places without a value stay as written.
TEST(FillIn, FillsPlacesInOrderAndKeepsTheRest)
{
    EXPECT_EQ(text::fillIn("The cache database %s cannot be read: %s.", {"a.db3", "disk I/O error"}),
              "The cache database a.db3 cannot be read: disk I/O error.");
    EXPECT_EQ(text::fillIn("Downloaded %d of %d tiles (100%).", {"3", "9"}), "Downloaded 3 of 9 tiles (100%).");
    EXPECT_EQ(text::fillIn("%s and %s", {"one"}), "one and %s");
    EXPECT_EQ(text::fillIn("ends in %", {"x"}), "ends in %");
    EXPECT_EQ(text::fillIn("%s", {"%s"}), "%s");
}

} // namespace
} // namespace tw
