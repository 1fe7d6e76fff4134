// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/ServerText.h"

#include <gtest/gtest.h>

using namespace tw::net;

TEST(ServerText, ControlCharactersAreTakenOutBeforePrinting)
{
    // A title change, a screen clear, a bell and an eight-bit CSI.
    EXPECT_EQ(printableText("\x1b]0;owned\x07\x1b[2JBad\x7f token\xC2\x9B" "1m"), "]0;owned[2JBad token1m");
    EXPECT_EQ(printableText("two\nlines\tand \xC5\xBElu\xC5\xA5 \xC2\xA0"), "two\nlines\tand \xC5\xBElu\xC5\xA5 \xC2\xA0");
}

TEST(ServerText, OnlyImageAddressesThatStayInTheirAttributeAreLinked)
{
    EXPECT_EQ(imageLink("https://img.test/a.jpg?x=1&y=2", "Bridge & <b>gate</b>"),
              "<a href=\"https://img.test/a.jpg?x=1&y=2\">Bridge &amp; &lt;b&gt;gate&lt;/b&gt;</a>");
    for (const char* bad : {"http://x/a.png\"><h1>INJECTED</h1>", "http://x/a b.png", "javascript:alert(1)",
                            "http://x/a.png'onerror='x", "file:///etc/passwd", "http://", "HTTP://x/\\a"})
        EXPECT_FALSE(imageLink(bad, "n")) << bad;
    EXPECT_TRUE(isSafeImageUrl("HTTP://x/a.png"));

    const auto parts = parseImageLink("<a href='http://x/1.jpg'>Gate</a>");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->url, "http://x/1.jpg");
    EXPECT_EQ(parts->name, "Gate");
    EXPECT_FALSE(parseImageLink("<a>no address</a>"));
}
