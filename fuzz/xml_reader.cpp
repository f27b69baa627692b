// Feeds arbitrary bytes to the XML reader and to a reply parser shaped like
// the loaders', checking the reader's promises on the way.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/ReplyParser.h"
#include "protocol/XmlReader.h"

namespace {

using quorvela::RequestError;
using quorvela::ReplyParser;
using quorvela::XmlReader;
using quorvela::XmlReaderDelegate;

class EventCounter : public XmlReaderDelegate {
public:
    int starts = 0, ends = 0, errors = 0, documentEnds = 0;
    bool eventAfterError = false;

    void didStartElement(const std::string&, const Attributes&) override { seen(), ++starts; }
    void didEndElement(const std::string&) override { seen(), ++ends; }
    void foundCharacters(const std::string&) override { seen(); }
    void parseErrorOccurred(const RequestError&) override { ++errors; }
    void didEndDocument() override { seen(), ++documentEnds; }

private:
    void seen() { eventAfterError = eventAfterError || errors > 0; }
};

// A loader-like grammar: records of a few fields, an outcome pair and a
// wrapper whose end keeps the buffer.
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    EventCounter counter;
    XmlReader reader(counter);
    const bool wellFormed = reader.parse(bytes);
    if (wellFormed != (counter.documentEnds == 1)) __builtin_trap();
    if (wellFormed && (counter.errors != 0 || reader.error())) __builtin_trap();
    if (!wellFormed && (counter.errors != 1 || !reader.error())) __builtin_trap();
    if (counter.eventAfterError) __builtin_trap();
    if (wellFormed && counter.starts != counter.ends) __builtin_trap();

    LoaderLike parser;
    if (parser.parse(bytes) != wellFormed) __builtin_trap();
    return 0;
}
