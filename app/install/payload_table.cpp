#include "app/install/payload_table.h"

#include <cstring>

namespace {

constexpr int kMaxSizeDigits = 10;
constexpr int kMaxCrcDigits = 8;

int DigitValue(char c, int base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A line of the table, [at, end).
struct Line {
  const char* at;
  const char* end;

  bool SkipSpaces() {
    const char* start = at;
    while (at != end && *at == ' ') ++at;
    return at != start;
  }
  // A number of 1 to `maxDigits` digits in `base` that fits 32 bits.
  bool Number(int base, int maxDigits, std::uint32_t* value) {
    std::uint64_t number = 0;
    int digits = 0;
    for (; at != end && DigitValue(*at, base) >= 0; ++at, ++digits) {
      if (digits == maxDigits) return false;
      number = number * static_cast<unsigned>(base) + static_cast<unsigned>(DigitValue(*at, base));
    }
    if (digits == 0 || number > UINT32_MAX) return false;
    *value = static_cast<std::uint32_t>(number);
    return true;
  }
};

}  // namespace

bool FindPayload(const char* table, std::size_t length, const char* baseName, std::uint32_t* size,
                 std::uint32_t* crc) {
  const std::size_t nameLength = std::strlen(baseName);
  const char* const tableEnd = table + length;
  for (const char* at = table; at < tableEnd;) {
    const char* newline = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(tableEnd - at)));
    Line line{at, newline != nullptr ? newline : tableEnd};
    at = line.end + 1;
    if (static_cast<std::size_t>(line.end - line.at) <= nameLength ||
        std::memcmp(line.at, baseName, nameLength) != 0 || line.at[nameLength] != ' ') {
      continue;
    }
    line.at += nameLength;
    std::uint32_t lineSize = 0;
    std::uint32_t lineCrc = 0;
    if (!line.SkipSpaces() || !line.Number(10, kMaxSizeDigits, &lineSize) || !line.SkipSpaces() ||
        !line.Number(16, kMaxCrcDigits, &lineCrc)) {
      return false;
    }
    line.SkipSpaces();
    if (line.at != line.end) return false;
    *size = lineSize;
    *crc = lineCrc;
    return true;
  }
  return false;
}
