#pragma once
#include <map>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>

#include "sandbox/RestOperation.h"

namespace quorvela::sandbox {

/// The route table of the REST operations under
/// "/quorvela-staging/rest/message/<operation>/<parameter path...>/<signature>":
/// parses the target, checks the signature with the operation's key and
/// calls its handler. Every operation goes through the same check.
class RestRouter {
public:
    static constexpr std::string_view kBasePath = "/quorvela-staging/rest/message/";

    struct Outcome {
        RestReply reply;
        std::string operation;            ///< as named in the target, "" when unreadable
        std::optional<bool> signatureOk;  ///< set once a key was found and the signature compared
    };

    /// Adds or replaces an operation; safe while requests are served.
    void add(const std::string& operation, RestOperation route);
    bool has(const std::string& operation) const;

    /// `target` is the request target as sent (still percent-encoded).
    Outcome route(std::string_view target, const std::string& remoteAddress, SandboxState& state) const;

    /// A key lookup for operations signed with the private key of the
    /// application whose public id is the parameter path's segment `index`.
    static RestOperation::KeyLookup applicationKeyAt(std::size_t index);

private:
    mutable std::shared_mutex mutex_;
    std::map<std::string, RestOperation, std::less<>> routes_;
};

}  // namespace quorvela::sandbox
