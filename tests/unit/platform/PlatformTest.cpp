#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/MemoryKeyValueStore.h"
#include "platform/SqliteKeyValueStore.h"
#include "quorvela/platform/ManualBeaconSource.h"
#include "quorvela/platform/ManualLocationSource.h"
#include "quorvela/platform/Platform.h"
#include "quorvela/platform/SoftwareLocationManager.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

// The files inside the data folder hold keys and inbox text, so none may be
// readable by anyone but the owner, whatever the umask; a folder the host made
// keeps its mode.
TEST(Platform, DefaultPortsKeepPrivateDataInTheGivenFolder) {
    test::TempDir dir;
    PlatformOptions options;
    options.dataDir = (dir.path() / "data").string();
    options.bundleDir = dir.str();
    dir.write("Localizable.strings", "\"Workspace\" = \"Espacio\";");
    const mode_t saved = ::umask(022);
    {
        auto platform = Platform::makeDefault(options);
        for (const auto& port :
             {std::shared_ptr<void>(platform->keyValueStore), std::shared_ptr<void>(platform->secureStore),
              std::shared_ptr<void>(platform->bundle), std::shared_ptr<void>(platform->http),
              std::shared_ptr<void>(platform->dispatcher), std::shared_ptr<void>(platform->backgroundTasks),
              std::shared_ptr<void>(platform->systemLog), std::shared_ptr<void>(platform->clock),
              std::shared_ptr<void>(platform->deviceInfo)})
            EXPECT_TRUE(port);
        EXPECT_TRUE(std::dynamic_pointer_cast<SqliteKeyValueStore>(platform->keyValueStore));
        for (int i = 0; i < 50; ++i)
            platform->keyValueStore->set("key" + std::to_string(i), Value(std::string(500, 'k')));
        EXPECT_EQ(platform->secureStore->addItem("deviceUID", "deviceUID", {'x'}), SecureStore::kSuccess);
        EXPECT_EQ(platform->bundle->localizedString("Workspace"), "Espacio");
        // The log and index files exist while the store is open: check them now.
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(*options.dataDir)) {
            struct stat info {};
            ASSERT_EQ(::lstat(entry.path().c_str(), &info), 0);
            if (S_ISDIR(info.st_mode)) continue;
            ++files;
            EXPECT_EQ(info.st_mode & 0777, 0600u) << entry.path();
        }
        EXPECT_GE(files, 4u);  // database, its log, its index, the secure item
        EXPECT_TRUE(platform->keyValueStore->synchronize());
    }
    ::umask(saved);
    struct stat info {};
    ASSERT_EQ(::stat(options.dataDir->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::chmod(options.dataDir->c_str(), 0755), 0);
    auto again = Platform::makeDefault(options);
    EXPECT_EQ(again->keyValueStore->get("key49"), Value(std::string(500, 'k')));
    std::vector<std::uint8_t> data;
    EXPECT_EQ(again->secureStore->copyItem("deviceUID", "deviceUID", data), SecureStore::kSuccess);
    ASSERT_EQ(::stat(options.dataDir->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
}

// A host drives the default location manager without casts: positions go in
// through the manual source and reach the manager; authorization is typed.
TEST(Platform, TheDefaultManualSourcesAreReachableAndAuthorizationIsTyped) {
    test::TempDir dir;
    PlatformOptions options;
    options.dataDir = (dir.path() / "data").string();
    auto platform = Platform::makeDefault(options);
    auto manager = platform->softwareLocationManager();
    ASSERT_TRUE(manager);
    ASSERT_TRUE(platform->manualLocation());
    EXPECT_TRUE(platform->manualBeacons());

    manager->setLocationServicesEnabled(true);
    manager->setAuthorization(LocationManager::Authorization::Always);
    EXPECT_EQ(manager->authorization(), LocationManager::Authorization::Always);
    EXPECT_EQ(manager->authorizationStatus(), LocationManager::kAuthorizationAlways);
    manager->startUpdatingLocation();
    EXPECT_TRUE(platform->manualLocation()->pushPosition(52.5, 13.4));
    ASSERT_TRUE(manager->location());
    EXPECT_DOUBLE_EQ(manager->location()->latitude, 52.5);

    EXPECT_EQ(LocationManager::authorizationOf(7), LocationManager::Authorization::NotDetermined);
    EXPECT_EQ(LocationManager::authorizationOf(-1), LocationManager::Authorization::NotDetermined);

    platform->locationManager = nullptr;  // a host's own manager, or none
    EXPECT_FALSE(platform->softwareLocationManager());
    EXPECT_FALSE(platform->manualLocation());
    EXPECT_FALSE(platform->manualBeacons());
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
