// A host's start: a facade made from options over the real default ports has
// its delegate before anything can call it, and `start` says what the
// bundle's configuration file held.
#include <gtest/gtest.h>

#include <chrono>

#include "quorvela/Quorvela.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;

TEST(HostStartTest, OptionsMakeAFacadeWhoseStartReportsTheFile) {
    TempDir dir;
    Quorvela::Options options;
    options.platform.dataDir = (dir.path() / "data").string();
    options.platform.bundleDir = dir.path().string();
    options.platform.http.connectTo = "127.0.0.1:9";  // nothing listens: requests fail at once
    options.delegate = std::make_shared<QuorvelaProtocol>();
    auto facade = Quorvela::create(options);
    EXPECT_EQ(facade->delegate(), options.delegate);

    // What the report says is checked with the configuration itself.
    writePlist(dir, "Quorvela-Info.plist", {{"appName", "demo"}, {"publicKey", "client-1"}});
    EXPECT_EQ(facade->start().describe(), "missing keys: privateKey");
    writePlist(dir, "Quorvela-Info.plist", {{"appName", "demo"}, {"publicKey", "client-1"}, {"privateKey", "k"}});
    EXPECT_TRUE(facade->start().configured());
    EXPECT_EQ(facade->clientID(), "client-1");
    EXPECT_TRUE(facade->close(30s));
}

}  // namespace
}  // namespace quorvela::test
