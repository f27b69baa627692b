// Every signed request of the loaders: its URL, its log lines and the calls
// that follow a reply, a malformed reply, a transport failure and a request
// that cannot be signed; then the particulars of the loaders' replies and paths.
#include <functional>
#include <string>
#include <vector>

#include "protocol/CheckGeoFences.h"
#include "protocol/DeviceSubscriber.h"
#include "protocol/LoadBeacons.h"
#include "protocol/LocationDataLoader.h"
#include "protocol/PendingMessageDataLoader.h"
#include "protocol/PercentEncoding.h"
#include "protocol/RegisterPhoneDataloader.h"
#include "protocol/RequestSigner.h"
#include "protocol/SendMessage.h"
#include "protocol/SingleMessageLoader.h"
#include "protocol/WorkspaceDataLoader.h"
#include "unit/protocol/LoaderHarness.h"

namespace quorvela::test {
namespace {

using Start = void (*)(LoaderTest&, FetchCompletion);

struct Endpoint {
    const char* name;
    Start start;
    std::string operation, rawPath, key;
    std::string urlLog;  // the debug line's text before the URL
    std::string reply;   // a well-formed reply and the calls it gives
    Events replied;
    std::string doneLog;           // logged whenever a reply arrived
    Events failed;                 // calls after a failure whose text is "%s"
    std::string failLog;           // logged after that failure
    std::optional<Events> broken;  // calls after a malformed reply, when not those of a failure
};
Endpoint row(const char* name, Start start, std::string operation, std::string rawPath, std::string key,
             std::string urlLog, std::string reply, Events replied, std::string doneLog, Events failed,
             std::string failLog = "%s {", std::optional<Events> broken = std::nullopt) {
    return {name, start, operation, rawPath, key, urlLog, reply, replied, doneLog, failed, failLog, broken};
}
void PrintTo(const Endpoint& e, std::ostream* out) { *out << e.name; }

void geofences(LoaderTest& t, FetchCompletion done) {
    t.loader<CheckGeoFences>(t.platform, t.credentials)->getUpdatedGeoFencesFromWorkspace(t.ws, done);
}
void beacons(LoaderTest& t, FetchCompletion done) {
    t.loader<LoadBeacons>(t.platform, t.credentials)->getUpdatedBeaconsFromWorkspace(t.ws, done);
}
void message(LoaderTest& t, FetchCompletion done) {
    t.loader<SingleMessageLoader>(t.platform)->startLoadingDataForMessageWithID("123", t.ws, done);
}
void pending(LoaderTest& t, FetchCompletion done) {
    t.loader<PendingMessageDataLoader>(t.platform, t.credentials)->startLoadingMessageWithCompletionHandler(done);
}
void pendingOfWorkspace(LoaderTest& t, FetchCompletion done) {
    t.loader<PendingMessageDataLoader>(t.platform, t.credentials)->startLoadingMessageFromWorkspace(t.ws, done);
}
void location(LoaderTest& t, FetchCompletion done) {
    t.loader<LocationDataLoader>(t.platform, t.credentials)->sendLocation("req 1", 10.4806f, -66.9036f, t.ws, done);
}
void regionEvent(LoaderTest& t, FetchCompletion done) {
    t.loader<LocationDataLoader>(t.platform, t.credentials)
        ->fireEventInRegion("gf 7", "GEOFENCE", "EXIT", -33.5f, 151.25f, t.ws, done);
}
std::shared_ptr<WorkspaceDataLoader> workspaces(LoaderTest& t) {
    return t.loader<WorkspaceDataLoader>(t.platform, t.credentials);
}
void available(LoaderTest& t, FetchCompletion done) {
    workspaces(t)->getAvailableWorkspacesWithCompletionHandler(done);
}
void subscribed(LoaderTest& t, FetchCompletion done) {
    workspaces(t)->getSubscribedWorkspacesWithCompletionHander(done);
}
void join(LoaderTest& t, FetchCompletion done) { workspaces(t)->subscribeToWorkspace(t.ws, done); }
void joinWithoutUser(LoaderTest& t, FetchCompletion done) {
    t.platform->keyValueStore->remove("clientUserID");
    join(t, std::move(done));
}
void leave(LoaderTest& t, FetchCompletion done) { workspaces(t)->unsubscribeFromWorkspace(t.ws, done); }
std::shared_ptr<RegisterPhoneDataloader> registration(LoaderTest& t, FetchCompletion done) {
    auto made = t.loader<RegisterPhoneDataloader>(t.platform, t.credentials);
    if (done) made->setCompletion([done](RegistrationResult r) { done(static_cast<unsigned long>(r)); });
    return made;
}
void registerUser(LoaderTest& t, FetchCompletion done) { registration(t, done)->registerUserWithID("alice b", false); }
void registerNullUser(LoaderTest& t, FetchCompletion done) {
    registration(t, done)->registerUserWithID(std::nullopt, true);
}
void removeUserWithoutDeviceId(LoaderTest& t, FetchCompletion done) {
    t.platform->keyValueStore->remove("deviceUniqueID");
    registration(t, done)->unRegisterUser();
}
void activate(LoaderTest& t, FetchCompletion done) { registration(t, done)->activatePhoneWithCode("1234"); }
void subscribeDevice(LoaderTest& t, FetchCompletion) {
    t.loader<DeviceSubscriber>(t.platform, t.credentials)->registerDeviceWithUniqueID();
}
void subscribeDeviceWithoutPushId(LoaderTest& t, FetchCompletion done) {
    t.platform->keyValueStore->remove("devicePushID");
    subscribeDevice(t, done);
}
void sendResponse(LoaderTest& t, FetchCompletion) {
    SendMessage::sendMessage(t.platform, t.credentials, "???", "someone", t.ws);
}

const std::string kTransaction =
    "<transactionResult><successful>true</successful><message>ok</message></transactionResult>";
const std::string kList = "<workspaces><workspace><clientId>c1</clientId></workspace><workspace/></workspaces>";
const std::string kLocationPath = "DEV-1/" + kStamp + "/10.480600/-66.903603/APP/abc/" + kStamp + ".000000";
const std::string kWorkspacePath = "Demo/IOS/u1/abc/" + kStamp;
const std::string kWorkspaceDone = "Workspace: completed successfully";
const std::string kJoinError = "join failed ws 'Workspace - Subscribe Error: %s {*";
const Events kRegistrationFailed{"completion 3"};

const Endpoint kEndpoints[] = {
    row("GeoFences", geofences, "getGeoFences", "Demo/abc/" + kStamp, "ws-key",
        "getGeoFences: ", "<l><geoFence><regionId>r</regionId></geoFence></l>", {"geofences 1", "completion 0"},
        "Geofence: completed successfully", {"geofences error Geofence Error: %s {*", "completion 2"}),
    row("Beacons", beacons, "getBeacons", "Demo/abc/" + kStamp, "ws-key",
        "getBeaconsURL: ", "<l><beacon><regionId>b</regionId></beacon><beacon/></l>", {"beacons 2", "completion 0"},
        "Beacons: completed successfully", {"beacons error Beacons Error: %s {*", "completion 2"}),
    row("SingleMessage", message, "getMessage", "123/abc/" + kStamp, "ws-key",
        "getMessageURL: ", "<message><id>123</id></message>", {"message 123", "completion 0"},
        "Message: completed successfully", {"message error Message - Error: %s {*", "completion 2"}),
    row("PendingMessagesWithFacadeCredentials", pending, "getPendingMessages", "DEV-1/Demo/IOS/client-1/" + kStamp,
        "private-key", "getPendingMessages: ", "<m><message><id>1</id></message><message><id>2</id></message></m>",
        {"pending 1 2", "completion 0"}, "Messages: completed successfully",
        {"pending error Messages - Error: %s {*", "completion 2"}),
    row("PendingMessagesOfAWorkspace", pendingOfWorkspace, "getPendingMessages", "DEV-1/Demo/IOS/abc/" + kStamp,
        "ws-key", "getPendingMessages: ", "<m><message><id>9</id></message><message><id>3</id></message></m>",
        {"pending 9 3", "completion 0"}, "getPendingMessages: completed successfully",
        {"pending error getPendingMessages Error: %s", "completion 2"}, "getPendingMessages: completed with error: %s"),
    row("SendLocation", location, "sendLocation", "req 1/" + kLocationPath, "ws-key", "sendLocation: ",
        "<r><successful>true</successful><message>Saved</message></r>", {"location true 'Saved'", "completion 0"},
        "Location: completed successfully", {"location error 'Location - sendLocation Error: %s {*", "completion 2"},
        "%s {", Events{"location error 'Location - sendLocation Error: *", "completion 0"}),
    row("NotifyRegionEvent", regionEvent, "notifyRegionEvent",
        "gf 7/DEV-1/EXIT/" + kStamp + "/-33.500000/151.250000/GEOFENCE/Demo/IOS/abc/" + kStamp + ".000000", "ws-key",
        "notifyRegionEvent: ", "<successful>true</successful>", {"location true (null)", "completion 0"},
        "Location: completed successfully",
        {"location error 'Location - notifyRegionEvent Error: %s {*", "completion 2"}, "%s {",
        Events{"location error 'Location - notifyRegionEvent Error: *", "completion 0"}),
    row("AvailableWorkspaces", available, "getWorkspaces", "Demo/IOS/userid=u1/client-1/" + kStamp, "private-key",
        "getAvailableWorkspaces: ", kList, {"available 2", "completion 0"}, kWorkspaceDone,
        {"available error Workspace - List Availible Error: %s {*", "completion 2"}),
    row("SubscribedWorkspaces", subscribed, "getWorkspaces", "Demo/IOS/subscribed=true&userid=u1/client-1/" + kStamp,
        "private-key", "getSubscribedWorkspaces: ", kList, {"subscribed 2", "completion 0"}, kWorkspaceDone,
        {"subscribed error Workspace - List Subscribed Error: %s {*", "completion 2"}),
    row("JoinWorkspace", join, "joinWorkspace", kWorkspacePath, "ws-key",
        "subscribeToWorkspaceURL: ", "<r><successful>true</successful></r>", {"joined ws", "completion 0"},
        kWorkspaceDone, {kJoinError, "completion 2"}),
    row("JoinWorkspaceWithoutStoredUser", joinWithoutUser, "joinWorkspace", "Demo/IOS/(null)/abc/" + kStamp, "ws-key",
        "subscribeToWorkspaceURL: ", "<r/>", {"join failed ws (null)", "completion 0"}, kWorkspaceDone,
        {kJoinError, "completion 2"}),
    row("LeaveWorkspace", leave, "detachWorkspace", kWorkspacePath, "ws-key",
        "unsubscribeFromWorkspaceURL: ", "<r><successful>true</successful></r>", {"left ws", "completion 0"},
        kWorkspaceDone, {"leave failed ws 'Workspace - Unsubscribe Error: %s {*", "completion 2"}),
    row("RegisterUser", registerUser, "registerUser", "DEV-1/Demo/IOS/alice b/false/client-1/" + kStamp, "private-key",
        "registerUser: ", kTransaction, {"RegistrationStatus true false 'ok'", "completion 0"},
        "registerUser: completed successfully", kRegistrationFailed, "registerUser: completed with error: %s",
        Events{"RegistrationThrowsError System Error", "completion 3"}),
    row("RegisterNullUserAwaitingActivation", registerNullUser, "registerUser",
        "DEV-1/Demo/IOS/(null)/true/client-1/" + kStamp, "private-key", "registerUser: ", kTransaction,
        {"RegistrationStatus true true 'ok'", "completion 0"}, "registerUser: completed successfully",
        kRegistrationFailed, "registerUser: completed with error: %s",
        Events{"RegistrationThrowsError System Error", "completion 3"}),
    row("RemoveAppUserWithoutDeviceId", removeUserWithoutDeviceId, "removeAppUser",
        "(null)/Demo/IOS/client-1/" + kStamp, "private-key", "removeAppUser: ", kTransaction,
        {"UnRegisterUserSucceeded true", "completion 0"}, "removeAppUser: completed successfully", kRegistrationFailed,
        "removeAppUser: completed with error: %s", Events{"UnRegisterUserError System Error", "completion 3"}),
    row("ActivatePhone", activate, "activatePhone", "DEV-1/Demo/IOS/1234/client-1/" + kStamp, "private-key",
        "activatePhone: ", kTransaction, {"ActivatePhoneSucceeded true 'ok'", "completion 0"},
        "activatePhone: completed successfully", kRegistrationFailed, "activatePhone: completed with error: %s",
        Events{"ActivatePhoneReturnedError System Error", "completion 3"}),
    row("SubscribeDevice", subscribeDevice, "iOSReg", "DEV-1/Demo/ab01/client-1/" + kStamp, "private-key",
        "iOSReg: ", kTransaction, {"subscriber true 'ok'"}, "iOSReg: completed successfully",
        {"subscriber error iOSReg Error: %s"}, "iosReg: completed with error: %s"),
    row("SubscribeDeviceWithoutPushId", subscribeDeviceWithoutPushId, "iOSReg", "DEV-1/Demo/(null)/client-1/" + kStamp,
        "private-key", "iOSReg: ", "<r/>", {"subscriber false (null)"}, "iOSReg: completed successfully",
        {"subscriber error iOSReg Error: %s"}, "iosReg: completed with error: %s"),
    // The text "???" is "Pz8/" in Base64: its "/" adds a path segment.
    row("SendResponse", sendResponse, "sendResponse", "Pz8//someone/Demo/IOS/abc/" + kStamp, "ws-key", "sendResponse: ",
        "<ignored", {}, "sendResponse: completed successfully", {}, "sendResponse: completed with error: %s"),
};

class LoaderEndpointTest : public LoaderTest, public ::testing::WithParamInterface<Endpoint> {
protected:
    Events start(FetchCompletion done) {
        return run([&] { GetParam().start(*this, std::move(done)); });
    }
    Events start() { return start(recorder->completion()); }
    // Unless the row says otherwise, the calls of a failure with any text.
    Events broken() const {
        if (GetParam().broken) return *GetParam().broken;
        Events calls = GetParam().failed;
        for (auto& call : calls)
            if (const auto at = call.find("%s"); at != std::string::npos) call = call.substr(0, at) + "*";
        return calls;
    }
};

TEST_P(LoaderEndpointTest, RequestIsSignedOverTheRawPathAndLogged) {
    const auto& e = GetParam();
    answer(FakeHttpClient::reply(e.reply));
    EXPECT_EQ(start(), e.replied);
    const std::string url = serviceBaseUrl() + "/" + e.operation + "/" + PercentEncoding::encodePath(e.rawPath) + "/" +
                            *RequestSigner::sign(e.rawPath, e.key);
    EXPECT_EQ(http().requests(), std::vector<std::string>{url});
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: " + e.urlLog + url));
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: " + e.doneLog));

    Events withoutCompletion;
    for (const auto& call : e.replied)
        if (call.rfind("completion ", 0) != 0) withoutCompletion.push_back(call);
    EXPECT_EQ(start(nullptr), withoutCompletion);
}

TEST_P(LoaderEndpointTest, TransportFailureTakesTheErrorPath) {
    answer(FakeHttpClient::failure("Connection refused"));
    expectCalls(start(), GetParam().failed, "Connection refused");
    std::string line = GetParam().failLog;
    line.replace(line.find("%s"), 2, "Connection refused");
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: " + line)) << line;
}

TEST_P(LoaderEndpointTest, MalformedReplyTakesTheErrorPath) {
    answer(FakeHttpClient::reply("<a><b></a>"));
    expectCalls(start(), broken());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: " + GetParam().doneLog));
}

TEST_P(LoaderEndpointTest, UnsignableRequestIsNeverSent) {
    credentials.apiClientPrivateKey = "k\xC3\xA9y";
    ws->setPublicKey("k\xC3\xA9y");
    expectCalls(start(), GetParam().failed, RequestSigner::kNonAsciiError);
    EXPECT_TRUE(http().requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Loaders, LoaderEndpointTest, ::testing::ValuesIn(kEndpoints),
                         [](const auto& info) { return std::string(info.param.name); });

struct Grammar {
    const char* name;
    Start start;
    std::string body;
    Events calls;
};
Grammar grammar(const char* name, Start start, std::string body, Events calls) { return {name, start, body, calls}; }

const std::string kResult = "<transactionResult><successful>true</successful>";

using LoaderReplyTest = LoaderTest;
using RegisterPhoneDataloaderTest = LoaderTest;
using LocationDataLoaderTest = LoaderTest;

TEST_F(LoaderReplyTest, Grammar) {
    const Grammar cases[] = {
        grammar("result resets to empty message", subscribeDevice, kResult + "</transactionResult>",
                {"subscriber true ''"}),
        grammar("the ending element decides", subscribeDevice,
                kResult + "<box><message>m</message></box></transactionResult>", {"subscriber true 'm'"}),
        grammar("capitals", subscribeDevice, "<transactionResult><successful>True</successful></transactionResult>",
                {"subscriber false ''"}),
        grammar("second result resets the first", subscribeDevice,
                "<r>" + kResult + "<message>a</message></transactionResult><transactionResult></transactionResult></r>",
                {"subscriber false ''"}),

        grammar("refused", location, "<r><successful>false</successful><message>Nope</message></r>",
                {"location error 'Nope'", "completion 0"}),
        grammar("capitals", location, "<r><successful>TRUE</successful></r>",
                {"location error (null)", "completion 0"}),
        grammar("indentation is text", location, "<r>\n  <successful>true</successful></r>",
                {"location error (null)", "completion 0"}),
        grammar("message alone", location, "<r><message>only</message></r>", {"location error 'only'", "completion 0"}),
        grammar("the last successful decides", location,
                "<r><successful>true</successful><successful>no</successful></r>",
                {"location error (null)", "completion 0"}),
        grammar("empty message is null", location, "<r><successful>true</successful><message></message></r>",
                {"location true (null)", "completion 0"}),

        // Completion 0: succeeded, 2: refused, 3: failed.
        grammar("capitals", registerUser, "<transactionResult><successful>TRUE</successful></transactionResult>",
                {"RegistrationStatus false false (null)", "completion 2"}),
        grammar("indentation is text", registerUser,
                "<transactionResult>\n  <successful>true</successful>\n  <message>x</message>\n</transactionResult>",
                {"RegistrationStatus false false '\n  x'", "completion 2"}),
        grammar("wrapper after message clears it", registerUser,
                kResult + "<info><message>gone</message></info></transactionResult>",
                {"RegistrationStatus true false (null)", "completion 0"}),
        grammar("wrapper after successful resets it", registerUser,
                "<transactionResult><box><successful>true</successful></box><message>m</message></transactionResult>",
                {"RegistrationStatus false false 'm'", "completion 2"}),
        grammar("empty message is null", registerUser, kResult + "<message/></transactionResult>",
                {"RegistrationStatus true false (null)", "completion 0"}),
        grammar("two results, two callbacks, the last decides", registerUser,
                "<r>" + kResult + "<message>a</message></transactionResult>" +
                    "<transactionResult><successful>false</successful><message>b</message></transactionResult></r>",
                {"RegistrationStatus true false 'a'", "RegistrationStatus false false 'b'", "completion 2"}),
        grammar("no result element, no callback", registerUser, "<reply><successful>true</successful></reply>",
                {"completion 3"}),
        grammar("a callback before the error stands", registerUser,
                "<r>" + kResult + "</transactionResult><broken></r>",
                {"RegistrationStatus true false (null)", "RegistrationThrowsError System Error", "completion 3"}),

        grammar("list says unsuccessful", subscribed, "<r><successful>false</successful><message>no</message></r>",
                {"subscribed 0", "completion 0"}),
        grammar("join refused", join, "<r><successful>false</successful><message>full</message></r>",
                {"join failed ws 'full'", "completion 0"}),
        grammar("successful is case-sensitive", join, "<r><successful>TRUE</successful></r>",
                {"join failed ws (null)", "completion 0"}),
        grammar("join reply with its own record", join,
                "<r><workspace><clientId>other</clientId></workspace><successful>true</successful></r>",
                {"joined null", "completion 0"}),
        grammar("leave refused", leave, "<r><message>busy</message><successful>no</successful></r>",
                {"leave failed ws 'busy'", "completion 0"}),
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        answer(FakeHttpClient::reply(c.body));
        EXPECT_EQ(run([&] { c.start(*this, recorder->completion()); }), c.calls);
    }
}

TEST_F(RegisterPhoneDataloaderTest, SystemErrorTextIsTranslatedWithTheErrorCode) {
    const std::pair<std::string, std::string> cases[] = {
        {"Systemfehler %ld", "Systemfehler 4"}, {"%@: %d%%", "4: %d%"}, {"Code %q", "Code %q"}};
    for (const auto& [format, text] : cases) {
        TempDir other;
        other.write("Localizable.strings", "\"System Error\" = \"" + format + "\";\n");
        EXPECT_EQ(RegisterPhoneDataloader::systemErrorText(*makeTestPlatform(other)->bundle, 4), text) << format;
    }
    EXPECT_EQ(RegisterPhoneDataloader::systemErrorText(*platform->bundle, 4), "System Error");
}

TEST_F(LocationDataLoaderTest, PathsTakeTheGivenTimeStampAndWriteMissingValuesAsNull) {
    platform->keyValueStore->remove("deviceUniqueID");
    auto made = LocationDataLoader::create(platform, credentials);
    EXPECT_EQ(made->sendLocationPath("req 1", 10.4806f, -66.9036f, ws, 42),
              "req 1/(null)/42/10.480600/-66.903603/APP/abc/42.000000");
    EXPECT_EQ(made->regionEventPath("gf 7", "GEOFENCE", "EXIT", -33.5f, 151.25f, ws, 42),
              "gf 7/(null)/EXIT/42/-33.500000/151.250000/GEOFENCE/Demo/IOS/abc/42.000000");
    credentials.appName.reset();
    EXPECT_EQ(LocationDataLoader::create(platform, credentials)
                  ->regionEventPath(std::nullopt, "BEACON", "ENTER", 0.0f, 0.0f, nullptr, 1),
              "(null)/(null)/ENTER/1/0.000000/0.000000/BEACON/(null)/IOS/(null)/1.000000");
}

using WorkspaceDataLoaderTest = LoaderTest;

TEST_F(WorkspaceDataLoaderTest, FilterTravelsAsBase64InTheUserSegment) {
    // Base64 keeps a non-ASCII filter signable, and its "/" stays in the path.
    const std::pair<std::string, std::string> cases[] = {{"", "userid=u1&name="},
                                                         {"caf\xC3\xA9?", "userid=u1&name=Y2Fmw6k/"}};
    answer(FakeHttpClient::reply("<workspaces/>"));
    for (const auto& [filter_, segment] : cases) {
        SCOPED_TRACE(segment);
        const std::string& filter = filter_;  // clang 14 cannot capture a structured binding in a lambda
        http().clearRequests();
        EXPECT_EQ(run([&] { workspaces(*this)->getAvailableWorkspacesWithFilter(filter, recorder->completion()); }),
                  (Events{"available 0", "completion 0"}));
        const std::string raw = "Demo/IOS/" + segment + "/client-1/" + kStamp;
        EXPECT_EQ(http().requests(), std::vector<std::string>{serviceBaseUrl() + "/getWorkspaces/" + raw + "/" +
                                                              *RequestSigner::sign(raw, "private-key")});
    }
}

TEST_F(WorkspaceDataLoaderTest, ListRecordsReadTheirFields) {
    answer(FakeHttpClient::reply(
        "<workspaces><workspace><clientId>c1</clientId><name>One</name><publicKey>k1</publicKey>"
        "<callbackUrl>https://cb</callbackUrl><subscribed>true</subscribed><colour>red</colour></workspace>"
        "<name>outside</name><workspace><clientId>c2</clientId></workspace></workspaces>"));
    ASSERT_EQ(run([&] { available(*this, recorder->completion()); }), (Events{"available 2", "completion 0"}));
    const auto list = recorder->list;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->clientId(), "c1");
    EXPECT_EQ(list[0]->name(), "One");
    EXPECT_EQ(list[0]->publicKey(), "k1");
    EXPECT_EQ(list[0]->callbackUrl(), "https://cb");
    EXPECT_TRUE(list[0]->subscribed());
    EXPECT_EQ(list[1]->clientId(), "c2");
    EXPECT_EQ(list[1]->name(), "") << "an element outside a record changes no record";
    EXPECT_FALSE(list[1]->subscribed());
}

TEST_F(WorkspaceDataLoaderTest, JoinReplyFieldsUpdateTheCallersWorkspace) {
    answer(
        FakeHttpClient::reply("<r><name>Renamed</name><subscribed>true</subscribed><successful>true</successful></r>"));
    EXPECT_EQ(run([&] { join(*this, recorder->completion()); }), (Events{"joined ws", "completion 0"}));
    EXPECT_EQ(recorder->target, ws);
    EXPECT_EQ(ws->name(), "Renamed");
    EXPECT_TRUE(ws->subscribed());
    EXPECT_EQ(ws->clientId(), "abc");
}

}  // namespace
}  // namespace quorvela::test
