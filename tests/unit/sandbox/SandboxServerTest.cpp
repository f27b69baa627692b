// The sandbox's HTTPS side through the real client: signature checks of the
// route table, endpoint faults, malformed requests, the connection counts and
// a restart. The server goes on serving after each bad request or fault.
#include <httplib.h>

#include <fstream>
#include <future>
#include <iterator>

#include "SandboxFixture.h"
#include "ServiceHosts.h"
#include "protocol/SignedUrl.h"
#include "sandbox/EndpointFaults.h"
#include "sandbox/RestRouter.h"
#include "sandbox/SandboxState.h"

namespace quorvela::sandbox::test {
namespace {

using namespace std::chrono_literals;

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

constexpr const char* kProbeKey = "probe-key";
constexpr const char* kGoodReply = "<probe><successful>true</successful></probe>";

class SandboxServerTest : public SandboxFixture {
protected:
    void SetUp() override {
        SandboxFixture::SetUp();
        sandbox.addOperation("echoPath", echoOperation());
        RestOperation probe;
        probe.key = [](const RestCall&, SandboxState&) { return std::optional<std::string>(kProbeKey); };
        probe.handle = [](const RestCall&, SandboxState&) { return RestReply{200, kGoodReply}; };
        sandbox.addOperation("probe", EndpointFaults::withFaults("probe", probe));
    }

    HttpResult callProbe() { return get(restUrl("probe", "a/1", "a/1", kProbeKey)); }
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

    // The log shows which requests had a good signature; without a key there is no verdict.
    auto requests = sandbox.requests();
    ASSERT_EQ(requests.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(requests[i].operation, "echoPath");
        EXPECT_EQ(requests[i].status, cases[i].status);
        const bool keyFound = cases[i].signedPath.rfind(kPublicId, 0) == 0;
        EXPECT_EQ(requests[i].signatureOk, keyFound ? std::optional(cases[i].status == 200) : std::nullopt);
    }
}

TEST_F(SandboxServerTest, AcceptsTheLibrarysSignedUrls) {
    // Values with characters the library encodes, leaves alone, or that add a segment;
    // the signature covers the decoded path.
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

// The faults the admin can put on an operation: a malformed body and an error
// page are finished transfers, a dropped connection is a transport error.
TEST_F(SandboxServerTest, EachFaultReachesTheClientAsDescribed) {
    struct Case {
        std::optional<std::string> fault;
        bool transferOk;
        long status;
        std::string bodyStart;
    };
    const std::vector<Case> cases{
        {std::nullopt, true, 200, kGoodReply},
        {"malformed", true, 200, "<?xml version=\"1.0\"?><messages><message><id>1</id><subj"},
        {"html", true, 500, "<!DOCTYPE html>"},
        {"drop", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault.value_or("none"));
        EndpointFaults(sandbox.state()).set("probe", c.fault);
        const HttpResult result = callProbe();
        EXPECT_EQ(result.ok, c.transferOk) << result.error;
        if (c.transferOk) {
            EXPECT_EQ(result.status, c.status);
            EXPECT_EQ(result.body.rfind(c.bodyStart, 0), 0u) << result.body;
        } else {
            // Neither a finished body nor the cap: the connection broke off.
            EXPECT_FALSE(result.error.empty());
            EXPECT_EQ(result.error.find("exceeds"), std::string::npos) << result.error;
        }
        // The server serves the next request as usual.
        EndpointFaults(sandbox.state()).set("probe", std::nullopt);
        const HttpResult after = callProbe();
        EXPECT_TRUE(after.ok) << after.error;
        EXPECT_EQ(after.body, kGoodReply);
    }
}

TEST_F(SandboxServerTest, CountsAcceptedConnectionsAndCompletedHandshakes) {
    EXPECT_EQ(adminJson("/connections"), json::parse(R"({"accepted":0,"tlsHandshakes":0})"));
    // One client's requests share a connection, blocking or not; a second client brings its own.
    std::promise<HttpResult> first;
    client->get(serviceUrl("/events/?deviceid=1"), 10s, [&](HttpResult r) { first.set_value(std::move(r)); });
    ASSERT_EQ(first.get_future().get().status, 200);
    for (const char* device : {"2", "3"}) ASSERT_EQ(get(serviceUrl("/events/?deviceid=") + device).status, 200);
    CurlHttpClient other(sandbox.httpOptions(), dispatcher);
    ASSERT_EQ(other.getBlocking(serviceUrl("/events/?deviceid=4"), 10s).status, 200);
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
    const std::string ipEcho = std::string("https://") + QUORVELA_IPECHO_HOST;
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
        {ipEcho + "/other", 404},
        {serviceUrl("/"), 404},  // only the IP echo host answers its address on "/"
    };
    for (const auto& [url, status] : cases) {
        HttpResult result = get(url);
        ASSERT_TRUE(result.ok) << url.substr(0, 200) << ": " << result.error;
        EXPECT_EQ(result.status, status) << url.substr(0, 200);
    }
    EXPECT_EQ(get(ipEcho + "/").body, "127.0.0.1");

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
