#include "tools/replace_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ppk {

bool ReplaceFile(const std::string& fromPath, const std::string& toPath, std::string* message) {
  if (std::remove(toPath.c_str()) != 0 && errno != ENOENT) {
    *message = "Cannot replace " + toPath + ": " + std::strerror(errno);
    return false;
  }
  if (std::rename(fromPath.c_str(), toPath.c_str()) != 0) {
    *message = "Cannot rename " + fromPath + " to " + toPath + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace ppk
