// The sandbox's HTTPS side through the real client: signature checks of the
// route table, the events endpoint, the IP echo, malformed requests and the
// connection counts.
#include <httplib.h>

#include <fstream>
#include <iterator>

#include "SandboxFixture.h"
#include "ServiceHosts.h"
#include "protocol/SignedUrl.h"
#include "sandbox/RestRouter.h"
#include "sandbox/SandboxState.h"

namespace quorvela::sandbox::test {
namespace {

/// A REST operation signed with the application key of its first segment,
/// answering with the parameter path it was given and its segment count.
RestOperation echoOperation() {
    RestOperation operation;
    operation.key = RestRouter::applicationKeyAt(0);
    operation.handle = [](const RestCall& call, SandboxState&) {
        return RestReply{200, call.rawPath + "|" + std::to_string(call.segments.size()), "text/plain"};
    };
    return operation;
}

class SandboxServerTest : public SandboxFixture {
protected:
    void SetUp() override {
        SandboxFixture::SetUp();
        sandbox.addOperation("echoPath", echoOperation());
    }
};

TEST_F(SandboxServerTest, SignatureChecks) {
    struct Case {
        const char* name;
        std::string encodedPath;  // as written into the URL
        std::string signedPath;   // what the signature covers
        std::string key;
        long status;
        std::string body;
    };
    const std::string id = kPublicId;
    const std::vector<Case> cases{
        {"correct", id + "/IOS/1700000000000", id + "/IOS/1700000000000", kPrivateKey, 200,
         id + "/IOS/1700000000000|3"},
        {"space encoded, raw path signed", id + "/a%20b/1", id + "/a b/1", kPrivateKey, 200, id + "/a b/1|3"},
        {"slash in a value adds a segment", id + "/a/b/1", id + "/a/b/1", kPrivateKey, 200, id + "/a/b/1|4"},
        {"non-ASCII value", id + "/caf%C3%A9/1", id + "/caf\xC3\xA9/1", kPrivateKey, 200, id + "/caf\xC3\xA9/1|3"},
        {"encoded path signed instead of raw", id + "/a%20b/1", id + "/a%20b/1", kPrivateKey, 403, ""},
        {"wrong key", id + "/IOS/1", id + "/IOS/1", "other-key", 403, ""},
        {"tampered path", id + "/IOS/2", id + "/IOS/1", kPrivateKey, 403, ""},
        {"unknown client", "pub-unknown/IOS/1", "pub-unknown/IOS/1", kPrivateKey, 403, ""},
    };
    for (const Case& c : cases) {
        HttpResult result = get(restUrl("echoPath", c.encodedPath, c.signedPath, c.key));
        ASSERT_TRUE(result.ok) << c.name << ": " << result.error;
        EXPECT_EQ(result.status, c.status) << c.name << ": " << result.body;
        EXPECT_EQ(c.status == 200 ? result.body : "", c.body) << c.name;
    }

    // The log shows which requests had a good signature.
    auto requests = sandbox.requests();
    ASSERT_EQ(requests.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(requests[i].operation, "echoPath");
        EXPECT_EQ(requests[i].status, cases[i].status) << cases[i].name;
        const bool unknownClient = std::string(cases[i].name) == "unknown client";
        if (unknownClient) {
            EXPECT_FALSE(requests[i].signatureOk.has_value());
        } else {
            ASSERT_TRUE(requests[i].signatureOk.has_value()) << cases[i].name;
            EXPECT_EQ(*requests[i].signatureOk, cases[i].status == 200) << cases[i].name;
        }
    }
}

TEST_F(SandboxServerTest, AcceptsTheLibrarysSignedUrls) {
    // Values with characters the library encodes, leaves alone, or that add a segment.
    const std::string rawPath =
        SignedUrl::joinPath({kPublicId, "a b", "x/y", "(=&+;?#%)", std::nullopt, "1700000000000"});
    SignedUrl url = SignedUrl::build("echoPath", rawPath, std::string(kPrivateKey));
    ASSERT_TRUE(url.ok()) << url.error();
    HttpResult result = get(url.url());
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.status, 200) << result.body;
    EXPECT_EQ(result.body, rawPath + "|7");

    SignedUrl wrongKey = SignedUrl::build("echoPath", rawPath, std::string("not-the-key"));
    EXPECT_EQ(get(wrongKey.url()).status, 403);
}

TEST_F(SandboxServerTest, EventsAreRecordedInOrderWithDecodedValues) {
    const std::string query =
        "deviceid=DEV-1&client=pub-1&app=Demo%20App&platform=IOS&eventtype=REGION%20ENTER"
        "&latitude=10.500000&longitude=-66.900000&extrainfo=a&b=c+d&campaign_name=&version=3.6.0";
    HttpResult result = get(serviceUrl("/events/?" + query));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.status, 200);

    auto events = sandbox.analyticsEvents();
    ASSERT_EQ(events.size(), 1u);
    const std::vector<std::pair<std::string, std::string>> expected{
        {"deviceid", "DEV-1"},         {"client", "pub-1"},       {"app", "Demo App"},         {"platform", "IOS"},
        {"eventtype", "REGION ENTER"}, {"latitude", "10.500000"}, {"longitude", "-66.900000"}, {"extrainfo", "a&b=c+d"},
        {"campaign_name", ""},         {"version", "3.6.0"}};
    EXPECT_EQ(events[0].query, expected);
    EXPECT_EQ(sandbox.requests().back().operation, "events");
}

TEST_F(SandboxServerTest, IpEchoAnswersTheCallersAddress) {
    HttpResult result = get(std::string("https://") + QUORVELA_IPECHO_HOST + "/");
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, "127.0.0.1");
    EXPECT_EQ(get(std::string("https://") + QUORVELA_IPECHO_HOST + "/other").status, 404);
    // The service host does not echo.
    EXPECT_EQ(get(serviceUrl("/")).status, 404);
}

TEST_F(SandboxServerTest, CountsAcceptedConnectionsAndCompletedHandshakes) {
    EXPECT_EQ(adminJson("/connections"), json::parse(R"({"accepted":0,"tlsHandshakes":0})"));
    // One client's requests share a connection; a second client brings its own.
    for (const char* device : {"1", "2", "3"}) ASSERT_EQ(get(serviceUrl("/events/?deviceid=") + device).status, 200);
    CurlHttpClient other(sandbox.httpOptions(), dispatcher);
    ASSERT_EQ(other.getBlocking(serviceUrl("/events/?deviceid=4"), std::chrono::seconds(10)).status, 200);
    // Plain HTTP on the TLS port is accepted but completes no handshake.
    httplib::Client plain("127.0.0.1", sandbox.port());
    EXPECT_FALSE(plain.Get("/events/?deviceid=5"));

    const ConnectionCounts counts = sandbox.connectionCounts();
    EXPECT_EQ(counts.accepted, 3u);
    EXPECT_EQ(counts.tlsHandshakes, 2u);
    // Admin calls are not counted, and clearing the records leaves the counts.
    ASSERT_TRUE(admin().Delete("/records"));
    EXPECT_EQ(adminJson("/connections"), json::parse(R"({"accepted":3,"tlsHandshakes":2})"));
}

TEST_F(SandboxServerTest, MalformedRequestsGetClientErrorsAndServingGoesOn) {
    const std::string signature = SignatureVerifier::sign(kPrivateKey, std::string(kPublicId) + "/1");
    const std::string rest = Sandbox::baseUrl() + "/echoPath/";
    const std::vector<std::pair<std::string, long>> cases{
        {rest + "pub-1/%zz/" + signature, 400},           // bad percent-encoding
        {rest + "pub-1/%2/" + signature, 400},            // truncated escape
        {rest + "pub-1/1/" + std::string(64, 'A'), 400},  // upper-case signature
        {rest + "pub-1/1/abc", 400},                      // short signature
        {rest + "pub-1/a%00b/" + signature, 400},         // NUL inside a value
        {rest + signature, 400},                          // no parameter path
        {rest + "pub-1/1/" + signature + "?x=1", 400},    // a query on a REST call
        {Sandbox::baseUrl() + "/noSuchOperation/pub-1/1/" + signature, 404},
        {Sandbox::baseUrl() + "/", 404},
        {serviceUrl("/events/"), 400},  // no query
        {serviceUrl("/events/?deviceid=%G1"), 400},
        {serviceUrl("/events"), 404},
        {serviceUrl("/events/more?deviceid=1"), 404},
        {serviceUrl("/" + std::string(70 * 1024, 'a')), 414},
        {serviceUrl("/events/?extrainfo=" + std::string(70 * 1024, 'a')), 414},
    };
    for (const auto& [url, status] : cases) {
        HttpResult result = get(url);
        ASSERT_TRUE(result.ok) << url.substr(0, 200) << ": " << result.error;
        EXPECT_EQ(result.status, status) << url.substr(0, 200);
    }

    httplib::SSLClient raw("127.0.0.1", sandbox.port());
    raw.set_ca_cert_path(sandbox.caFile().c_str());
    auto posted = raw.Post("/events/?deviceid=1", "body", "text/plain");
    ASSERT_TRUE(posted);
    EXPECT_EQ(posted->status, 405);

    EXPECT_TRUE(sandbox.analyticsEvents().empty());
    HttpResult still = get(restUrl("echoPath", "pub-1/1", "pub-1/1", kPrivateKey));
    ASSERT_TRUE(still.ok) << still.error;
    EXPECT_EQ(still.status, 200);
}

TEST_F(SandboxServerTest, StateAndCertificatesSurviveARestart) {
    std::ifstream before(sandbox.caFile());
    const std::string caText((std::istreambuf_iterator<char>(before)), {});
    ASSERT_FALSE(caText.empty());
    ASSERT_EQ(get(serviceUrl("/events/?deviceid=1&version=3.6.0")).status, 200);

    sandbox.stop();
    startSandbox();
    makeClient();  // the port changed
    std::ifstream after(sandbox.caFile());
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), caText);
    ASSERT_EQ(sandbox.applications().size(), 1u);
    EXPECT_EQ(sandbox.applications()[0].privateKey, kPrivateKey);
    EXPECT_EQ(sandbox.analyticsEvents().size(), 1u);
    HttpResult result = get(restUrl("echoPath", "pub-1/1", "pub-1/1", kPrivateKey));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.status, 200);
}

}  // namespace
}  // namespace quorvela::sandbox::test
