// One libFuzzer target per check; QUORVELA_FUZZ_CHECK names the check.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto check = quorvela::fuzz::checks().at(QUORVELA_FUZZ_CHECK);
    check(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
