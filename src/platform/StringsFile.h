#pragma once
// Reader of the classic translation table format ("Localizable.strings"):
//
//   /* comment */  // comment
//   "key" = "value";
//   key = value;          (unquoted words of letters, digits and _ . - : / $)
//   "key";                (the key is its own value)
//
// Escapes in quoted text: \" \\ \n \t \r \0 and \Uxxxx (a UTF-16 unit; pairs
// are joined). The file may be UTF-8 (with or without BOM) or UTF-16 with a
// BOM. Malformed input yields nothing, never a partial table.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quorvela {

using StringsTable = std::map<std::string, std::string>;

std::optional<StringsTable> parseStringsFile(std::string_view bytes);

}  // namespace quorvela
