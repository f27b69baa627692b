#include <algorithm>

#include "DemoStory.h"
#include "DemoSummary.h"
#include "HostTestSupport.h"

namespace quorvela::host::test {
namespace {

using namespace std::chrono_literals;

class DemoStoryTest : public ::testing::Test {
protected:
    CapturedOutput captured;
    Output& output = *captured.output;
};

TEST_F(DemoStoryTest, StepsWaitForTheirCheckAndReportEachOutcome) {
    struct Case {
        const char* name;
        bool libraryIdle;     // what the settle function answers
        int holdsAfterLooks;  // the check holds from this look on; 0: never
        bool expectOk;
        const char* expectLine;
    };
    const Case cases[] = {
        {"holds at once", true, 1, true, "  [ok]     holds at once (seen)\n"},
        {"holds while the library works", false, 5, true, "  [ok]     holds while the library works (seen)\n"},
        // Work that ends just before the check holds (a reply recorded a moment late).
        {"holds just after idle", true, 3, true, "  [ok]     holds just after idle (seen)\n"},
        {"never holds, library idle", true, 0, false, "  [FAILED] never holds, library idle: not seen\n"},
        {"never holds, library busy", false, 0, false, "  [FAILED] never holds, library busy: not seen\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int settles = 0;
        DemoStory story(output, [&](std::chrono::milliseconds timeout) {
            ++settles;
            EXPECT_LE(timeout, 300ms);  // waits in slices, never the whole limit at once
            return c.libraryIdle;
        });
        int looks = 0;
        const bool ok = story.step(
            c.name,
            [&] {
                ++looks;
                return c.holdsAfterLooks && looks >= c.holdsAfterLooks ? DemoCheck::pass("seen")
                                                                       : DemoCheck::fail("not seen");
            },
            std::chrono::milliseconds(c.libraryIdle ? 10000 : 200));
        EXPECT_EQ(ok, c.expectOk);
        EXPECT_EQ(captured.fresh(), c.expectLine);
        EXPECT_EQ(story.steps(), 1);
        EXPECT_EQ(story.failures().size(), c.expectOk ? 0u : 1u);
        if (c.holdsAfterLooks) EXPECT_EQ(looks, c.holdsAfterLooks);
        // An idle library ends a failing step after a few looks, not at its limit.
        if (!c.expectOk && c.libraryIdle) EXPECT_LT(settles, 10);
    }
}

TEST_F(DemoStoryTest, FailuresAreRememberedInOrder) {
    DemoStory story(output, [](std::chrono::milliseconds) { return true; });
    story.step("first", [] { return DemoCheck::fail("no"); });
    story.step("second", [] { return DemoCheck::pass(); });
    story.step("third", [] { return DemoCheck::fail("no"); });
    EXPECT_EQ(story.steps(), 3);
    EXPECT_EQ(story.failures(), (std::vector<std::string>{"first", "third"}));
    // A passing step without detail prints no empty parentheses.
    EXPECT_NE(captured.fresh().find("  [ok]     second\n"), std::string::npos);
}

TEST_F(DemoStoryTest, ASpentBudgetChecksOnceWithoutWaiting) {
    int settles = 0;
    DemoStory story(
        output,
        [&](std::chrono::milliseconds) {
            ++settles;
            return false;  // a library that never goes idle
        },
        0ms);
    EXPECT_EQ(story.remaining(), 0ms);
    EXPECT_TRUE(story.step("already there", [] { return DemoCheck::pass(); }));
    EXPECT_FALSE(story.step("never", [] { return DemoCheck::fail("not seen"); }));
    EXPECT_EQ(settles, 0);
    EXPECT_NE(captured.fresh().find("  [FAILED] never: not seen (the demo's time budget was spent)\n"),
              std::string::npos);
}

TEST(DemoSummaryTest, RequestsAreCountedPerEndpointWithTheirSignatures) {
    DemoSummary::SandboxView received;
    const auto request = [](std::string operation, std::optional<bool> signatureOk) {
        sandbox::RequestRecord record;
        record.operation = std::move(operation);
        record.signatureOk = signatureOk;
        return record;
    };
    received.requests = {request("registerUser", true),  request("events", std::nullopt), request("getBeacons", true),
                         request("registerUser", false), request("events", std::nullopt), request("", std::nullopt)};
    sandbox::AnalyticsEvent init;
    init.query = {{"eventtype", "INIT"}};
    sandbox::AnalyticsEvent push;
    push.query = {{"eventtype", "TXT_MSG"}};
    received.events = {init, push, init};
    DemoSummary::HostView host;
    host.workspaces = {{"Shop", "shop", 2, 3, 1}};
    host.monitored = {"g1", "g2"};

    const auto lines = DemoSummary::lines(received, host);
    // First-call order, each endpoint once; "events" carries no signature.
    ASSERT_GE(lines.size(), 8U);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.begin() + 8),
              (std::vector<std::string>{
                  "  registerUser                  2  1 of 2", "  events                        2  unsigned",
                  "  getBeacons                    1  1 of 1", "  (unrouted)                    1  unsigned",
                  "  all                           6  2 of 3", "  analytics events (3): INIT 2, TXT_MSG 1"}));
    const auto has = [&](const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    };
    EXPECT_TRUE(has("  Shop (shop)                           2          3        1"));
    EXPECT_TRUE(has("  monitored regions (2): g1, g2"));
}

}  // namespace
}  // namespace quorvela::host::test
