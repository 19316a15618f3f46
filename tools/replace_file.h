// Moving a finished file over its final name.
#pragma once

#include <string>

namespace ppk {

// Renames `fromPath` to `toPath`, replacing an existing `toPath` in one step:
// a failed replacement keeps the old `toPath`. Returns true on success;
// otherwise false with a message in *message, and `fromPath` is left in
// place for the caller to remove.
[[nodiscard]] bool ReplaceFile(const std::string& fromPath, const std::string& toPath,
                               std::string* message);

}  // namespace ppk
