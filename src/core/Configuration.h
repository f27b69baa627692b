#pragma once
// Reading the host's property lists: the configuration file
// "Quorvela-Info.plist" with the credentials and switches, and the other
// credential and environment files a host may load later.

#include <functional>
#include <optional>
#include <string>

#include "protocol/ClientCredentials.h"
#include "quorvela/HostResults.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class Configuration {
public:
    static constexpr const char* kFileName = "Quorvela-Info";
    static constexpr const char* kFileType = "plist";
    static constexpr const char* kMissingKeysLine =
        "Configure: check in the configuration file (Quorvela-info.plist) some of the following keys "
        "(appName/publicKey/privateKey)";
    static constexpr const char* kSuccessLine = "Configure: completed successfully";

    explicit Configuration(Platform& platform) : platform_(platform) {}

    /// Reads the configuration file. With all three credentials present and
    /// non-empty: hands them to `setCredentials`, copies the switches, stores
    /// "YES" under "configureQuorvela" and writes the success line to the
    /// platform log. The store is not flushed here. A missing file: nothing
    /// read, written or logged. A missing key: "configureQuorvela" removed
    /// and the missing-keys line written.
    StartReport apply(const std::function<void(const ClientCredentials&)>& setCredentials) const;

    /// The credentials of another file ("appName", "clientID",
    /// "apiClientPrivateKey", missing or non-text entries null); nothing when
    /// the file cannot be read.
    std::optional<ClientCredentials> readCredentials(const std::string& fileName) const;

    /// Copies the four switches of another file into the store and flushes it;
    /// false (nothing changed) when the file cannot be read.
    bool loadEnvironment(const std::string& fileName) const;

private:
    Platform& platform_;
};

}  // namespace quorvela
