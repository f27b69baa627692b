// The host the inbox crash test kills: a library against the test's sandbox,
// pushing "TXT_MSG" for its workspace over and over so that pending messages
// are fetched, stored and announced. Prints "S" once it runs, "P <id>" for
// each message the host heard of, and the library's log lines as "L <line>".
// In check mode it takes what the journal kept, then prints the stored inbox
// ("I <id>" newest first) and "E".
//
//   crash_host DATA_DIR CONNECT_TO CA_FILE run|check
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>

#include "ChildProcess.h"
#include "core/FacadeWorkspaceDelegate.h"
#include "core/PushProcessing.h"
#include "core/QuorvelaCore.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Message.h"
#include "quorvela/Workspace.h"

namespace {

using namespace quorvela;
using crash::emit;

class Host : public QuorvelaProtocol {
public:
    void pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace>) override {
        emit("P " + message->id().value_or("(null)"));
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const std::string dataDir = argv[1];
    const std::string mode = argv[4];

    PlatformOptions options;
    options.dataDir = dataDir;
    options.bundleDir = dataDir;
    options.http.connectTo = argv[2];
    options.http.caFile = argv[3];
    options.logSink = [](LogLevel, const std::string& line) { emit("L " + line); };
    auto platform = Platform::makeDefault(options);
    auto facade = QuorvelaCore::create(platform);
    facade->setAppName(std::string("demo app"));
    facade->setClientID(std::string("client-1"));
    facade->setApiClientPrivateKey(std::string("secret"));
    platform->keyValueStore->set("configureQuorvela", Value("YES"));
    platform->keyValueStore->set("deviceUniqueID", Value("DEVICE-1"));
    platform->keyValueStore->set("clientUserID", Value("user-7"));
    facade->setDelegate(std::make_shared<Host>());

    const Value::Dictionary archive{
        {"clientId", Value("ws-1")}, {"publicKey", Value("ws-key")}, {"subscribed", Value(true)}};
    auto workspace = WorkspaceRecord::initWithCoder(platform, archive);
    workspace->setAppNameSource(FacadeWorkspaceDelegate::appNameSource(facade));
    workspace->setDelegate(FacadeWorkspaceDelegate::create(facade));
    facade->workspacesSubscribed()->append(workspace);

    if (mode == "check") {
        facade->pushProcessing().takeJournaledReplies();
        if (!facade->flush(std::chrono::seconds(30))) return 4;
        for (const auto& message : WorkspaceRecord::initWithCoder(platform, archive)->getMessages())
            emit("I " + message->id().value_or("(null)"));
        emit("E");
        std::fflush(nullptr);
        std::_Exit(0);  // the test reads the store next; nothing else to wind down
    }

    emit("S");
    for (int push = 0;; ++push) {
        // Shared with the handler, which may outlive a wait that gave up. A
        // second answer throws inside the library's job, where the dispatcher
        // catches it: exactly-once is PushProcessingTest's to prove.
        auto answered = std::make_shared<std::promise<void>>();
        auto answer = answered->get_future();
        facade->processRemoteNotification(Value::Dictionary{{"msgId", Value("push-" + std::to_string(push))},
                                                            {"type", Value("TXT_MSG")},
                                                            {"clientId", Value("ws-1")}},
                                          [answered](unsigned long) { answered->set_value(); });
        answer.wait_for(std::chrono::seconds(10));
    }
}
