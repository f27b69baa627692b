// A single-message reply: a defined outcome, and a message only from a
// "message" element.
#include "FuzzChecks.h"
#include "ReaderVerdict.h"
#include "protocol/SingleMessageParser.h"
#include "quorvela/Message.h"

namespace quorvela::fuzz {

void singleMessage(std::string_view bytes) {
    SingleMessageParser parser;
    expectDefinedOutcome(parser, bytes, readerVerdict(bytes));
    if (parser.message()) {
        expect(bytes.find("<message") != std::string_view::npos, "a message comes from a message element");
        (void)parser.message()->encodeWithCoder();
    }
}

}  // namespace quorvela::fuzz
