// Decoding a component package exactly as the installer does: two file
// storages with 4096-byte buffers and the inflate decoder, length unlimited.
#pragma once

#include <cstdint>
#include <string>

#include "storage/status_record.h"

namespace ppk {

// The record's message, with the meaning of the error number it ends in
// spelt out ("errno = 28 (No space left on device)"); a message naming the
// code when the record has no text.
[[nodiscard]] std::string StatusMessage(const ALStatusRecord& status);

// Decodes `packagePath` into `modulePath` as the installer does (see
// decode/pending_file.h): the module is written beside `modulePath` into a
// new pending file, synced to disk and moved over `modulePath` only when the
// decoder reports success, so a failed run leaves no file under
// `modulePath` (an existing one is kept). Refuses when the package is the
// module or one is the other's pending file. Returns true on success;
// otherwise false with the failing status record's message in *message.
[[nodiscard]] bool UnpackPackage(const std::string& packagePath, const std::string& modulePath,
                                 std::string* message);

struct VerifyResult {
  std::uint64_t size = 0;   // decoded bytes
  std::uint32_t crc32 = 0;  // standard CRC-32 of the decoded bytes
};

// Decodes `packagePath` through the installer's path into an output storage
// that keeps nothing, and reports the decoded size and the CRC-32 taken from
// that storage's running register. Returns true on success; otherwise false
// with the status record's message in *message.
[[nodiscard]] bool VerifyPackage(const std::string& packagePath, VerifyResult* result,
                                 std::string* message);

}  // namespace ppk
