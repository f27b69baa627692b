#pragma once
// One input line of quorvela-host: a command word and its arguments.
//
// Arguments are separated by spaces. One that starts with '"', '{' or '[', or
// is the word null, is a single JSON value (it may contain spaces); any other
// argument is a plain word taken as text.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quorvela::host {

/// JSON arguments nested deeper than this are refused: the library stops at
/// the same depth, and the tool must not overflow its stack printing them.
inline constexpr int kMaxJsonNesting = 512;

struct Argument {
    bool isJson = false;
    std::string word;     ///< a plain word
    nlohmann::json json;  ///< a JSON value (null for the word null)

    /// Text for a text parameter: a plain word, or a JSON string; nothing for
    /// JSON null. Throws CommandError for any other JSON value.
    std::optional<std::string> optionalText() const;
    /// Like optionalText, but null is refused too.
    std::string text() const;
};

struct CommandLine {
    std::string command;
    std::vector<Argument> arguments;

    /// The command of a line; nothing for a blank line or a comment ("#...").
    /// Throws CommandError when a JSON argument is malformed or nested deeper
    /// than kMaxJsonNesting.
    static std::optional<CommandLine> parse(const std::string& line);
};

/// A command that cannot be run; its text follows "error " on the output.
struct CommandError {
    std::string text;
};

/// Reads a decimal integer in [min, max]; throws CommandError with `what`.
std::int64_t parseInteger(const std::string& text, std::int64_t min, std::int64_t max, const std::string& what);

}  // namespace quorvela::host
