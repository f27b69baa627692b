#include "platform/FileSecureStore.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fmt/format.h>
#include <openssl/evp.h>

namespace quorvela {

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool syncFolder(const std::filesystem::path& folder) {
    Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

// Moves `from` to `to` unless `to` exists: EEXIST then.
int moveNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without RENAME_NOREPLACE: a hard link is just as exclusive.
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

FileSecureStore::FileSecureStore(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::filesystem::path FileSecureStore::itemPath(const std::string& account, const std::string& service) const {
    // Length-prefixed so that ("ab","c") and ("a","bc") differ.
    std::string identity = fmt::format("{}:{}:{}", account.size(), account, service);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(identity.data(), identity.size(), digest, &length, EVP_sha256(), nullptr);
    std::string name;
    for (unsigned int i = 0; i < length; ++i) name += fmt::format("{:02x}", digest[i]);
    return folder_ / (name + ".item");
}

std::int32_t FileSecureStore::addItem(const std::string& account, const std::string& service,
                                      const std::vector<std::uint8_t>& data) {
    std::lock_guard lock(mutex_);
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    if (error) return kIoError;
    ::chmod(folder_.c_str(), 0700);
    auto target = itemPath(account, service);
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) == 0) return kDuplicateItem;

    std::string temp = target.string() + ".tmp-XXXXXX";
    Fd fd(::mkostemp(temp.data(), O_CLOEXEC));  // mkostemp creates with mode 0600
    if (fd.get() < 0) return kIoError;
    bool written = ::fchmod(fd.get(), 0600) == 0 && writeAll(fd.get(), data.data(), data.size()) &&
                   ::fsync(fd.get()) == 0;
    written = fd.close() && written;
    if (!written) {
        ::unlink(temp.c_str());
        return kIoError;
    }
    int moved = moveNoReplace(temp, target);
    if (moved != 0) {
        ::unlink(temp.c_str());
        return moved == EEXIST ? kDuplicateItem : kIoError;
    }
    return syncFolder(folder_) ? kSuccess : kIoError;
}

std::int32_t FileSecureStore::copyItem(const std::string& account, const std::string& service,
                                       std::vector<std::uint8_t>& data) const {
    auto path = itemPath(account, service);
    Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) return errno == ENOENT ? kItemNotFound : kIoError;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > kMaxItemBytes)
        return kIoError;
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return kIoError;
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxItemBytes) return kIoError;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    data = std::move(bytes);
    return kSuccess;
}

}  // namespace quorvela
