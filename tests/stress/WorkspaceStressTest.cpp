// Merges, joins, leaves, list replacements and look-ups on the facade's
// workspace lists from several threads at once (run under ThreadSanitizer):
// no race, no deadlock, and the subscribed list never holds two equal entries.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "core/WorkspaceManagement.h"
#include "model/WorkspaceList.h"
#include "unit/core/CoreFixture.h"

namespace quorvela {
namespace {

using Items = std::vector<std::shared_ptr<WorkspaceRecord>>;

using WorkspaceStressTest = test::CoreFixture;

TEST_F(WorkspaceStressTest, ConcurrentMergesJoinsLeavesAndLookUps) {
    configured();
    // The default workspace is one of the copies below.
    facade->setClientID(std::string("ws-0"));
    facade->setApiClientPrivateKey(std::string("key-ws-0"));
    store->set("clientUserID", Value("alice"));
    store->set("LoggingDisabled", Value(true));

    // Several equal objects per workspace, as replies and stores make them.
    constexpr int kWorkspaces = 6;
    constexpr int kCopies = 3;
    std::vector<Items> copies(kWorkspaces);
    for (int i = 0; i < kWorkspaces; ++i)
        for (int c = 0; c < kCopies; ++c) copies[i].push_back(ws("ws-" + std::to_string(i)));

    constexpr int kRounds = 300;
    std::atomic<bool> failed{false};
    auto worker = [&](unsigned seed, auto&& step) {
        return std::thread([&, seed, step] {
            std::mt19937 random(seed);
            auto pick = [&] { return copies[random() % kWorkspaces][random() % kCopies]; };
            auto subset = [&] {
                Items out;
                for (int i = 0; i < kWorkspaces; ++i)
                    if (random() % 2) out.push_back(copies[i][random() % kCopies]);
                return out;
            };
            for (int round = 0; round < kRounds && !failed; ++round) step(random, pick, subset, round);
        });
    };

    std::vector<std::thread> threads;
    threads.push_back(worker(1, [&](auto&, auto&, auto& subset, int) {
        facade->workspaceManagement().subscribedWorkspacesLoadedSuccessfully(subset());
    }));
    threads.push_back(worker(2, [&](auto&, auto&, auto& subset, int round) {
        facade->workspaceManagement().availableWorkspacesLoadedSuccessfully(subset());
        if (round % 50 == 0) facade->loadWorkspaces();  // replaces both lists (and their locks)
    }));
    threads.push_back(worker(3, [&](auto& random, auto& pick, auto&, int) {
        switch (random() % 3) {
        case 0: facade->workspaceManagement().workspaceSubscribedSuccessfully(pick()); break;
        case 1: facade->workspaceManagement().workspaceUnsubscribedSuccessfully(pick()); break;
        default: facade->workspaceManagement().failedToUnsubscribeWorkspace(pick(), std::string("no")); break;
        }
    }));
    threads.push_back(worker(4, [&](auto& random, auto& pick, auto&, int) {
        facade->getWorkspaceWithClientID("ws-" + std::to_string(random() % kWorkspaces));
        facade->getDefaultWorkspace();
        const auto list = facade->getSubscribedWorkspaces();
        facade->findObject(pick(), list);
        facade->getAvailableWorkspaces();
    }));
    threads.push_back(worker(5, [&](auto&, auto& pick, auto&, int) { facade->synchronicedWorkspace(pick()); }));
    for (auto& t : threads) t.join();
    ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(30)));

    const auto subscribed = facade->getSubscribedWorkspaces();
    for (std::size_t i = 0; i < subscribed.size(); ++i)
        for (std::size_t j = i + 1; j < subscribed.size(); ++j)
            EXPECT_FALSE(subscribed[i]->isEqual(*subscribed[j])) << "duplicate " << *subscribed[i]->clientId();
    facade->storeSubscribedWorkspaces();
    const auto stored = WorkspaceRecord::unarchiveList(platform, store->get("Workspace-Subscribed"));
    ASSERT_EQ(stored.size(), subscribed.size());
    for (std::size_t i = 0; i < stored.size(); ++i) EXPECT_TRUE(stored[i]->isEqual(*subscribed[i]));
}

}  // namespace
}  // namespace quorvela
