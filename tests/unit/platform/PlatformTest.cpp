#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/MemoryKeyValueStore.h"
#include "platform/SqliteKeyValueStore.h"
#include "quorvela/platform/Platform.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

TEST(Platform, DefaultPortsKeepDataInTheGivenFolder) {
    test::TempDir dir;
    PlatformOptions options;
    options.dataDir = (dir.path() / "data").string();
    options.bundleDir = dir.str();
    dir.write("Localizable.strings", "\"Workspace\" = \"Espacio\";");
    {
        auto platform = Platform::makeDefault(options);
        for (const auto& port : {std::shared_ptr<void>(platform->keyValueStore), std::shared_ptr<void>(platform->secureStore),
                                 std::shared_ptr<void>(platform->bundle), std::shared_ptr<void>(platform->http),
                                 std::shared_ptr<void>(platform->dispatcher), std::shared_ptr<void>(platform->backgroundTasks),
                                 std::shared_ptr<void>(platform->systemLog), std::shared_ptr<void>(platform->clock),
                                 std::shared_ptr<void>(platform->deviceInfo)})
            EXPECT_TRUE(port);
        EXPECT_TRUE(std::dynamic_pointer_cast<SqliteKeyValueStore>(platform->keyValueStore));
        platform->keyValueStore->set("kept", Value("yes"));
        EXPECT_TRUE(platform->keyValueStore->synchronize());
        EXPECT_EQ(platform->secureStore->addItem("deviceUID", "deviceUID", {'x'}), SecureStore::kSuccess);
        EXPECT_EQ(platform->bundle->localizedString("Workspace"), "Espacio");
    }
    struct stat info {};
    ASSERT_EQ(::stat(options.dataDir->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    auto again = Platform::makeDefault(options);
    EXPECT_EQ(again->keyValueStore->get("kept"), Value("yes"));
    std::vector<std::uint8_t> data;
    EXPECT_EQ(again->secureStore->copyItem("deviceUID", "deviceUID", data), SecureStore::kSuccess);
}

TEST(Platform, UnusableDataFolderFallsBackToMemoryWithOneLogLine) {
    test::TempDir dir;
    auto file = dir.write("not-a-folder", "x");
    PlatformOptions options;
    options.dataDir = (file / "data").string();
    testing::internal::CaptureStderr();
    auto platform = Platform::makeDefault(options);
    platform->keyValueStore->set("a", Value(1));
    EXPECT_EQ(platform->keyValueStore->get("a"), Value(1));
    EXPECT_EQ(platform->secureStore->addItem("a", "s", {1}), SecureStore::kSuccess);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(std::dynamic_pointer_cast<MemoryKeyValueStore>(platform->keyValueStore));
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("not-a-folder"), std::string::npos) << err;
}

}  // namespace
}  // namespace quorvela
