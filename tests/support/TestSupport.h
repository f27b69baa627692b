#pragma once
// Helpers shared by every test executable.
#include <filesystem>
#include <string>

namespace quorvela::test {

/// A fresh folder under the system's temporary folder, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    /// Writes `contents` to `name` inside the folder and returns its path.
    std::filesystem::path write(const std::string& name, const std::string& contents) const;

private:
    std::filesystem::path path_;
};

/// True for the transfer library's time-out texts, which depend on the phase
/// the clock ran out in: "... timed out after N milliseconds" while connecting
/// or reading, "SSL connection timeout" during the handshake (a loaded
/// machine can be that slow).
inline bool isTimeoutError(const std::string& error) {
    return error.find("timed out") != std::string::npos || error.find("timeout") != std::string::npos;
}

}  // namespace quorvela::test
