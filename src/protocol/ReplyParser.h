#pragma once
// The common shape of every reply parser: character data collects in one
// buffer, which an element's end uses and then clears.
//
// The buffer is made on the first characters after it was cleared and is NOT
// cleared when an element starts, so text standing between elements (the
// indentation of pretty-printed XML) prefixes the next element's text. An
// element without character data leaves the buffer null.
//
// The buffer's storage is kept from one element to the next, and the element
// events arrive as the tokenizer's own texts: a parser that overrides
// tagStarted and tagEnded makes no string per element.
#include <optional>
#include <string>
#include <string_view>

#include "protocol/RequestError.h"
#include "protocol/XmlReader.h"
#include "protocol/XmlReaderDelegate.h"

namespace quorvela {

class ReplyParser : public XmlReaderDelegate, private XmlReader::Tokens {
public:
    /// Reads one reply synchronously on the calling thread; true when it was
    /// well-formed, otherwise parseError() tells why.
    bool parse(std::string_view bytes);
    const std::optional<RequestError>& parseError() const { return parseError_; }

    void foundCharacters(const std::string& text) final;
    void didEndElement(const std::string& name) final;

protected:
    enum class AfterEnd { ClearBuffer, KeepBuffer };

    /// An element's start as read. The default makes the name and attribute
    /// texts and calls didStartElement.
    virtual void tagStarted(std::string_view name, const char** attributes);
    /// An element's end as read; the buffer is cleared afterwards unless the
    /// step asks to keep it. The default makes the name text and calls
    /// elementEnded.
    virtual AfterEnd tagEnded(std::string_view name) { return elementEnded(std::string(name)); }

    /// The subclass's end-of-element step; the buffer is cleared afterwards
    /// unless it asks to keep it.
    virtual AfterEnd elementEnded(const std::string& /*name*/) { return AfterEnd::ClearBuffer; }

    /// False while the subclass skips a part of the reply: the buffer is still
    /// made (an element there ends with empty text, not null) but nothing is
    /// added to it.
    virtual bool collectsCharacters() const { return true; }

    const std::optional<std::string>& currentStringValue() const { return hasText_ ? buffer_ : noText_; }
    void clearCurrentStringValue();
    /// Stops the parse in progress (it then fails).
    void abortParsing();

private:
    void startTag(const char* name, const char** attributes) final { tagStarted(name, attributes); }
    void endTag(const char* name) final;
    void text(std::string_view text) final;

    // Always engaged, so its storage outlives a clear; hasText_ says whether
    // it stands for a value.
    std::optional<std::string> buffer_{std::in_place};
    bool hasText_ = false;
    const std::optional<std::string> noText_;
    std::optional<RequestError> parseError_;
    XmlReader* reader_ = nullptr;
};

}  // namespace quorvela
