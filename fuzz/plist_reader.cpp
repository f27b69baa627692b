// Feeds arbitrary bytes to the property-list readers (binary and XML) and to
// the translation-table reader. A value that is read must also survive being
// written again and read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/StringsFile.h"
#include "platform/ValueConversions.h"

#include <nlohmann/json.hpp>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    if (auto value = quorvela::valueFromPlistBytes(bytes)) {
        (void)value->describe();
        // Writing what was read and reading it back must give a value again.
        if (auto binary = quorvela::binaryPlistFromValue(*value)) {
            if (!quorvela::valueFromBinaryPlist(*binary)) std::abort();
        }
        (void)quorvela::toJson(*value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }
    (void)quorvela::valueFromXmlPlist(bytes);
    (void)quorvela::parseStringsFile(bytes);
    return 0;
}
