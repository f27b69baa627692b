#pragma once
// Event-driven XML reading of service replies. Namespaces are not processed,
// external entities are never loaded and documents that declare entities are
// refused, so no reply can make the reader fetch or expand anything.
#include <optional>
#include <string>
#include <string_view>

#include "protocol/RequestError.h"
#include "protocol/XmlReaderDelegate.h"

namespace quorvela {

class XmlReader {
public:
    /// Error numbers of the refusals the reader adds to the parser's own.
    static constexpr long kEntityDeclarationRefused = 1001;
    static constexpr long kAborted = 1002;
    static constexpr long kDelegateFailed = 1003;

    /// Element and text events as the tokenizer gives them, its own texts
    /// valid only during the call: for readers of large replies that make no
    /// std::string or attribute map per event. `attributes` holds name and
    /// value in turn and ends with a null.
    class Tokens {
    public:
        virtual void startTag(const char* name, const char** attributes) = 0;
        virtual void endTag(const char* name) = 0;
        virtual void text(std::string_view text) = 0;

    protected:
        ~Tokens() = default;
    };

    explicit XmlReader(XmlReaderDelegate& delegate);
    /// The element and text events go to `tokens` instead of the delegate;
    /// the document and error events still go to the delegate.
    XmlReader(XmlReaderDelegate& delegate, Tokens& tokens);
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    /// Reads the whole document (UTF-8 bytes) synchronously, calling the
    /// delegate as it goes. True when it was well-formed; otherwise error()
    /// tells why. Reading stops at the first error. One parse per reader.
    bool parse(std::string_view bytes);

    /// Stops reading from inside a delegate callback; parse then fails.
    void abortParsing();

    const std::optional<RequestError>& error() const { return error_; }

private:
    struct Callbacks;
    XmlReaderDelegate& delegate_;
    Tokens* tokens_ = nullptr;
    std::optional<RequestError> error_;
    void* parser_ = nullptr;
    bool stopped_ = false;
    bool used_ = false;
};

}  // namespace quorvela
