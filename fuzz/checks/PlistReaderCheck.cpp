// The property-list readers (binary and XML) and the translation-table
// reader: a value that is read survives being written and read back.
#include <nlohmann/json.hpp>

#include "FuzzChecks.h"
#include "platform/StringsFile.h"
#include "platform/ValueConversions.h"

namespace quorvela::fuzz {

void plistReader(std::string_view bytes) {
    if (auto value = valueFromPlistBytes(bytes)) {
        (void)value->describe();
        const auto binary = binaryPlistFromValue(*value);
        expect(binary.has_value(), "a value that was read can be written");
        expect(valueFromBinaryPlist(*binary).has_value(), "a written value reads back");
        (void)toJson(*value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    (void)valueFromXmlPlist(bytes);
    (void)parseStringsFile(bytes);
}

}  // namespace quorvela::fuzz
