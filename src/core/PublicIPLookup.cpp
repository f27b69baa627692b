#include "core/PublicIPLookup.h"

#include "protocol/ServiceEndpoints.h"

namespace quorvela {

std::optional<std::string> PublicIPLookup::fetch(HttpClient& http, std::chrono::milliseconds timeout) {
    HttpResult result = http.getBlocking(ipEchoUrl(), timeout);
    if (!result.ok || result.status < 200 || result.status > 299) return std::nullopt;
    return std::move(result.body);
}

}  // namespace quorvela
