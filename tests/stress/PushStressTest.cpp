// 1000 pushes from 8 threads at once, against a fake service that answers,
// fails, or hands out a new message per pending-message request: every push's
// handler is called exactly once with the result its path gives, and every
// handed-out message ends up exactly once in the inbox of its workspace.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/FacadeWorkspaceDelegate.h"
#include "model/WorkspaceList.h"
#include "quorvela/Message.h"
#include "unit/core/CoreFixture.h"

namespace quorvela::test {
namespace {

constexpr int kThreads = 8;
constexpr int kPushes = 1000;
const std::array<std::string, 4> kClients{"c0", "c1", "c2", "c3"};

class CountingHost : public QuorvelaProtocol {
public:
    void pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace>) override {
        std::lock_guard lock(mutex);
        ++received[message->id().value_or("")];
    }
    std::mutex mutex;
    std::map<std::string, int> received;
};

using PushStressTest = CoreFixture;

TEST_F(PushStressTest, ThousandPushesFromEightThreads) {
    configured();
    store->set("maxStoredMessages", Value(100000));
    auto host = std::make_shared<CountingHost>();
    facade->setDelegate(host);
    std::vector<std::shared_ptr<WorkspaceRecord>> workspaces;
    for (const auto& client : kClients) {
        workspaces.push_back(ws(client));
        workspaces.back()->setDelegate(FacadeWorkspaceDelegate::create(facade));
        facade->workspacesSubscribed()->append(workspaces.back());
    }

    // Each pending-message request hands out one new message, for the
    // workspaces in turn; every fifth list request fails.
    std::atomic<int> nextMessage{0};
    std::mutex issuedMutex;
    std::map<std::string, std::string> issued;  // message id -> client id
    http().answer(eventsUrl(), FakeHttpClient::reply(""));
    http().answer(url("getPendingMessages"), [&](const std::string&) {
        const int n = nextMessage++;
        const std::string id = "m" + std::to_string(n);
        const std::string& client = kClients[static_cast<std::size_t>(n) % kClients.size()];
        {
            std::lock_guard lock(issuedMutex);
            issued[id] = client;
        }
        return FakeHttpClient::reply("<messages><message><blastID>b</blastID><id>" + id + "</id><clientId>" + client +
                                     "</clientId></message></messages>");
    });
    std::atomic<int> listRequests{0};
    auto lists = [&](const std::string& body) {
        return FakeHttpClient::Handler([&listRequests, body](const std::string&) {
            return ++listRequests % 5 == 0 ? FakeHttpClient::failure("refused") : FakeHttpClient::reply(body);
        });
    };
    http().answer(url("getGeoFences"), lists("<geofences></geofences>"));
    http().answer(url("getBeacons"), lists("<beacons></beacons>"));

    // Push i: its command by i % 5; every 13th names a workspace nobody joined.
    const std::array<std::string, 5> commands{"TXT_MSG", "CRT_REGION", "UPDT_BEACON", "UNKNOWN", "GEO_PUSH"};
    std::vector<std::atomic<int>> calls(kPushes);
    std::vector<std::atomic<unsigned long>> lastResult(kPushes);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = t; i < kPushes; i += kThreads) {
                const std::string client = i % 13 == 0 ? "stranger" : kClients[static_cast<std::size_t>(i) % 4];
                Value::Dictionary payload{{"msgId", "p" + std::to_string(i)},
                                          {"type", commands[static_cast<std::size_t>(i) % commands.size()]},
                                          {"clientId", client}};
                facade->processRemoteNotification(payload, [&calls, &lastResult, i](unsigned long result) {
                    lastResult[static_cast<std::size_t>(i)] = result;
                    ++calls[static_cast<std::size_t>(i)];
                });
            }
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(120)));

    int fetched = 0;
    for (int i = 0; i < kPushes; ++i) {
        SCOPED_TRACE("push " + std::to_string(i));
        ASSERT_EQ(calls[static_cast<std::size_t>(i)].load(), 1);
        const unsigned long result = lastResult[static_cast<std::size_t>(i)];
        const std::string& command = commands[static_cast<std::size_t>(i) % commands.size()];
        if (i % 13 == 0 || command == "UNKNOWN" || command == "GEO_PUSH") {
            EXPECT_EQ(result, 1u);
        } else if (command == "TXT_MSG") {
            EXPECT_EQ(result, 0u);
            ++fetched;
        } else {
            EXPECT_TRUE(result == 0u || result == 2u);
        }
    }

    // Every message handed out is in its own workspace's inbox exactly once,
    // and the host heard of it once.
    ASSERT_EQ(static_cast<int>(issued.size()), fetched);
    std::set<std::string> stored;
    for (const auto& ws : workspaces) {
        for (const auto& message : ws->getMessages()) {
            const std::string id = message->id().value_or("");
            EXPECT_TRUE(stored.insert(id).second) << "twice: " << id;
            EXPECT_EQ(issued.at(id), ws->clientId().value_or("")) << id;
        }
        // The store holds what memory holds.
        EXPECT_EQ(ws->loadMessage().size(), ws->getMessages().size());
    }
    EXPECT_EQ(stored.size(), issued.size());
    std::lock_guard lock(host->mutex);
    EXPECT_EQ(host->received.size(), issued.size());
    for (const auto& [id, count] : host->received) EXPECT_EQ(count, 1) << id;
    // Every push's background task is closed again.
    EXPECT_EQ(processBackgroundTasks(*platform).openCount(), 0u);
}

}  // namespace
}  // namespace quorvela::test
