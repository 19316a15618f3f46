#include "tools/replace_file.h"

#include <cstring>

#include "platform/file_system.h"

namespace ppk {

bool ReplaceFile(const std::string& fromPath, const std::string& toPath, std::string* message) {
  const int error = platform::RenameReplacing(fromPath.c_str(), toPath.c_str());
  if (error != 0) {
    *message = "Cannot rename " + fromPath + " to " + toPath + ": " + std::strerror(error);
    return false;
  }
  return true;
}

}  // namespace ppk
