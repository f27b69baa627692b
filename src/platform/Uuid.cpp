#include "platform/Uuid.h"

#include <array>
#include <cstdint>
#include <random>

#include <fmt/format.h>
#include <openssl/rand.h>

namespace quorvela {

std::string randomUuidString() {
    std::array<std::uint8_t, 16> b{};
    if (RAND_bytes(b.data(), static_cast<int>(b.size())) != 1) {
        // OpenSSL could not seed itself; the kernel's source is the next best.
        std::random_device device;
        for (auto& byte : b) byte = static_cast<std::uint8_t>(device());
    }
    b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);  // version 4
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);  // RFC 4122 variant
    return fmt::format(
        "{:02X}{:02X}{:02X}{:02X}-{:02X}{:02X}-{:02X}{:02X}-{:02X}{:02X}-"
        "{:02X}{:02X}{:02X}{:02X}{:02X}{:02X}",
        b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
}

}  // namespace quorvela
