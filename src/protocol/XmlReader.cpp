#include "protocol/XmlReader.h"

#include <expat.h>

#include <algorithm>
#include <exception>
#include <memory>

namespace quorvela {

namespace {

// Large replies are fed in pieces because the parser takes an int length.
constexpr std::size_t kChunkBytes = 1u << 20;

XML_Parser asParser(void* p) { return static_cast<XML_Parser>(p); }

Value::Dictionary position(XML_Parser parser) {
    if (parser == nullptr) return {};
    return Value::Dictionary{
        {"line", Value(static_cast<long long>(XML_GetCurrentLineNumber(parser)))},
        {"column", Value(static_cast<long long>(XML_GetCurrentColumnNumber(parser)))},
    };
}

}  // namespace

// Trampolines from the C parser to the delegate. An exception must not cross
// the parser's C frames: it stops the parse and becomes its error instead.
struct XmlReader::Callbacks {
    static void stop(XmlReader& reader, long code, const std::string& description) {
        if (!reader.error_) {
            reader.error_ = RequestError{description, position(asParser(reader.parser_)), code};
        }
        reader.stopped_ = true;
        if (reader.parser_ != nullptr) XML_StopParser(asParser(reader.parser_), XML_FALSE);
    }

    template <class Action>
    static void guarded(void* data, Action&& action) {
        auto& reader = *static_cast<XmlReader*>(data);
        if (reader.stopped_) return;  // the parser may flush a few events after a stop
        try {
            action(reader.delegate_);
        } catch (const std::exception& e) {
            stop(reader, kDelegateFailed, std::string("The reply could not be handled: ") + e.what());
        } catch (...) {
            stop(reader, kDelegateFailed, "The reply could not be handled");
        }
    }

    static void startElement(void* data, const XML_Char* name, const XML_Char** attributes) {
        guarded(data, [&](XmlReaderDelegate& delegate) {
            auto& reader = *static_cast<XmlReader*>(data);
            if (reader.tokens_ != nullptr) return reader.tokens_->startTag(name, attributes);
            XmlReaderDelegate::Attributes map;
            for (const XML_Char** a = attributes; a && a[0] && a[1]; a += 2) map.emplace(a[0], a[1]);
            delegate.didStartElement(name, map);
        });
    }

    static void endElement(void* data, const XML_Char* name) {
        guarded(data, [&](XmlReaderDelegate& delegate) {
            auto& reader = *static_cast<XmlReader*>(data);
            if (reader.tokens_ != nullptr) return reader.tokens_->endTag(name);
            delegate.didEndElement(name);
        });
    }

    static void characters(void* data, const XML_Char* text, int length) {
        guarded(data, [&](XmlReaderDelegate& delegate) {
            auto& reader = *static_cast<XmlReader*>(data);
            const std::string_view piece(text, static_cast<std::size_t>(length));
            if (reader.tokens_ != nullptr) return reader.tokens_->text(piece);
            delegate.foundCharacters(std::string(piece));
        });
    }

    // Replies never declare entities; refusing every declaration shuts out
    // expansion bombs and external entities before they can be used.
    static void entityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                  const XML_Char*, const XML_Char*, const XML_Char*) {
        auto& reader = *static_cast<XmlReader*>(data);
        if (reader.stopped_) return;
        stop(reader, kEntityDeclarationRefused, "Entity declarations are not allowed");
    }
};

XmlReader::XmlReader(XmlReaderDelegate& delegate) : delegate_(delegate) {}

XmlReader::XmlReader(XmlReaderDelegate& delegate, Tokens& tokens) : delegate_(delegate), tokens_(&tokens) {}

void XmlReader::abortParsing() {
    if (parser_ == nullptr || stopped_) return;
    Callbacks::stop(*this, kAborted, "Parsing was aborted");
}

bool XmlReader::parse(std::string_view bytes) {
    if (used_) {
        error_ = RequestError{"The reader has already read a document", {}, kAborted};
        return false;
    }
    used_ = true;

    // The reply is UTF-8 whatever its declaration says.
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate("UTF-8"), &XML_ParserFree);
    if (!parser) {
        error_ = RequestError{XML_ErrorString(XML_ERROR_NO_MEMORY), {}, XML_ERROR_NO_MEMORY};
        Callbacks::guarded(this, [&](XmlReaderDelegate& delegate) { delegate.parseErrorOccurred(*error_); });
        return false;
    }
    XML_Parser p = parser.get();
    parser_ = p;
    XML_SetUserData(p, this);
    XML_SetElementHandler(p, &Callbacks::startElement, &Callbacks::endElement);
    XML_SetCharacterDataHandler(p, &Callbacks::characters);
    XML_SetEntityDeclHandler(p, &Callbacks::entityDeclaration);
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);

    Callbacks::guarded(this, [](XmlReaderDelegate& delegate) { delegate.didStartDocument(); });

    bool wellFormed = !stopped_;
    std::size_t offset = 0;
    while (wellFormed) {
        const std::size_t length = std::min(kChunkBytes, bytes.size() - offset);
        const bool last = offset + length == bytes.size();
        if (XML_Parse(p, bytes.data() + offset, static_cast<int>(length), last ? XML_TRUE : XML_FALSE) !=
            XML_STATUS_OK) {
            wellFormed = false;
        }
        offset += length;
        if (last) break;
    }

    if (wellFormed && !stopped_) {
        Callbacks::guarded(this, [](XmlReaderDelegate& delegate) { delegate.didEndDocument(); });
        parser_ = nullptr;
        return !error_;
    }

    if (!error_) {
        const XML_Error code = XML_GetErrorCode(p);
        error_ = RequestError{XML_ErrorString(code), position(p), static_cast<long>(code)};
    }
    stopped_ = false;  // let the error through the guard
    Callbacks::guarded(this, [&](XmlReaderDelegate& delegate) { delegate.parseErrorOccurred(*error_); });
    stopped_ = true;
    parser_ = nullptr;
    return false;
}

}  // namespace quorvela
