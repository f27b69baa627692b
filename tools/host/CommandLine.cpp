#include "CommandLine.h"

#include <charconv>

namespace quorvela::host {

namespace {

bool isSeparator(char c) { return c == ' ' || c == '\t'; }

// The end of the JSON value that starts at `begin`: after the closing quote
// of a string, or after the bracket that closes the outermost object or
// array (brackets inside strings do not count). The value itself is checked
// by the JSON parser afterwards.
std::size_t jsonValueEnd(const std::string& line, std::size_t begin) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = begin; i < line.size(); ++i) {
        char c = line[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
                if (depth == 0) return i + 1;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0) return i + 1;
        }
    }
    throw CommandError{"unterminated JSON argument: " + line.substr(begin)};
}

}  // namespace

std::optional<std::string> Argument::optionalText() const {
    if (!isJson) return word;
    if (json.is_null()) return std::nullopt;
    if (json.is_string()) return json.get<std::string>();
    throw CommandError{"expected text, got " + json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
}

std::string Argument::text() const {
    auto value = optionalText();
    if (!value) throw CommandError{"expected text, got null"};
    return *value;
}

std::optional<CommandLine> CommandLine::parse(const std::string& rawLine) {
    std::string line = rawLine;
    if (!line.empty() && line.back() == '\r') line.pop_back();

    std::size_t i = 0;
    while (i < line.size() && isSeparator(line[i])) ++i;
    if (i == line.size() || line[i] == '#') return std::nullopt;

    CommandLine result;
    bool first = true;
    while (i < line.size()) {
        Argument argument;
        char c = line[i];
        std::size_t end;
        if (!first && (c == '"' || c == '{' || c == '[')) {
            end = jsonValueEnd(line, i);
            argument.isJson = true;
            argument.json = nlohmann::json::parse(line.substr(i, end - i), nullptr, false);
            if (argument.json.is_discarded()) throw CommandError{"malformed JSON argument: " + line.substr(i, end - i)};
            if (end < line.size() && !isSeparator(line[end]))
                throw CommandError{"text after a JSON argument: " + line.substr(i)};
        } else {
            end = i;
            while (end < line.size() && !isSeparator(line[end])) ++end;
            argument.word = line.substr(i, end - i);
            if (!first && argument.word == "null") {
                argument.isJson = true;
                argument.json = nullptr;
            }
        }
        if (first) {
            result.command = argument.word;
            first = false;
        } else {
            result.arguments.push_back(std::move(argument));
        }
        i = end;
        while (i < line.size() && isSeparator(line[i])) ++i;
    }
    return result;
}

std::int64_t parseInteger(const std::string& text, std::int64_t min, std::int64_t max, const std::string& what) {
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        throw CommandError{"bad " + what + ": " + text};
    return value;
}

}  // namespace quorvela::host
