#pragma once
// An HTTP client of a running sandbox's admin API, carrying its token.
#include <httplib.h>

#include <memory>

#include "sandbox/Sandbox.h"

namespace quorvela::test {

inline std::unique_ptr<httplib::Client> sandboxAdminClient(const sandbox::Sandbox& sandbox) {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", sandbox.adminPort());
    client->set_bearer_token_auth(sandbox.adminToken());
    return client;
}

}  // namespace quorvela::test
