#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// CRC-32 of the reflected polynomial 0xEDB88320 on a raw register: start
// with 0xFFFFFFFF and invert the final register for the standard CRC-32.
//
// Every form below takes the register, runs `length` bytes of `data` through
// it and returns the new register; all give the same register for every
// input, so a run may be split anywhere and chained, and the forms may be
// mixed. `data` may be null only when `length` is 0.

// The carry-less-multiply form is compiled only for x86 and x86-64 with a
// compiler that can target single functions at the instructions it needs;
// elsewhere ADDON_CRC32_FOLDING is 0 and only the table forms exist.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define ADDON_CRC32_FOLDING 1
#else
#define ADDON_CRC32_FOLDING 0
#endif

// The one-lookup-per-byte table; entry 1 is 0x77073096, entry 255 0x2D02EF8D.
extern const std::array<std::uint32_t, 256> kCrc32Table;

// One table lookup per byte: the reference the other forms must match.
[[nodiscard]] std::uint32_t UpdateCrc32Bytewise(std::uint32_t crc, const unsigned char* data,
                                                std::size_t length);

// Sixteen bytes per step through sixteen tables (slicing-by-16); runs on
// every processor.
[[nodiscard]] std::uint32_t UpdateCrc32Slicing16(std::uint32_t crc, const unsigned char* data,
                                                 std::size_t length);

// True when this processor has the carry-less multiply (PCLMULQDQ) and SSE2,
// which UpdateCrc32Folding needs. Always false where ADDON_CRC32_FOLDING is 0.
[[nodiscard]] bool Crc32FoldingAvailable();

#if ADDON_CRC32_FOLDING
// Folds 64 bytes per step in four independent 128-bit lanes with carry-less
// multiplies, then reduces to the register. Call only when
// Crc32FoldingAvailable() is true: elsewhere it faults on an illegal
// instruction. Lengths below 16 go through the table.
[[nodiscard]] std::uint32_t UpdateCrc32Folding(std::uint32_t crc, const unsigned char* data,
                                               std::size_t length);
#endif

// The form UpdateCrc32 uses on this processor, chosen once on first use.
enum class Crc32Form { Slicing16, Folding };
[[nodiscard]] Crc32Form Crc32DispatchForm();

// The fastest form this processor can run (see Crc32DispatchForm). The
// storages call this one.
[[nodiscard]] std::uint32_t UpdateCrc32(std::uint32_t crc, const unsigned char* data,
                                        std::size_t length);
