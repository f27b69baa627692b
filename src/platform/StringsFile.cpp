#include "platform/StringsFile.h"

#include <cstdint>

namespace quorvela {

namespace {

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 with a byte-order mark to UTF-8; nothing for an odd length.
std::optional<std::string> utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](std::size_t i) -> std::uint32_t {
        auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        std::uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, u);
    }
    return out;
}

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::optional<StringsTable> parse() {
        StringsTable table;
        for (;;) {
            if (!skipBlanks()) return std::nullopt;
            if (i_ >= s_.size()) return table;
            auto key = token();
            if (!key || !skipBlanks() || i_ >= s_.size()) return std::nullopt;
            if (s_[i_] == ';') {
                ++i_;
                table.insert_or_assign(*key, *key);
                continue;
            }
            if (s_[i_] != '=') return std::nullopt;
            ++i_;
            if (!skipBlanks()) return std::nullopt;
            auto value = token();
            if (!value || !skipBlanks() || i_ >= s_.size() || s_[i_] != ';') return std::nullopt;
            ++i_;
            table.insert_or_assign(std::move(*key), std::move(*value));
        }
    }

private:
    // Skips white space and comments; false on an unterminated comment.
    bool skipBlanks() {
        while (i_ < s_.size()) {
            char c = s_[i_];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                ++i_;
            } else if (s_.compare(i_, 2, "/*") == 0) {
                auto end = s_.find("*/", i_ + 2);
                if (end == std::string_view::npos) return false;
                i_ = end + 2;
            } else if (s_.compare(i_, 2, "//") == 0) {
                auto end = s_.find('\n', i_);
                i_ = end == std::string_view::npos ? s_.size() : end + 1;
            } else {
                break;
            }
        }
        return true;
    }

    static bool wordChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
               c == '-' || c == ':' || c == '/' || c == '$';
    }

    std::optional<std::string> token() {
        if (i_ >= s_.size()) return std::nullopt;
        if (s_[i_] == '"') return quoted();
        std::size_t start = i_;
        while (i_ < s_.size() && wordChar(s_[i_])) ++i_;
        if (i_ == start) return std::nullopt;
        return std::string(s_.substr(start, i_ - start));
    }

    std::optional<std::uint32_t> hex4() {
        if (i_ + 4 > s_.size()) return std::nullopt;
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            char c = s_[i_++];
            v <<= 4;
            if (c >= '0' && c <= '9') v |= c - '0';
            else if (c >= 'a' && c <= 'f') v |= c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') v |= c - 'A' + 10;
            else return std::nullopt;
        }
        return v;
    }

    std::optional<std::string> quoted() {
        ++i_;  // opening quote
        std::string out;
        while (i_ < s_.size()) {
            char c = s_[i_++];
            if (c == '"') return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i_ >= s_.size()) return std::nullopt;
            char e = s_[i_++];
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '0': out += '\0'; break;
            case 'U':
            case 'u': {
                auto u = hex4();
                if (!u) return std::nullopt;
                std::uint32_t cp = *u;
                if (cp >= 0xD800 && cp <= 0xDBFF && s_.compare(i_, 2, "\\U") == 0) {
                    std::size_t save = i_;
                    i_ += 2;
                    auto low = hex4();
                    if (low && *low >= 0xDC00 && *low <= 0xDFFF) cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                    else i_ = save;
                }
                appendUtf8(out, cp);
                break;
            }
            default: out += e; break;  // \" \\ and any other escaped character stand for themselves
            }
        }
        return std::nullopt;  // unterminated
    }

    std::string_view s_;
    std::size_t i_ = 0;
};

}  // namespace

std::optional<StringsTable> parseStringsFile(std::string_view bytes) {
    std::string converted;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        auto text = utf16ToUtf8(bytes.substr(2), false);
        if (!text) return std::nullopt;
        converted = std::move(*text);
        bytes = converted;
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
               static_cast<unsigned char>(bytes[1]) == 0xFF) {
        auto text = utf16ToUtf8(bytes.substr(2), true);
        if (!text) return std::nullopt;
        converted = std::move(*text);
        bytes = converted;
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return Parser(bytes).parse();
}

}  // namespace quorvela
