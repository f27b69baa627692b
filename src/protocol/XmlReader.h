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

    explicit XmlReader(XmlReaderDelegate& delegate);
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
    std::optional<RequestError> error_;
    void* parser_ = nullptr;
    bool stopped_ = false;
    bool used_ = false;
};

}  // namespace quorvela
