#include "protocol/ReplyParser.h"

namespace quorvela {

bool ReplyParser::parse(std::string_view bytes) {
    clearCurrentStringValue();
    parseError_.reset();
    XmlReader reader(*this, *this);
    reader_ = &reader;
    const bool wellFormed = reader.parse(bytes);
    reader_ = nullptr;
    parseError_ = reader.error();
    return wellFormed;
}

void ReplyParser::clearCurrentStringValue() {
    hasText_ = false;
    buffer_->clear();
}

void ReplyParser::text(std::string_view text) {
    hasText_ = true;
    if (collectsCharacters()) buffer_->append(text);
}

void ReplyParser::endTag(const char* name) {
    if (tagEnded(name) == AfterEnd::ClearBuffer) clearCurrentStringValue();
}

void ReplyParser::tagStarted(std::string_view name, const char** attributes) {
    Attributes map;
    for (const char** a = attributes; a && a[0] && a[1]; a += 2) map.emplace(a[0], a[1]);
    didStartElement(std::string(name), map);
}

void ReplyParser::foundCharacters(const std::string& text) { this->text(text); }

void ReplyParser::didEndElement(const std::string& name) {
    if (tagEnded(name) == AfterEnd::ClearBuffer) clearCurrentStringValue();
}

void ReplyParser::abortParsing() {
    if (reader_ != nullptr) reader_->abortParsing();
}

}  // namespace quorvela
