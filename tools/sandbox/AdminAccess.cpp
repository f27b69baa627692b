#include "AdminAccess.h"

#include <httplib.h>
#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <stdexcept>

namespace quorvela::sandbox {

namespace {

bool isLoopback(const std::string& host) { return host == "127.0.0.1" || host == "localhost" || host == "::1"; }

bool isWildcard(const std::string& host) { return host == "0.0.0.0" || host == "::" || host.empty(); }

std::string authority(const std::string& host, int port) {
    const bool ipv6 = host.find(':') != std::string::npos;
    return ipv6 ? fmt::format("[{}]:{}", host, port) : fmt::format("{}:{}", host, port);
}

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return text;
}

}  // namespace

AdminAccess::AdminAccess(std::string token, const std::string& listenHost, int port) : token_(std::move(token)) {
    requireValidToken(token_);
    authorities_ = {authority("127.0.0.1", port), authority("localhost", port), authority("::1", port)};
    anyHost_ = isWildcard(listenHost);
    if (!anyHost_ && !isLoopback(listenHost)) authorities_.push_back(lowered(authority(listenHost, port)));
}

std::string AdminAccess::randomToken() {
    std::array<unsigned char, 16> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1)
        throw std::runtime_error("No random source for the admin token");
    std::string token;
    for (unsigned char byte : bytes) token += fmt::format("{:02x}", byte);
    return token;
}

bool AdminAccess::isValidToken(const std::string& token) {
    if (token.size() < 16 || token.size() > 256) return false;
    return std::all_of(token.begin(), token.end(), [](unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("-._~+/=").find(static_cast<char>(c)) != std::string_view::npos;
    });
}

void AdminAccess::requireValidToken(const std::string& token) {
    if (!isValidToken(token))
        throw std::invalid_argument("The admin token must be 16 to 256 letters, digits or -._~+/=");
}

std::string AdminAccess::consoleUrl(const std::string& listenHost, int port, const std::string& token) {
    // A wildcard address is no place to browse to; loopback reaches it.
    return "http://" + authority(isWildcard(listenHost) ? "127.0.0.1" : listenHost, port) + "/#token=" + token;
}

bool AdminAccess::allowedAuthority(const std::string& given) const {
    if (anyHost_) return !given.empty();
    const std::string wanted = lowered(given);
    return std::find(authorities_.begin(), authorities_.end(), wanted) != authorities_.end();
}

std::optional<AdminAccess::Refusal> AdminAccess::checkOrigin(const httplib::Request& request) const {
    // Browsers always send the name they resolved; a rebound name shows here.
    const std::string host = request.get_header_value("Host");
    if (!allowedAuthority(host)) return Refusal{403, "Unexpected Host header"};
    // The console itself is the only page that may call: same scheme, name and port.
    if (request.has_header("Origin") && lowered(request.get_header_value("Origin")) != "http://" + lowered(host))
        return Refusal{403, "Cross-origin requests are refused"};
    // Chromium and Firefox say so even where no Origin is sent (GET).
    if (request.get_header_value("Sec-Fetch-Site") == "cross-site")
        return Refusal{403, "Cross-origin requests are refused"};
    return std::nullopt;
}

std::optional<AdminAccess::Refusal> AdminAccess::checkApi(const httplib::Request& request) const {
    if (auto refusal = checkOrigin(request)) return refusal;
    const std::string header = request.get_header_value("Authorization");
    constexpr std::string_view kScheme = "Bearer ";
    if (header.size() <= kScheme.size() || lowered(header.substr(0, kScheme.size())) != "bearer " ||
        !sameText(header.substr(kScheme.size()), token_)) {
        return Refusal{401, "Missing or wrong admin token"};
    }
    return std::nullopt;
}

}  // namespace quorvela::sandbox
