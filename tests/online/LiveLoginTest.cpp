// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/AddressSearch.h"
#include "online/CNetClient.h"
#include "online/HttpTransfer.h"
#include "online/LiveLogin.h"
#include "platform/IniFile.h"
#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/online/ScriptedServer.h"
#include "tests/online/SimProcess.h"

#include <sys/stat.h>

using namespace tw;
using namespace tw::net;

TEST(LiveLogin, SignatureIsUpperCaseMd5OfTicketAndSecret)
{
    // Digests from an independent MD5 implementation.
    EXPECT_EQ(ticketSignature("ticket-1"), "85D17D21719B569475BF61A89D939F4D");
    EXPECT_EQ(ticketSignature("\xC5\xBElu\xC5\xA5"), "59EE0FA4BB000458D466322EC0B8C101");
    EXPECT_EQ(ticketSignature(""), "211B8214EEDDDD0EA074ACF20EE01807");
}

class HandoverTest : public test::TempDirTest {};

TEST_F(HandoverTest, TicketIsWrittenPrivatelyAndTokenReadsBackWithinItsLimit)
{
    const auto file = dir / "config" / "handover.ini";
    EXPECT_EQ(readStoredToken(file), std::nullopt);
    ASSERT_TRUE(writeHandoverTicket(file, "T-42", ticketSignature("T-42")));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const IniFile read(file);
    EXPECT_EQ(read.getString(kHandoverSection, "twa"), "T-42");
    EXPECT_EQ(read.getString(kHandoverSection, "twb"), ticketSignature("T-42"));
    EXPECT_EQ(readStoredToken(file), std::nullopt); // no token yet

    IniFile withToken(file, 0600);
    withToken.setString(kHandoverSection, "twtk", std::string(49, 'n'));
    ASSERT_TRUE(withToken.save());
    EXPECT_EQ(readStoredToken(file), std::string(49, 'n'));
    withToken.setString(kHandoverSection, "twtk", std::string(50, 'n'));
    ASSERT_TRUE(withToken.save());
    EXPECT_EQ(readStoredToken(file), "");
}

class RelayTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        if (!sim.start())
            GTEST_SKIP() << sim.error();
        client.setConnectionProbe([] { return true; });
    }
    long signInPage(const LoginTicket& login)
    {
        TransferRequest req;
        req.url = sim.baseUrl() + "/oa/login.php?a=" + login.ticket + "&b=" + login.signature;
        return transfer(req).httpStatus;
    }

    test::SimProcess sim;
    RecordingPrompter prompter;
    RecordingNotifier notifier;
    CNetClient client{prompter, notifier};
};

TEST_F(RelayTest, RelayAcceptsTheSignedTicketAndRefusesAnother)
{
    const auto file = dir / "handover.ini";
    const LoginTicket login = prepareLogin(client, relayEndpoint(sim.baseUrl() + "/oa"), file);
    ASSERT_EQ(login.ticket.size(), 32u);
    EXPECT_TRUE(login.written);
    EXPECT_EQ(IniFile(file).getString(kHandoverSection, "twa"), login.ticket);
    EXPECT_EQ(signInPage(login), 200);

    LoginTicket forged = login;
    forged.signature = ticketSignature(login.ticket + "x");
    EXPECT_EQ(signInPage(forged), 403);
}

TEST_F(RelayTest, WithoutARelayTheEmptyTicketIsStillSigned)
{
    const auto file = dir / "handover.ini";
    const LoginTicket login = prepareLogin(client, "", file);
    EXPECT_EQ(login.ticket, "");
    EXPECT_EQ(IniFile(file).getString(kHandoverSection, "twb"), ticketSignature(""));
    EXPECT_TRUE(sim.requests().empty());
}

TEST(AddressSearch, ResponseGivesAddressPositionAndPrecision)
{
    const GeocodeResult r = readGeocodeResponse(
        "<geocode><Response><Status><code>200</code></Status><Placemark><address>Praha &amp; okol\xC3\xAD</address>"
        "<AddressDetails Accuracy=\"8\"/><Point><coordinates>14.4212535,50.0874654,0</coordinates></Point>"
        "</Placemark></Response></geocode>");
    EXPECT_EQ(r.code, 200);
    EXPECT_EQ(r.address, "Praha & okol\xC3\xAD");
    ASSERT_TRUE(r.hasCoordinates);
    EXPECT_DOUBLE_EQ(r.lat, 50.0874654);
    EXPECT_DOUBLE_EQ(r.lon, 14.4212535);
    EXPECT_EQ(accuracyTextNumber(r.accuracy), 199);

    const GeocodeResult none = readGeocodeResponse("<geocode><Status><code>602</code></Status></geocode>");
    EXPECT_EQ(none.code, 602);
    EXPECT_FALSE(none.hasCoordinates);
    EXPECT_FALSE(none.hasAccuracy);
    // Half a pair, or a position off the globe, is no position.
    EXPECT_FALSE(readGeocodeResponse("<coordinates>14.42</coordinates>").hasCoordinates);
    EXPECT_FALSE(readGeocodeResponse("<coordinates>14.42,95</coordinates>").hasCoordinates);
    EXPECT_FALSE(readGeocodeResponse("<coordinates>inf,50</coordinates>").hasCoordinates);
    EXPECT_EQ(accuracyTextNumber(10), 0);
    EXPECT_EQ(accuracyTextNumber(-1), 0);
}

TEST_F(RelayTest, AddressSearchAsksTheServiceWithTheEscapedQuery)
{
    const GeocodeResult r
        = searchAddress(client, sim.baseUrl() + "/geocode", "Starom\xC4\x9Bstsk\xC3\xA9 n\xC3\xA1m\xC4\x9Bst\xC3\xAD 1");
    ASSERT_TRUE(r.hasCoordinates);
    EXPECT_DOUBLE_EQ(r.lat, 50.0874654);
    EXPECT_EQ(r.accuracy, 8);
    EXPECT_FALSE(searchAddress(client, sim.baseUrl() + "/geocode", "nowhere at all").hasCoordinates);
    EXPECT_FALSE(searchAddress(client, "", "Brno").hasCoordinates);
    // An "&" of the address reaches the service escaped, as part of the query.
    searchAddress(client, sim.baseUrl() + "/geocode", "Mill & Weir 3");
    const auto requests = sim.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), "GET /geocode?q=Mill%20%26%20Weir%203&output=xml");
}

TEST(AddressSearch, RandomAndCutResponsesGiveNoFalsePosition)
{
    std::string noise(1 << 20, '\0');
    std::uint32_t seed = 12345;
    for (char& c : noise) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 24);
    }
    EXPECT_FALSE(readGeocodeResponse(noise).hasCoordinates);

    const std::string whole = "<geocode><Status><code>200</code></Status><Placemark><address>Brno</address>"
                              "<AddressDetails Accuracy=\"4\"/><Point><coordinates>16.6068371,49.1950602,0"
                              "</coordinates></Point></Placemark></geocode>";
    const std::size_t end = whole.find("</coordinates>");
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const GeocodeResult r = readGeocodeResponse(std::string_view(whole).substr(0, n));
        // A position only once its element has ended, and then the whole one.
        EXPECT_EQ(r.hasCoordinates, n >= end + 14) << n;
        if (r.hasCoordinates) {
            EXPECT_DOUBLE_EQ(r.lat, 49.1950602);
        }
    }
}

class RelayFaults : public test::TempDirTest {};

TEST_F(RelayFaults, AnErrorStatusAnErrorPageOrNothingIsNoTicket)
{
    struct Case {
        int status;
        const char* type;
        const char* body;
    };
    const Case cases[] = {{500, "text/plain", "0123456789abcdef"},
                          {500, "text/html", "<html><body>Internal server error</body></html>"},
                          {200, "text/html", "<html><body>Service unavailable</body></html>"},
                          {200, "text/plain", ""},
                          {404, "text/plain", "abc"}};
    for (const Case& c : cases) {
        test::ScriptedServer relay([&c](const test::ScriptedServer::Request&) {
            return test::ScriptedServer::reply(c.body, c.status, c.type);
        });
        ASSERT_TRUE(relay.start());
        RecordingPrompter prompter;
        RecordingNotifier notifier;
        CNetClient client{prompter, notifier};
        client.setConnectionProbe([] { return true; });
        const auto file = dir / ("handover-" + std::to_string(&c - cases) + ".ini");
        const LoginTicket login = prepareLogin(client, relay.baseUrl() + "/oa/", file);
        EXPECT_EQ(login.ticket, "") << c.status << " " << c.body;
        EXPECT_EQ(IniFile(file).getString(kHandoverSection, "twa").value_or("?"), "") << c.body;
        if (c.status != 200) {
            ASSERT_EQ(prompter.messages().size(), 1u);
            EXPECT_EQ(prompter.messages()[0].text,
                      "The server answered with an error (HTTP status " + std::to_string(c.status) + ").");
        }
    }
    EXPECT_TRUE(isTicket("0123456789abcdef0123456789abcdef"));
    EXPECT_FALSE(isTicket(std::string(kMaxTicketChars + 1, 'a')));
}
