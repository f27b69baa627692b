#pragma once
#include <map>
#include <string>

#include "protocol/RequestError.h"

namespace quorvela {

/// Events of one XmlReader::parse, in document order, on the thread that
/// calls parse. Names are as written (no namespace processing); text is
/// UTF-8 with entity and character references already decoded.
class XmlReaderDelegate {
public:
    using Attributes = std::map<std::string, std::string>;

    virtual ~XmlReaderDelegate() = default;
    virtual void didStartDocument() {}
    virtual void didStartElement(const std::string& /*name*/, const Attributes& /*attributes*/) {}
    virtual void didEndElement(const std::string& /*name*/) {}
    /// One piece of character data (CDATA sections included); an element's
    /// text may come in several pieces.
    virtual void foundCharacters(const std::string& /*text*/) {}
    /// The first error; nothing else follows it.
    virtual void parseErrorOccurred(const RequestError& /*error*/) {}
    /// Only after a whole, well-formed document.
    virtual void didEndDocument() {}
};

}  // namespace quorvela
