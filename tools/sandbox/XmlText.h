#pragma once
#include <string>

namespace quorvela::sandbox {

/// Writing the sandbox's XML replies.
class XmlText {
public:
    /// `text` with &, <, >, " and ' written as entity references.
    static std::string escape(const std::string& text);
    /// "<name>escaped text</name>", or "<name/>" for an empty text.
    static std::string element(const std::string& name, const std::string& text);
};

}  // namespace quorvela::sandbox
