// Making a component package: the module compressed as one raw deflate
// stream (no zlib or gzip framing), the format the installer decodes.
#pragma once

#include <cstdint>
#include <string>

namespace ppk {

// What was packed: the module's size and its standard CRC-32, the figures
// that `ppk verify` finds again in a sound package.
struct PackResult {
  std::uint64_t size = 0;
  std::uint32_t crc32 = 0;
};

// Compresses the file `modulePath` into `packagePath` with zlib's deflate at
// level 9 and a 32 KiB window, without header or trailer, and reports the
// module's size and CRC-32 in *result. The package is written as the
// installer writes a module (see decode/pending_file.h): into a new pending
// file beside `packagePath`, synced to disk and moved over `packagePath` at
// the end, so an existing package is replaced only by a complete one.
// Returns true on success. On failure returns false, stores a one-line
// English message in *message and leaves no new file under either name.
// Refuses (false) when the module is the package or one is the other's
// pending file, keeping the module.
[[nodiscard]] bool PackModule(const std::string& modulePath, const std::string& packagePath,
                              PackResult* result, std::string* message);

}  // namespace ppk
