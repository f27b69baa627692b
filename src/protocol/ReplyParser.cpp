#include "protocol/ReplyParser.h"

namespace quorvela {

bool ReplyParser::parse(std::string_view bytes) {
    currentStringValue_.reset();
    parseError_.reset();
    XmlReader reader(*this);
    reader_ = &reader;
    const bool wellFormed = reader.parse(bytes);
    reader_ = nullptr;
    parseError_ = reader.error();
    return wellFormed;
}

void ReplyParser::foundCharacters(const std::string& text) {
    if (!currentStringValue_) currentStringValue_.emplace();
    if (collectsCharacters()) currentStringValue_->append(text);
}

void ReplyParser::didEndElement(const std::string& name) {
    if (elementEnded(name) == AfterEnd::ClearBuffer) currentStringValue_.reset();
}

void ReplyParser::abortParsing() {
    if (reader_ != nullptr) reader_->abortParsing();
}

}  // namespace quorvela
