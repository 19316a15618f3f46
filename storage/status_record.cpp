#include "storage/status_record.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

ALStatusRecord::ALStatusRecord() : code(StatusOk), capacity(kCapacity) {}

ALStatusRecord::~ALStatusRecord() = default;

int ALStatusRecord::SetError(std::int32_t newCode, const char* format, ...) {
  code = newCode;
  if (format == nullptr) {
    text.reset();
    return newCode;
  }
  if (!text) {
    text.reset(new (std::nothrow) char[capacity]);
    if (!text) return newCode;  // the message is lost, the code stands
  }
  // Formatting straight into the bounded buffer cuts long messages (two full
  // paths in a rename message) to their first capacity - 1 characters.
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(text.get(), static_cast<std::size_t>(capacity), format, args);
  va_end(args);
  if (written < 0) text[0] = '\0';
  text[capacity - 1] = '\0';
  return newCode;
}

ALStatusRecord& ALStatusRecord::CopyFrom(const ALStatusRecord& other) {
  if (&other == this) return *this;
  if (other.text) {
    if (!text) text.reset(new (std::nothrow) char[capacity]);
    if (text) {
      const std::size_t length = std::strlen(other.text.get());
      const std::size_t kept = length < static_cast<std::size_t>(capacity - 1)
                                   ? length
                                   : static_cast<std::size_t>(capacity - 1);
      std::memcpy(text.get(), other.text.get(), kept);
      text[kept] = '\0';
    }
  } else {
    text.reset();
  }
  code = other.code;
  return *this;
}

const char* ALStatusRecord::Text() const { return text.get(); }
