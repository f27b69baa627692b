#pragma once
// The demonstration's pushes: the sandbox sends TXT_MSG, GET_LOC,
// CRT_REGION, DLT_BEACON and a geo-targeted push, and the device hands each
// one to `processRemoteNotification` as a platform push service would.

#include <optional>
#include <string>

namespace quorvela::host {

struct DemoContext;

class DemoPushChapter {
public:
    static void play(DemoContext& demo);

private:
    /// Sends the push through the sandbox's outbox and hands what arrives to
    /// the library with a completion handler recorded under `name`. Returns
    /// why nothing arrived, if nothing did.
    static std::optional<std::string> deliver(DemoContext& demo, const std::string& name,
                                              const std::string& payloadJson);
};

}  // namespace quorvela::host
