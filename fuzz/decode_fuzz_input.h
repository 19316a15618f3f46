#pragma once

#include <cstddef>
#include <cstdint>

// How the decode fuzzer reads one input: a header of three bytes chooses the
// run's shape, the rest is the package.
//   byte 0, bits 0-1: input buffer size, bits 2-3: output buffer size
//           bit 4: the length limit of bytes 1-2 applies (else -1)
//           bit 5: the output is open on entry with one byte pending
//   bytes 1-2: length limit, little-endian
namespace decode_fuzz {

constexpr std::size_t kHeaderSize = 3;
constexpr std::int32_t kInputBufferSizes[4] = {4096, 1, 13, 512};
constexpr std::int32_t kOutputBufferSizes[4] = {4096, 1, 7, 1000};
constexpr std::uint8_t kUseLimit = 1u << 4;
constexpr std::uint8_t kPendingOutput = 1u << 5;

}  // namespace decode_fuzz
