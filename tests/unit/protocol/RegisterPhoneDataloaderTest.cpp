// The registration loader: request layout, the reply grammar with its quirks,
// routing of callbacks by operation, and the failure paths.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/RegisterPhoneDataloader.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

// Every callback as one line, in order.
class RecordingDelegate : public RegisterPhoneDelegate {
public:
    static std::string show(const std::optional<std::string>& text) { return text ? "'" + *text + "'" : "(null)"; }
    void RegistrationStatus(bool successful, bool requireValidation,
                            const std::optional<std::string>& message) override {
        add("RegistrationStatus " + b(successful) + " " + b(requireValidation) + " " + show(message));
    }
    void UnRegisterUserSucceeded(bool successful) override { add("UnRegisterUserSucceeded " + b(successful)); }
    void ActivatePhoneSucceeded(bool successful, const std::optional<std::string>& message) override {
        add("ActivatePhoneSucceeded " + b(successful) + " " + show(message));
    }
    void RegistrationThrowsError(const std::string& error) override { add("RegistrationThrowsError " + error); }
    void UnRegisterUserError(const std::string& error) override { add("UnRegisterUserError " + error); }
    void ActivatePhoneReturnedError(const std::string& error) override { add("ActivatePhoneReturnedError " + error); }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    static std::string b(bool value) { return value ? "true" : "false"; }
    void add(std::string line) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(line));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

class RegisterPhoneDataloaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform = makeTestPlatform(dir);
        platform->keyValueStore->set("deviceUniqueID", Value("DEV-1"));
    }
    std::shared_ptr<RegisterPhoneDataloader> loader(ClientCredentials credentials = {"app", "client", "secret"}) {
        auto made = std::make_shared<RegisterPhoneDataloader>(platform, credentials);
        made->setDelegate(delegate);
        return made;
    }
    void answer(const std::string& body) { fakeHttp(*platform).answer(serviceBaseUrl(), FakeHttpClient::reply(body)); }
    bool idle() { return platform->dispatcher->waitIdle(std::chrono::seconds(10)); }
    std::string timeStamp() const { return std::to_string(static_cast<long long>(FakeClock::kStart * 1000)); }

    TempDir dir;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(RegisterPhoneDataloaderTest, RequestsFollowTheirTemplatesAndAreSignedOverTheRawPath) {
    struct Case {
        const char* name;
        std::function<void(RegisterPhoneDataloader&)> start;
        std::string operation;
        std::string rawPath;
        std::int32_t code;
    };
    const std::string ts = timeStamp();
    const std::vector<Case> cases{
        {"register", [](auto& l) { l.registerUserWithID(std::string("alice b"), false); }, "registerUser",
         "DEV-1/app/IOS/alice b/false/client/" + ts, 2},
        {"register waiting", [](auto& l) { l.registerUserWithID(std::string("alice"), true); }, "registerUser",
         "DEV-1/app/IOS/alice/true/client/" + ts, 2},
        {"register null", [](auto& l) { l.registerUserWithID(std::nullopt, false); }, "registerUser",
         "DEV-1/app/IOS/(null)/false/client/" + ts, 2},
        {"remove", [](auto& l) { l.unRegisterUser(); }, "removeAppUser", "DEV-1/app/IOS/client/" + ts, 3},
        {"activate", [](auto& l) { l.activatePhoneWithCode(std::string("1234")); }, "activatePhone",
         "DEV-1/app/IOS/1234/client/" + ts, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakeHttp(*platform).clearRequests();
        capturingLog(*platform).clear();
        auto made = loader();
        c.start(*made);
        EXPECT_EQ(made->operation(), c.code);
        ASSERT_TRUE(idle());
        auto requests = fakeHttp(*platform).requests();
        ASSERT_EQ(requests.size(), 1u);
        std::string encoded = c.rawPath;
        for (std::size_t at; (at = encoded.find(' ')) != std::string::npos;) encoded.replace(at, 1, "%20");
        const std::string expected = serviceBaseUrl() + "/" + c.operation + "/" + encoded + "/" +
                                     *RequestSigner::sign(c.rawPath, "secret");
        EXPECT_EQ(requests[0], expected);
        EXPECT_TRUE(capturingLog(*platform).contains("QUORVELA-DEBUG: " + c.operation + ": " + expected));
        // No answer configured: a transport failure, logged only.
        EXPECT_TRUE(capturingLog(*platform).contains(c.operation + ": completed with error: "));
    }
    EXPECT_TRUE(delegate->calls().empty());
}

TEST_F(RegisterPhoneDataloaderTest, MissingDeviceIdentifierIsSentAsNullText) {
    platform->keyValueStore->remove("deviceUniqueID");
    loader()->unRegisterUser();
    ASSERT_TRUE(idle());
    ASSERT_EQ(fakeHttp(*platform).requests().size(), 1u);
    EXPECT_NE(fakeHttp(*platform).requests()[0].find("/removeAppUser/(null)/app/IOS/client/"), std::string::npos);
}

TEST_F(RegisterPhoneDataloaderTest, RegistrationReplyGrammar) {
    struct Case {
        const char* name;
        std::string body;
        bool wait;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases{
        {"compact",
         "<transactionResult><successful>true</successful><message>Welcome</message></transactionResult>",
         false,
         {"RegistrationStatus true false 'Welcome'"}},
        {"flag comes from the request",
         "<transactionResult><successful>true</successful><message>m</message></transactionResult>",
         true,
         {"RegistrationStatus true true 'm'"}},
        {"capitals",
         "<transactionResult><successful>TRUE</successful></transactionResult>",
         false,
         {"RegistrationStatus false false (null)"}},
        {"digit one",
         "<transactionResult><successful>1</successful></transactionResult>",
         false,
         {"RegistrationStatus false false (null)"}},
        {"leading space",
         "<transactionResult><successful> true</successful></transactionResult>",
         false,
         {"RegistrationStatus false false (null)"}},
        {"indentation is text",
         "<transactionResult>\n  <successful>true</successful>\n  <message>x</message>\n</transactionResult>",
         false,
         {"RegistrationStatus false false '\n  x'"}},
        {"wrapper after message clears it",
         "<transactionResult><successful>true</successful><info><message>gone</message></info>"
         "</transactionResult>",
         false,
         {"RegistrationStatus true false (null)"}},
        {"wrapper after successful resets it",
         "<transactionResult><box><successful>true</successful></box><message>m</message></transactionResult>",
         false,
         {"RegistrationStatus false false 'm'"}},
        {"empty message is null",
         "<transactionResult><successful>true</successful><message/></transactionResult>",
         false,
         {"RegistrationStatus true false (null)"}},
        {"two results, two callbacks",
         "<r><transactionResult><successful>true</successful><message>a</message></transactionResult>"
         "<transactionResult><successful>false</successful><message>b</message></transactionResult></r>",
         false,
         {"RegistrationStatus true false 'a'", "RegistrationStatus false false 'b'"}},
        {"no result element, no callback", "<reply><successful>true</successful></reply>", false, {}},
        {"html error page",
         "<html><body><h1>502 Bad Gateway</h1></body>",
         false,
         {"RegistrationThrowsError System Error"}},
        {"callback before the error stands",
         "<r><transactionResult><successful>true</successful></transactionResult><broken></r>",
         false,
         {"RegistrationStatus true false (null)", "RegistrationThrowsError System Error"}},
        {"empty body", "", false, {"RegistrationThrowsError System Error"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        delegate = std::make_shared<RecordingDelegate>();
        answer(c.body);
        loader()->registerUserWithID(std::string("alice"), c.wait);
        ASSERT_TRUE(idle());
        EXPECT_EQ(delegate->calls(), c.calls);
    }
}

TEST_F(RegisterPhoneDataloaderTest, CallbacksFollowTheOperation) {
    const std::string good =
        "<transactionResult><successful>true</successful><message>ok</message></transactionResult>";
    const std::string bad = "<transactionResult>";
    struct Case {
        std::string body;
        std::function<void(RegisterPhoneDataloader&)> start;
        std::string call;
    };
    const std::vector<Case> cases{
        {good, [](auto& l) { l.unRegisterUser(); }, "UnRegisterUserSucceeded true"},
        {good, [](auto& l) { l.activatePhoneWithCode(std::string("9")); }, "ActivatePhoneSucceeded true 'ok'"},
        {bad, [](auto& l) { l.unRegisterUser(); }, "UnRegisterUserError System Error"},
        {bad, [](auto& l) { l.activatePhoneWithCode(std::string("9")); }, "ActivatePhoneReturnedError System Error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call);
        delegate = std::make_shared<RecordingDelegate>();
        answer(c.body);
        c.start(*loader());
        ASSERT_TRUE(idle());
        EXPECT_EQ(delegate->calls(), std::vector<std::string>{c.call});
    }
}

TEST_F(RegisterPhoneDataloaderTest, ParsingBeforeAnyCallGivesNoCallback) {
    auto made = loader();
    EXPECT_FALSE(made->parse("<transactionResult><broken>"));
    EXPECT_TRUE(made->parse("<transactionResult><successful>true</successful></transactionResult>"));
    EXPECT_TRUE(delegate->calls().empty());
    EXPECT_TRUE(made->successful());
    EXPECT_EQ(made->currentProperty(), std::optional<std::string>("successful"));
}

TEST_F(RegisterPhoneDataloaderTest, SuccessIsLoggedBeforeParsing) {
    answer("<transactionResult><successful>true</successful></transactionResult>");
    loader()->registerUserWithID(std::string("a"), false);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(capturingLog(*platform).contains("QUORVELA-DEBUG: registerUser: completed successfully"));
}

TEST_F(RegisterPhoneDataloaderTest, UnsignableRequestIsOnlyLoggedAndNeverSent) {
    loader({"app", "client", "s\xC3\xA9"})->registerUserWithID(std::string("alice"), false);
    loader({"app", "client", std::nullopt})->unRegisterUser();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(fakeHttp(*platform).requests().empty());
    EXPECT_TRUE(capturingLog(*platform).contains(
        "registerUser: completed with error: Cannot sign a request that holds non-ASCII text"));
    EXPECT_TRUE(capturingLog(*platform).contains("removeAppUser: completed with error: "));
    EXPECT_TRUE(delegate->calls().empty());
}

TEST_F(RegisterPhoneDataloaderTest, SystemErrorTextIsTranslatedWithTheErrorCode) {
    TempDir other;
    other.write("Localizable.strings", "\"System Error\" = \"Systemfehler %ld\";\n");
    auto translated = makeTestPlatform(other);
    EXPECT_EQ(RegisterPhoneDataloader::systemErrorText(*translated->bundle, 4), "Systemfehler 4");
    EXPECT_EQ(RegisterPhoneDataloader::systemErrorText(*platform->bundle, 4), "System Error");
}

}  // namespace
}  // namespace quorvela::test
