#pragma once
#include <optional>
#include <string>
#include <vector>

namespace httplib {
struct Request;
}

namespace quorvela::sandbox {

/// Who may use the admin API: whoever holds its token, from the admin
/// address itself. The private keys it hands out make the token necessary,
/// and a web page in the owner's browser could otherwise reach the port
/// through cross-site requests or a rebound DNS name, so foreign Origin and
/// Host headers are refused too.
class AdminAccess {
public:
    struct Refusal {
        int status;
        std::string error;
    };

    /// `token` is what "Authorization: Bearer" must carry; `listenHost` the
    /// address the admin server listens on and `port` its port. The loopback
    /// names are always allowed, `listenHost` too; on a wildcard address any
    /// Host is, and the token alone guards.
    AdminAccess(std::string token, const std::string& listenHost, int port);

    /// 32 hex digits from the system's random source.
    static std::string randomToken();
    /// A token is 16 to 256 characters of letters, digits and "-._~+/=" (the
    /// characters a bearer token may hold).
    static bool isValidToken(const std::string& token);
    /// Throws std::invalid_argument, saying what a token may be, unless
    /// isValidToken.
    static void requireValidToken(const std::string& token);
    /// "http://<host>:<port>/#token=<token>": where a browser opens the
    /// console of an admin server listening on `listenHost` (loopback for a
    /// wildcard address).
    static std::string consoleUrl(const std::string& listenHost, int port, const std::string& token);

    /// Whether the request comes from an allowed Host and Origin; the
    /// console's static files need nothing more.
    std::optional<Refusal> checkOrigin(const httplib::Request& request) const;
    /// checkOrigin, then the bearer token.
    std::optional<Refusal> checkApi(const httplib::Request& request) const;

private:
    bool allowedAuthority(const std::string& authority) const;

    std::string token_;
    std::vector<std::string> authorities_;  ///< "host:port" forms a request may name
    bool anyHost_ = false;                  ///< listening on every address: names cannot be known
};

}  // namespace quorvela::sandbox
