// A pending-messages reply: a defined outcome, and every message it reports
// can be serialised and dated.
#include "FuzzChecks.h"
#include "ReaderVerdict.h"
#include "protocol/PendingMessagesParser.h"
#include "quorvela/Message.h"

namespace quorvela::fuzz {

void pendingMessages(std::string_view bytes) {
    PendingMessagesParser parser;
    expectDefinedOutcome(parser, bytes, readerVerdict(bytes));
    for (const auto& message : parser.messages()) {
        expect(message != nullptr, "a reported message exists");
        (void)message->serialize();
        (void)message->getDate();
    }
}

}  // namespace quorvela::fuzz
