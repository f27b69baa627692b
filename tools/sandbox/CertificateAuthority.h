#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace quorvela::sandbox {

/// A private test CA and one server certificate signed by it, kept as PEM
/// files in a folder: ca.pem, ca-key.pem, server.pem, server-key.pem (keys
/// mode 0600). Existing usable files are reused, so clients that trust ca.pem
/// keep working across restarts.
class CertificateAuthority {
public:
    struct Files {
        std::filesystem::path caFile;
        std::filesystem::path certFile;
        std::filesystem::path keyFile;
    };

    /// The names the server certificate covers: the service host, the IP echo
    /// host, localhost and 127.0.0.1.
    static std::vector<std::string> serverNames();

    /// Makes the files in `folder` (created if missing) unless usable ones are
    /// there. Throws std::runtime_error when they can be neither read nor made.
    static Files ensure(const std::filesystem::path& folder);
};

}  // namespace quorvela::sandbox
