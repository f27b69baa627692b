#include "ReaderVerdict.h"

#include "protocol/XmlReader.h"

namespace quorvela::fuzz {
namespace {

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

}  // namespace

bool readerVerdict(std::string_view bytes) {
    EventCounter counter;
    XmlReader reader(counter);
    const bool wellFormed = reader.parse(bytes);
    expect(wellFormed == (counter.documentEnds == 1), "the document ends exactly when it is well formed");
    expect(counter.errors == (wellFormed ? 0 : 1), "a failed parse reports one error, a good one none");
    expect(reader.error().has_value() != wellFormed, "the reader keeps its error exactly when it failed");
    expect(!counter.eventAfterError, "no event follows an error");
    expect(!wellFormed || counter.starts == counter.ends, "a well-formed document's elements are balanced");
    return wellFormed;
}

}  // namespace quorvela::fuzz
