// The secure stores' contract over the memory and the file store, then the
// file store's own promises: private files, safe names, I/O errors.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "platform/FileSecureStore.h"
#include "platform/MemorySecureStore.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct MemoryKind {
    std::shared_ptr<SecureStore> open(const std::filesystem::path&) { return memory; }
    std::shared_ptr<MemorySecureStore> memory = std::make_shared<MemorySecureStore>();
};
struct FileKind {
    std::shared_ptr<SecureStore> open(const std::filesystem::path& folder) {
        return std::make_shared<FileSecureStore>(folder);
    }
};

template <class Kind>
class SecureStoreTest : public ::testing::Test {
protected:
    std::filesystem::path folder() const { return dir.path() / "secure"; }
    test::TempDir dir;
    Kind kind;
    std::shared_ptr<SecureStore> store = kind.open(folder());
};

using Kinds = ::testing::Types<MemoryKind, FileKind>;
TYPED_TEST_SUITE(SecureStoreTest, Kinds);

TYPED_TEST(SecureStoreTest, AddCopyDuplicateAndMissing) {
    auto& store = *this->store;
    Bytes out;
    EXPECT_EQ(store.copyItem("deviceUID", "deviceUID", out), SecureStore::kItemNotFound);
    EXPECT_EQ(store.addItem("deviceUID", "deviceUID", {'a', 'b', 0, 'c'}), SecureStore::kSuccess);
    EXPECT_EQ(store.copyItem("deviceUID", "deviceUID", out), SecureStore::kSuccess);
    EXPECT_EQ(out, (Bytes{'a', 'b', 0, 'c'}));

    // An existing item is never replaced.
    EXPECT_EQ(store.addItem("deviceUID", "deviceUID", {'z'}), SecureStore::kDuplicateItem);
    EXPECT_EQ(store.copyItem("deviceUID", "deviceUID", out), SecureStore::kSuccess);
    EXPECT_EQ(out, (Bytes{'a', 'b', 0, 'c'}));

    // Account and service both identify the item, and cannot be shifted into each other.
    EXPECT_EQ(store.copyItem("deviceUID", "other", out), SecureStore::kItemNotFound);
    EXPECT_EQ(store.addItem("ab", "c", {1}), SecureStore::kSuccess);
    EXPECT_EQ(store.addItem("a", "bc", {2}), SecureStore::kSuccess);
    EXPECT_EQ(store.copyItem("a", "bc", out), SecureStore::kSuccess);
    EXPECT_EQ(out, Bytes{2});
    EXPECT_EQ(store.addItem("", "", {}), SecureStore::kSuccess);
    EXPECT_EQ(store.copyItem("", "", out), SecureStore::kSuccess);
    EXPECT_TRUE(out.empty());

    // Another store object on the same place sees the items.
    EXPECT_EQ(this->kind.open(this->folder())->copyItem("ab", "c", out), SecureStore::kSuccess);
    EXPECT_EQ(out, Bytes{1});
}

TYPED_TEST(SecureStoreTest, ConcurrentAddsOfTheSameItemLetExactlyOneWin) {
    std::atomic<int> successes{0}, duplicates{0};
    std::vector<std::thread> threads;
    // The file store gets one object per thread: the exclusion must come from the file system.
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            auto status = this->kind.open(this->folder())->addItem("acct", "svc", {static_cast<std::uint8_t>(t)});
            if (status == SecureStore::kSuccess) ++successes;
            if (status == SecureStore::kDuplicateItem) ++duplicates;
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(duplicates, 5);
    if constexpr (std::is_same_v<TypeParam, FileKind>) {  // the losers leave no temporary file behind
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(this->folder()), {}), 1);
    }
}

TEST(MemorySecureStoreTest, AFailStatusAnswersEveryCallAndChangesNothing) {
    MemorySecureStore store;
    ASSERT_EQ(store.addItem("a", "s", {1, 2}), SecureStore::kSuccess);
    store.setFailStatus(SecureStore::kIoError);
    Bytes out;
    EXPECT_EQ(store.copyItem("a", "s", out), SecureStore::kIoError);
    EXPECT_EQ(store.addItem("b", "s", {3}), SecureStore::kIoError);
    EXPECT_TRUE(out.empty());
    store.setFailStatus(SecureStore::kSuccess);
    EXPECT_EQ(store.copyItem("a", "s", out), SecureStore::kSuccess);
    EXPECT_EQ(out, (Bytes{1, 2}));
    EXPECT_EQ(store.size(), 1u);
}

class FileSecureStoreTest : public ::testing::Test {
protected:
    std::filesystem::path folder() const { return dir.path() / "secure"; }
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder()))
            names.push_back(entry.path().filename());
        return names;
    }
    test::TempDir dir;
    FileSecureStore store{folder()};
};

TEST_F(FileSecureStoreTest, FilesArePrivateNamedSafelyAndNoTemporariesRemain) {
    ASSERT_EQ(store.addItem("../../etc/passwd", "/tmp/x", {'s'}), SecureStore::kSuccess);
    ASSERT_EQ(store.addItem("../../etc/passwd", "/tmp/x", {'t'}), SecureStore::kDuplicateItem);
    struct stat info {};
    ASSERT_EQ(::stat(folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    auto names = files();
    ASSERT_EQ(names.size(), 1u);  // no temporary file left behind
    EXPECT_EQ(names[0], store.itemPath("../../etc/passwd", "/tmp/x").filename());
    EXPECT_EQ(names[0].size(), 64u + 5u);  // SHA-256 in hex + ".item"
    ASSERT_EQ(::stat((folder() / names[0]).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(FileSecureStoreTest, IoErrorsAreReportedAsSuch) {
    Bytes out;
    std::filesystem::create_directories(store.itemPath("dir", "item"));  // a folder where the file should be
    EXPECT_EQ(store.copyItem("dir", "item", out), SecureStore::kIoError);
    FileSecureStore broken(dir.write("plain-file", "x") / "secure");
    EXPECT_EQ(broken.addItem("a", "s", {1}), SecureStore::kIoError);
    EXPECT_EQ(broken.copyItem("a", "s", out), SecureStore::kIoError);
}

}  // namespace
}  // namespace quorvela
