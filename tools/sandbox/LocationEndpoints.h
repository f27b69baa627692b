#pragma once
#include <string>

#include "sandbox/RestOperation.h"

namespace quorvela::sandbox {

class RestRouter;

/// sendLocation and notifyRegionEvent: signed with the key of the workspace
/// whose client id is the segment before the time stamp (the default
/// workspace: its application's private key). A well-formed report is stored
/// (LocationStore) and answered with "successful" and "message" in one line
/// of XML; a malformed one with successful false and status 400.
class LocationEndpoints {
public:
    static void addTo(RestRouter& router);

    /// requestID / device / time stamp / latitude / longitude / "APP" / client / time stamp
    static RestReply sendLocation(const RestCall& call, SandboxState& state);
    /// region / device / status / time stamp / latitude / longitude / type / app / platform / client / time stamp
    static RestReply notifyRegionEvent(const RestCall& call, SandboxState& state);

    static RestReply reply(bool successful, const std::string& message, int status = 200);
};

}  // namespace quorvela::sandbox
