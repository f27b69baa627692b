#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quorvela::sandbox {

class SandboxState;

/// One signed REST request, after its signature was checked.
struct RestCall {
    std::string operation;
    std::string rawPath;                ///< the decoded parameter path, the text that was signed
    std::vector<std::string> segments;  ///< rawPath split at "/"
    std::string remoteAddress;
};

struct RestReply {
    int status = 200;
    std::string body;
    std::string contentType = "application/xml";
    /// Sends `body` under headers that promise more, then closes the
    /// connection: the client sees a transfer that broke off mid-body.
    bool dropConnection = false;
};

/// What the route table holds per operation name.
struct RestOperation {
    /// Finds the key that signs this operation's requests (the application's
    /// private key, a workspace key, ...); nothing means an unknown client.
    using KeyLookup = std::function<std::optional<std::string>(const RestCall&, SandboxState&)>;
    using Handler = std::function<RestReply(const RestCall&, SandboxState&)>;

    KeyLookup key;
    Handler handle;
};

}  // namespace quorvela::sandbox
