#pragma once

#include <cstddef>
#include <cstdint>

// The payload table an installer carries (RCDATA 402, made by the build):
// one line "<base> <size> <crc>" per component whose module the build made,
// the size in decimal and the CRC-32 in hexadecimal, lines separated by
// "\n". Portable, so that the parsing is tested everywhere.
//
// Finds the line of `table` (`length` bytes, no terminator needed) whose
// name is exactly `baseName`, the first such one. True with both figures
// stored when that line holds them whole: the name, then runs of spaces
// around a size of at most 10 decimal digits that fits 32 bits and a CRC of
// 1 to 8 hexadecimal digits, then the end of the line. False, storing
// nothing, when there is no such line or it is not whole (a figure missing,
// signed, too long, or followed by anything else): that component is then
// installed unchecked, and the next line is never read as part of it.
[[nodiscard]] bool FindPayload(const char* table, std::size_t length, const char* baseName, std::uint32_t* size,
                               std::uint32_t* crc);
