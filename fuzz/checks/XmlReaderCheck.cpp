// The XML reader's promises, and every reply grammar on it agreeing with it:
// the real ones and a loader-like grammar whose wrapper keeps the buffer.
#include <optional>
#include <string>

#include "FuzzChecks.h"
#include "ReaderVerdict.h"
#include "protocol/PendingMessagesParser.h"
#include "protocol/RegionListParser.h"
#include "protocol/ReplyParser.h"
#include "protocol/SingleMessageParser.h"
#include "quorvela/Geofence.h"

namespace quorvela::fuzz {
namespace {

class LoaderLike : public ReplyParser {
public:
    int records = 0;
    std::optional<std::string> message;
    bool successful = false;
    bool inRecord = false;

    void didStartElement(const std::string& name, const Attributes&) override {
        if (name == "message" || name == "workspace") inRecord = true;
    }

protected:
    AfterEnd elementEnded(const std::string& name) override {
        if (name == "transactionResult") return AfterEnd::KeepBuffer;
        if (name == "successful") successful = currentStringValue() == std::optional<std::string>("true");
        if (name == "message" || name == "workspace") {
            records += inRecord;
            inRecord = false;
        } else if (name == "subject" || name == "clientId") {
            message = currentStringValue();
        }
        return AfterEnd::ClearBuffer;
    }
};

}  // namespace

void xmlReader(std::string_view bytes) {
    const bool wellFormed = readerVerdict(bytes);
    LoaderLike loaderLike;
    expectDefinedOutcome(loaderLike, bytes, wellFormed);
    PendingMessagesParser messages;
    expectDefinedOutcome(messages, bytes, wellFormed);
    SingleMessageParser single;
    expectDefinedOutcome(single, bytes, wellFormed);
    RegionListParser<Geofence> geofences("geoFence");
    expectDefinedOutcome(geofences, bytes, wellFormed);
}

}  // namespace quorvela::fuzz
