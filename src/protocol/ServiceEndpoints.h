#pragma once
// Where the service lives. The hosts are fixed at build time; hosts and tests
// reach a local stand-in through the HTTP client's connect-to option instead.
#include <string>

#include "ServiceHosts.h"

namespace quorvela {

/// Base of every signed REST call, without a trailing slash.
inline std::string serviceBaseUrl() { return "https://" QUORVELA_SERVICE_HOST "/quorvela-staging/rest/message"; }

/// The analytics endpoint; its query keys follow the "?" directly.
inline std::string eventsUrl() { return "https://" QUORVELA_SERVICE_HOST "/events/?"; }

/// The public IP-echo service (answers with the caller's address as text).
inline std::string ipEchoUrl() { return "https://" QUORVELA_IPECHO_HOST "/"; }

}  // namespace quorvela
