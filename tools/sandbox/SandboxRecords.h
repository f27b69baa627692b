#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvela::sandbox {

/// A client application the sandbox knows: what the library reads from its
/// configuration file (name, public id, private signing key).
struct Application {
    std::string appName;
    std::string publicId;
    std::string privateKey;
    std::optional<std::string> defaultWorkspace;  ///< client id of its default workspace
};

/// One request the HTTPS server answered.
struct RequestRecord {
    std::int64_t time = 0;            ///< milliseconds since 1970
    std::string path;                 ///< the request target as sent (encoded, with query)
    std::string operation;            ///< REST operation, "events", "ipecho" or "" when unrouted
    std::optional<bool> signatureOk;  ///< set for REST operations whose signature was checked
    int status = 0;
};

/// What the HTTPS server counted since it started: TCP connections accepted
/// and TLS handshakes completed. A client that keeps its connection alive
/// adds one of each however many requests it sends.
struct ConnectionCounts {
    std::uint64_t accepted = 0;
    std::uint64_t tlsHandshakes = 0;
};

/// One analytics event: the query pairs in the order the client sent them,
/// keys and values percent-decoded.
struct AnalyticsEvent {
    std::int64_t time = 0;
    std::vector<std::pair<std::string, std::string>> query;

    /// The first value under `key`, if the event has it.
    std::optional<std::string> value(const std::string& key) const {
        for (const auto& [k, v] : query) {
            if (k == key) return v;
        }
        return std::nullopt;
    }
    std::vector<std::string> keys() const {
        std::vector<std::string> out;
        for (const auto& pair : query) out.push_back(pair.first);
        return out;
    }
};

}  // namespace quorvela::sandbox
