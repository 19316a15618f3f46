#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// CRC-32 of the reflected polynomial 0xEDB88320 on a raw register: start
// with 0xFFFFFFFF and invert the final register for the standard CRC-32.

// The one-lookup-per-byte table; entry 1 is 0x77073096, entry 255 0x2D02EF8D.
extern const std::array<std::uint32_t, 256> kCrc32Table;

// Runs `length` bytes of `data` through `crc` one table lookup per byte and
// returns the new register. The reference the fast form must match.
[[nodiscard]] std::uint32_t UpdateCrc32Bytewise(std::uint32_t crc, const unsigned char* data,
                                                std::size_t length);

// Same register as UpdateCrc32Bytewise for every input, sixteen bytes per step.
[[nodiscard]] std::uint32_t UpdateCrc32(std::uint32_t crc, const unsigned char* data,
                                        std::size_t length);
