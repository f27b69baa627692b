#include "RestRouter.h"

#include <mutex>

#include "PercentCoding.h"
#include "SandboxState.h"
#include "SignatureVerifier.h"

namespace quorvela::sandbox {

namespace {

constexpr std::size_t kSignatureLength = 64;

RestReply text(int status, std::string body) { return RestReply{status, std::move(body), "text/plain"}; }

bool isLowerHex(std::string_view text) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

std::vector<std::string> split(const std::string& path) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = path.find('/', start);
        out.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) return out;
        start = slash + 1;
    }
}

}  // namespace

void RestRouter::add(const std::string& operation, RestOperation route) {
    std::unique_lock lock(mutex_);
    routes_[operation] = std::move(route);
}

bool RestRouter::has(const std::string& operation) const {
    std::shared_lock lock(mutex_);
    return routes_.count(operation) != 0;
}

RestRouter::Outcome RestRouter::route(std::string_view target, const std::string& remoteAddress,
                                      SandboxState& state) const {
    Outcome outcome;
    if (target.substr(0, kBasePath.size()) != kBasePath) {
        outcome.reply = text(404, "Not found");
        return outcome;
    }
    if (target.find('?') != std::string_view::npos || target.find('#') != std::string_view::npos) {
        outcome.reply = text(400, "Bad request: REST parameters travel in the path");
        return outcome;
    }
    std::string_view rest = target.substr(kBasePath.size());
    const std::size_t operationEnd = rest.find('/');
    outcome.operation = std::string(rest.substr(0, operationEnd));

    RestOperation operation;
    {
        std::shared_lock lock(mutex_);
        auto found = routes_.find(outcome.operation);
        if (found == routes_.end()) {
            outcome.reply = text(404, "Unknown operation");
            return outcome;
        }
        operation = found->second;
    }
    const std::size_t signatureStart = rest.rfind('/');
    if (operationEnd == std::string_view::npos || signatureStart <= operationEnd) {
        outcome.reply = text(400, "Bad request: missing parameter path or signature");
        return outcome;
    }
    const std::string_view encodedPath = rest.substr(operationEnd + 1, signatureStart - operationEnd - 1);
    const std::string_view signature = rest.substr(signatureStart + 1);
    if (signature.size() != kSignatureLength || !isLowerHex(signature)) {
        outcome.reply = text(400, "Bad request: the signature is not 64 lowercase hex digits");
        return outcome;
    }
    std::optional<std::string> rawPath = PercentCoding::decode(encodedPath);
    if (!rawPath) {
        outcome.reply = text(400, "Bad request: malformed percent-encoding");
        return outcome;
    }
    if (rawPath->find('\0') != std::string::npos) {
        // Clients sign text as C strings; a NUL would make the signed text and the values differ.
        outcome.reply = text(400, "Bad request: NUL in the parameter path");
        return outcome;
    }

    RestCall call{outcome.operation, *rawPath, split(*rawPath), remoteAddress};
    const std::optional<std::string> key = operation.key ? operation.key(call, state) : std::nullopt;
    if (!key) {
        outcome.reply = text(403, "Forbidden: unknown client");
        return outcome;
    }
    outcome.signatureOk = SignatureVerifier::verify(*key, call.rawPath, signature);
    if (!*outcome.signatureOk) {
        outcome.reply = text(403, "Forbidden: bad signature");
        return outcome;
    }
    outcome.reply = operation.handle(call, state);
    return outcome;
}

RestOperation::KeyLookup RestRouter::applicationKeyAt(std::size_t index) {
    return [index](const RestCall& call, SandboxState& state) -> std::optional<std::string> {
        if (index >= call.segments.size()) return std::nullopt;
        auto application = state.application(call.segments[index]);
        if (!application) return std::nullopt;
        return application->privateKey;
    };
}

}  // namespace quorvela::sandbox
