#pragma once
// The common shape of every reply parser: character data collects in one
// buffer, which an element's end uses and then clears.
//
// The buffer is made on the first characters after it was cleared and is NOT
// cleared when an element starts, so text standing between elements (the
// indentation of pretty-printed XML) prefixes the next element's text. An
// element without character data leaves the buffer null.
#include <optional>
#include <string>
#include <string_view>

#include "protocol/RequestError.h"
#include "protocol/XmlReader.h"
#include "protocol/XmlReaderDelegate.h"

namespace quorvela {

class ReplyParser : public XmlReaderDelegate {
public:
    /// Reads one reply synchronously on the calling thread; true when it was
    /// well-formed, otherwise parseError() tells why.
    bool parse(std::string_view bytes);
    const std::optional<RequestError>& parseError() const { return parseError_; }

    void foundCharacters(const std::string& text) final;
    void didEndElement(const std::string& name) final;

protected:
    enum class AfterEnd { ClearBuffer, KeepBuffer };

    /// The subclass's end-of-element step; the buffer is cleared afterwards
    /// unless it asks to keep it.
    virtual AfterEnd elementEnded(const std::string& /*name*/) { return AfterEnd::ClearBuffer; }

    /// False while the subclass skips a part of the reply: the buffer is still
    /// made (an element there ends with empty text, not null) but nothing is
    /// added to it.
    virtual bool collectsCharacters() const { return true; }

    const std::optional<std::string>& currentStringValue() const { return currentStringValue_; }
    void clearCurrentStringValue() { currentStringValue_.reset(); }
    /// Stops the parse in progress (it then fails).
    void abortParsing();

private:
    std::optional<std::string> currentStringValue_;
    std::optional<RequestError> parseError_;
    XmlReader* reader_ = nullptr;
};

}  // namespace quorvela
