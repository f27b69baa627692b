#pragma once
// The one URL rule of every signed call:
//   <base>/<operation>/<percent-encoded raw path>/<signature of the raw path>
#include <initializer_list>
#include <optional>
#include <string>

namespace quorvela {

class SignedUrl {
public:
    /// Reported when the call has no key to sign with.
    static constexpr const char* kMissingKeyError = "Cannot sign a request without a key";

    /// Signs `rawPath` (as formatted from the endpoint's template) under `key`
    /// and builds the URL under the service base. A missing key or non-ASCII
    /// text gives an unsigned result carrying the error text instead.
    static SignedUrl build(const std::string& operation, const std::string& rawPath,
                           const std::optional<std::string>& key);
    /// The same under another base (tests, tools).
    static SignedUrl build(const std::string& base, const std::string& operation, const std::string& rawPath,
                           const std::optional<std::string>& key);

    /// A value as a path template writes it: the text, or "(null)".
    static std::string render(const std::optional<std::string>& value);
    /// Values rendered and joined with "/"; nothing escapes a "/" inside one.
    static std::string joinPath(std::initializer_list<std::optional<std::string>> values);

    bool ok() const { return error_.empty(); }
    /// The full URL; empty when signing was refused.
    const std::string& url() const { return url_; }
    /// The 64-digit signature; empty when signing was refused.
    const std::string& signature() const { return signature_; }
    /// Why signing was refused; empty when ok().
    const std::string& error() const { return error_; }

private:
    std::string url_;
    std::string signature_;
    std::string error_;
};

}  // namespace quorvela
