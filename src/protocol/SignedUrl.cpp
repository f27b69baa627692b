#include "protocol/SignedUrl.h"

#include "protocol/PercentEncoding.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"

namespace quorvela {

SignedUrl SignedUrl::build(const std::string& operation, const std::string& rawPath,
                           const std::optional<std::string>& key) {
    return build(serviceBaseUrl(), operation, rawPath, key);
}

SignedUrl SignedUrl::build(const std::string& base, const std::string& operation, const std::string& rawPath,
                           const std::optional<std::string>& key) {
    SignedUrl result;
    if (!key) {
        result.error_ = kMissingKeyError;
        return result;
    }
    // The raw path is signed, the encoded one travels: the service decodes the
    // path before checking the signature.
    auto signature = RequestSigner::sign(rawPath, *key);
    if (!signature) {
        result.error_ = RequestSigner::kNonAsciiError;
        return result;
    }
    result.signature_ = *signature;
    result.url_ = base + "/" + operation + "/" + PercentEncoding::encodePath(rawPath) + "/" + *signature;
    return result;
}

std::string SignedUrl::render(const std::optional<std::string>& value) { return value ? *value : "(null)"; }

std::string SignedUrl::joinPath(std::initializer_list<std::optional<std::string>> values) {
    std::string path;
    bool first = true;
    for (const auto& value : values) {
        if (!first) path += '/';
        path += render(value);
        first = false;
    }
    return path;
}

}  // namespace quorvela
