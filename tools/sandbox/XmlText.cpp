#include "XmlText.h"

namespace quorvela::sandbox {

std::string XmlText::escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string XmlText::element(const std::string& name, const std::string& text) {
    if (text.empty()) return "<" + name + "/>";
    return "<" + name + ">" + escape(text) + "</" + name + ">";
}

}  // namespace quorvela::sandbox
