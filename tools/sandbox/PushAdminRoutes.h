#pragma once

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

class SandboxState;

/// The admin API's push outbox routes (JSON; a push is {id, time, token,
/// deviceId, publicId, payload, delivered}, its payload an object):
///   POST /pushes {token, payload}                      sends a push to the device of that token
///   POST /pushes {token, message: {clientId, user?, fields?}, payload?}
///                                                      queues the message and sends a push announcing it
///                                                      (TXT_MSG with its id; `payload` keys override)
///   POST /pushes/take {token}                          the token's undelivered pushes, now delivered
///   GET /pushes[?token=T]                              every push, or T's undelivered ones (nothing marked)
///   DELETE /pushes                                     forgets every push
/// An unknown token or workspace, or a payload that is no object, answers 400.
class PushAdminRoutes {
public:
    static void add(httplib::Server& server, SandboxState& state);
};

}  // namespace quorvela::sandbox
