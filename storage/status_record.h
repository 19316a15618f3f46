#pragma once

#include <cstdint>
#include <memory>

// Status codes of the storage layer. 0 is success; every failure is negative.
// The value -1 is the end-of-data result of LoadBuffer and ReadChar and is
// never stored in a status record.
constexpr std::int32_t StatusOk = 0;
constexpr std::int32_t StatusOutOfMemory = -1200;
constexpr std::int32_t StatusDeleteFailed = -1991;
constexpr std::int32_t StatusWriteFailed = -1992;
constexpr std::int32_t StatusReadFailed = -1993;
constexpr std::int32_t StatusSeekFailed = -1994;
constexpr std::int32_t StatusOpenFailed = -1995;
constexpr std::int32_t StatusRenameFailed = -1996;

// Code plus optional English message of one storage or decoder. Operations
// report a failure by SetError and return its result, so the first error of
// an object normally survives: the owners refuse to act once `code` is
// negative. Owns its text; not copyable (use CopyFrom).
class ALStatusRecord {
 public:
  // Size of the message buffer including its terminating NUL: at most 128
  // characters of a message are kept.
  static constexpr std::int32_t kCapacity = 129;

  // Starts at StatusOk with no text.
  ALStatusRecord();
  ~ALStatusRecord();
  ALStatusRecord(const ALStatusRecord&) = delete;
  ALStatusRecord& operator=(const ALStatusRecord&) = delete;

  // Stores `newCode` and returns it unchanged, so an operation can return
  // SetError(...) as its own result. Without a format the text is freed:
  // SetError(StatusOk, nullptr) clears the record. With a format the message
  // is formatted printf-style into the text buffer (made on first use and
  // reused afterwards), cut to its first 128 characters; arguments of any
  // length are safe. If the buffer cannot be allocated only the code is set.
  int SetError(std::int32_t newCode, const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 3, 4)))
#endif
      ;

  // Takes over `other`'s code and a copy of its text (no text if `other` has
  // none; the text is lost if no buffer can be allocated). Returns *this.
  ALStatusRecord& CopyFrom(const ALStatusRecord& other);

  // The message, or nullptr when there is none. Valid until the next
  // SetError/CopyFrom or the record's destruction.
  [[nodiscard]] const char* Text() const;

  // 0 (StatusOk) or a negative status code; read directly by owners.
  std::int32_t code;
  // Always kCapacity.
  std::int32_t capacity;
  // The message buffer of `capacity` bytes, or none.
  std::unique_ptr<char[]> text;
};
