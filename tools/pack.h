// Making a component package: the module compressed as one raw deflate
// stream (no zlib or gzip framing), the format the installer decodes.
#pragma once

#include <string>

namespace ppk {

// Compresses the file `modulePath` into `packagePath` with zlib's deflate at
// level 9 and a 32 KiB window, without header or trailer. The package is
// written under a temporary name beside `packagePath` and renamed at the end,
// so an existing package is replaced only by a complete one.
// Returns true on success. On failure returns false, stores a one-line
// English message in *message and leaves no file under either name. Refuses
// (false) when both names are the same file, keeping the module.
[[nodiscard]] bool PackModule(const std::string& modulePath, const std::string& packagePath,
                              std::string* message);

}  // namespace ppk
