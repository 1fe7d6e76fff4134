// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/CNetClient.h"

#include <gmock/gmock.h>

#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/online/ScriptedServer.h"
#include "tests/online/SimProcess.h"

#include <chrono>

using namespace tw;
using namespace tw::net;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct EncodeCase {
    const char* name;
    const char* in;
    const char* out;
};

class UrlEncoding : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(UrlEncoding, EscapesReservedAndNonAsciiBytes)
{
    EXPECT_EQ(CNetClient::urlEncode(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UrlEncoding,
    ::testing::Values(EncodeCase{"BlankAndAmpersand", "a b&c", "a%20b%26c"}, EncodeCase{"Tilde", "~", "%7E"},
                      EncodeCase{"PlainWord", "GC1BKP3", "GC1BKP3"},
                      EncodeCase{"Reserved", "\"<>%\\^[]`+$,@:;/!#?=&", "%22%3C%3E%25%5C%5E%5B%5D%60%2B%24%2C%40%3A%3B%2F%21%23%3F%3D%26"},
                      EncodeCase{"KeptPunctuation", "a-b_c.d*e(f)'", "a-b_c.d*e(f)'"},
                      EncodeCase{"ControlCharacters", "a\tb\n", "a%09b%0A"},
                      // Every UTF-8 byte escaped, so the server gets the whole character back.
                      EncodeCase{"Czech", "\xC5\xBEluť", "%C5%BElu%C5%A5"}),
    [](const auto& row) { return std::string(row.param.name); });

struct UrlCase {
    const char* name;
    const char* in;
    const char* out; // empty: refused
};

class UrlPreparation : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlPreparation, TurnsEscapedAmpersandsBackAndRefusesOtherSchemes)
{
    const auto got = prepareUrl(GetParam().in);
    if (*GetParam().out == '\0')
        EXPECT_FALSE(got) << *got;
    else
        EXPECT_EQ(got.value_or("(refused)"), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Urls, UrlPreparation,
    ::testing::Values(UrlCase{"QueryAmpersand", "http://h.test/a?q=x%26y&z=1", "http://h.test/a?q=x&y&z=1"},
                      UrlCase{"PathOnly", "https://h.test:8443/p", "https://h.test:8443/p"},
                      UrlCase{"NoPath", "http://h.test", "http://h.test"},
                      UrlCase{"FileScheme", "file:///etc/passwd", ""}, UrlCase{"FtpScheme", "ftp://h.test/x", ""},
                      UrlCase{"NotAUrl", "no url at all", ""}),
    [](const auto& row) { return std::string(row.param.name); });

struct TypeCase {
    const char* name;
    const char* type;
    const char* ext;
};

class ImageTypes : public ::testing::TestWithParam<TypeCase> {};

TEST_P(ImageTypes, OnlyKnownImageSubtypesBecomeExtensions)
{
    EXPECT_EQ(imageExtension(GetParam().type), GetParam().ext);
}

INSTANTIATE_TEST_SUITE_P(Types, ImageTypes,
                         ::testing::Values(TypeCase{"Png", "image/png", "png"}, TypeCase{"Jpeg", "image/jpeg", "jpeg"},
                                           TypeCase{"UpperCaseWithParameter", "Image/JPEG; q=1", "jpeg"},
                                           TypeCase{"Webp", "image/webp", "webp"},
                                           TypeCase{"PathInSubtype", "image/../../evil", ""},
                                           TypeCase{"Svg", "image/svg+xml", ""}, TypeCase{"Html", "text/html", ""},
                                           TypeCase{"Empty", "", ""}),
                         [](const auto& row) { return std::string(row.param.name); });

class NetClientTest : public test::WithSuiteSim<::testing::Test> {
protected:
    void SetUp() override
    {
        if (!simError().empty())
            GTEST_SKIP() << simError();
        client.setConnectionProbe([] { return true; });
        client.setDownloadsOn(true);
        client.setTimeouts(std::chrono::seconds(2), std::chrono::seconds(1));
    }
    std::string url(const std::string& path) const { return s_sim->baseUrl() + path; }

    RecordingPrompter prompter;
    RecordingNotifier notifier;
    CNetClient client{prompter, notifier};
};

TEST_F(NetClientTest, GetSendsTheUserAgentAndARawAmpersand)
{
    std::string text;
    ASSERT_TRUE(client.httpGet(url("/echo?q=" + CNetClient::urlEncode("a b&c")), text));
    EXPECT_THAT(text, StartsWith("GET /echo?q=a%20b&c\n"));
    EXPECT_THAT(text, HasSubstr("User-Agent: Mozilla/5.0 (Windows; U; Windows NT 5.1; cs; rv:1.9.2.3) "
                                "Gecko/20100401 Firefox/3.6.3\n"));
    EXPECT_THAT(text, HasSubstr("Content-Type: text/plain; charset=utf-8\n"));
    EXPECT_FALSE(client.connected());
    EXPECT_TRUE(prompter.messages().empty());
}

struct PostCase {
    const char* name;
    int kind;
    const char* contentType; // empty: none expected
};

class PostKinds : public NetClientTest, public ::testing::WithParamInterface<PostCase> {};

TEST_P(PostKinds, SendTheBodyWithTheContentTypeOfItsKind)
{
    std::string text = "left over";
    const std::string body = "nick=Jan\xC5\xBE&ver=1.6.0.95";
    ASSERT_TRUE(client.httpPost(url("/echo"), body, text, GetParam().kind));
    EXPECT_THAT(text, StartsWith("POST /echo\n"));
    EXPECT_THAT(text, HasSubstr("Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8\n"));
    if (*GetParam().contentType)
        EXPECT_THAT(text, HasSubstr(std::string("Content-Type: ") + GetParam().contentType + "\n"));
    else
        EXPECT_THAT(text, ::testing::Not(HasSubstr("Content-Type:")));
    EXPECT_THAT(text, ::testing::EndsWith("\n\n" + body));
}

INSTANTIATE_TEST_SUITE_P(Kinds, PostKinds,
                         ::testing::Values(PostCase{"Form", 0, "application/x-www-form-urlencoded"},
                                           PostCase{"Xml", 1, "text/xml"}, PostCase{"None", 7, ""}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(NetClientTest, ALongResponseArrivesWholeWithItsMultiByteCharacters)
{
    std::string expected;
    const std::string unit = "0123456789\xC5\xBE\n";
    while (expected.size() + unit.size() <= 100000)
        expected += unit;
    expected.append(100000 - expected.size(), '.');
    std::string text;
    ASSERT_TRUE(client.httpGet(url("/big?bytes=100000"), text));
    EXPECT_EQ(text.size(), expected.size());
    EXPECT_TRUE(text == expected);
}

TEST_F(NetClientTest, WithoutAConnectionNothingIsSentAndDownloadsGoOff)
{
    client.setConnectionProbe([] { return false; });
    const auto before = s_sim->requests().size();
    std::string text;
    EXPECT_FALSE(client.httpPost(url("/twinfo.php"), "nick=a", text, 0));
    EXPECT_FALSE(client.downloadsOn());
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_EQ(s_sim->requests().size(), before);
}

TEST_F(NetClientTest, HttpsGoesOutEncryptedOnAnyPort)
{
    // The simulator speaks plain HTTP: a client that chose TLS by port would
    // send this request in clear and succeed.
    std::string text;
    EXPECT_FALSE(client.httpGet("https://127.0.0.1:" + std::to_string(s_sim->port()) + "/echo?secret=1", text));
    for (const std::string& line : s_sim->requests())
        EXPECT_THAT(line, ::testing::Not(HasSubstr("secret")));
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_THAT(prompter.messages()[0].text, StartsWith("Internet error: "));
    EXPECT_FALSE(client.downloadsOn());
}

struct FailureCase {
    const char* name;
    const char* path;      // appended to the simulator's address; "" for a closed port
    const char* message;   // beginning of the one message shown
    bool downloadsStayOn;
};

class RequestFailures : public NetClientTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(RequestFailures, ReportOnceAndReturnFalse)
{
    const FailureCase& c = GetParam();
    const std::string target = *c.path == '\0' ? "http://127.0.0.1:1/x" : std::string(c.path).starts_with("http")
                                                                              ? std::string(c.path)
                                                                              : url(c.path);
    std::string text = "unchanged";
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.httpGet(target, text));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_THAT(prompter.messages()[0].text, StartsWith(c.message));
    EXPECT_EQ(prompter.messages()[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(client.downloadsOn(), c.downloadsStayOn);
    EXPECT_FALSE(client.connected());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, RequestFailures,
    ::testing::Values(FailureCase{"ClosedPort", "", "Internet error: ", false},
                      FailureCase{"BodyCutShort", "/short/tiles/3/1/2.png", "Internet error: ", false},
                      FailureCase{"StalledReply", "/slow/tiles/3/1/2.png?delay=20", "Internet error: ", false},
                      FailureCase{"EndlessBody", "/huge/tiles/3/1/2.png", "Internet error: The response is larger",
                                  false},
                      FailureCase{"NotAUrl", "http://", "Error in OpenURL", true},
                      FailureCase{"FileScheme", "file:///etc/hostname", "Error in OpenURL", true}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(NetClientTest, AnErrorStatusIsAFailureSaidAsSuch)
{
    std::string text = "unchanged";
    EXPECT_FALSE(client.httpGet(url("/no/such/page"), text));
    EXPECT_EQ(text, "unchanged");
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, "The server answered with an error (HTTP status 404).");
    // The line works: tiles and images go on.
    EXPECT_TRUE(client.downloadsOn());
}

TEST(SameOrigin, NeedsTheSameSchemeHostAndPort)
{
    EXPECT_TRUE(sameOrigin("http://Live.test/a", "http://live.test:80/b?c=1"));
    EXPECT_TRUE(sameOrigin("https://live.test/a", "https://live.test:443/b"));
    EXPECT_FALSE(sameOrigin("https://live.test/a", "http://live.test/a"));
    EXPECT_FALSE(sameOrigin("http://127.0.0.1:8080/a", "http://127.0.0.1:8081/a"));
    EXPECT_FALSE(sameOrigin("http://live.test/a", "http://other.test/a"));
    EXPECT_FALSE(sameOrigin("http://live.test/a", "not a url"));
}

// A Live API front end that sends its requests elsewhere, and the place it
// sends them to.
class HostileRedirectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!elsewhere.start() || !front.start())
            GTEST_SKIP() << "no loopback server";
        client.setConnectionProbe([] { return true; });
        client.setDownloadsOn(true);
    }

    RecordingPrompter prompter;
    RecordingNotifier notifier;
    CNetClient client{prompter, notifier};
    test::ScriptedServer elsewhere{[](const test::ScriptedServer::Request&) {
        return test::ScriptedServer::reply("<taken/>");
    }};
    test::ScriptedServer front{[this](const test::ScriptedServer::Request& r) {
        test::ScriptedServer::Reply reply;
        if (r.target == "/same") {
            reply.body = "<same>" + r.body + "</same>";
            return reply;
        }
        reply.status = 307;
        reply.headers = {"Location: " + (r.target == "/away" ? elsewhere.baseUrl() + "/stolen" : std::string("/same"))};
        return reply;
    }};
};

TEST_F(HostileRedirectTest, TheTokenIsNotPostedToAnotherPortButFollowsOnTheSameServer)
{
    const std::string body = "<AccessToken>secret</AccessToken>";
    std::string text;
    EXPECT_FALSE(client.httpPost(front.baseUrl() + "/away", body, text, 1));
    EXPECT_TRUE(elsewhere.requests().empty());
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, "The server sent the request on to " + elsewhere.baseUrl() +
                                               "/stolen; it was not followed there.");

    // A 307 on the same server repeats the request there, body and all.
    ASSERT_TRUE(client.httpPost(front.baseUrl() + "/here", body, text, 1));
    EXPECT_EQ(text, "<same>" + body + "</same>");
}

TEST(RequestDeadline, ADrippingServerDoesNotHoldARequestPastItsDeadline)
{
    // 4 bytes a second passes the stall check (1 byte/s for 30 s) forever.
    test::ScriptedServer drip([](const test::ScriptedServer::Request&) {
        auto reply = test::ScriptedServer::reply(std::string(400, 'x'));
        reply.dripBytesPerSecond = 4;
        return reply;
    });
    ASSERT_TRUE(drip.start());
    RecordingPrompter prompter;
    RecordingNotifier notifier;
    CNetClient client{prompter, notifier};
    client.setConnectionProbe([] { return true; });
    client.setTimeouts(std::chrono::seconds(2), std::chrono::seconds(30), std::chrono::seconds(2));
    std::string text;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.httpGet(drip.baseUrl() + "/slow", text));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(3500));
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].text, "Internet error: The answer did not arrive within 2 seconds.");
}
