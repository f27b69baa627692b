#include "CommandLine.h"

#include <algorithm>
#include <charconv>

#include "EchoedInput.h"

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
    throw CommandError{"unterminated JSON argument: " + EchoedInput::of(std::string_view(line).substr(begin))};
}

// The parser itself does not recurse, but printing, copying and converting
// the tree do, once per level: a value nested deeper is refused here.
nlohmann::json parseJsonArgument(std::string_view text) {
    int deepest = 0;
    auto json = nlohmann::json::parse(
        text.begin(), text.end(),
        [&deepest](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
            using Event = nlohmann::json::parse_event_t;
            if (event != Event::object_start && event != Event::array_start) return true;
            deepest = std::max(deepest, depth + 1);  // the levels of containers, this one included
            return deepest <= kMaxJsonNesting;
        },
        false);
    if (deepest > kMaxJsonNesting)
        throw CommandError{"JSON argument nested deeper than " + std::to_string(kMaxJsonNesting) +
                           " levels: " + EchoedInput::of(text)};
    if (json.is_discarded()) throw CommandError{"malformed JSON argument: " + EchoedInput::of(text)};
    return json;
}

}  // namespace

std::optional<std::string> Argument::optionalText() const {
    if (!isJson) return word;
    if (json.is_null()) return std::nullopt;
    if (json.is_string()) return json.get<std::string>();
    throw CommandError{"expected text, got " +
                       EchoedInput::of(json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))};
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
            argument.json = parseJsonArgument(std::string_view(line).substr(i, end - i));
            if (end < line.size() && !isSeparator(line[end]))
                throw CommandError{"text after a JSON argument: " + EchoedInput::of(std::string_view(line).substr(i))};
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
        throw CommandError{"bad " + what + ": " + EchoedInput::of(text)};
    return value;
}

}  // namespace quorvela::host
