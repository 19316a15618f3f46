#include "app/install/install_names.h"

#include <cstring>
#include <initializer_list>

bool IsDeviceName(const char* name) {
  const std::size_t length = std::strlen(name);
  if (length < 3 || length > 4) return false;
  char upper[5] = {};
  for (std::size_t i = 0; i < length; ++i) {
    upper[i] = (name[i] >= 'a' && name[i] <= 'z') ? static_cast<char>(name[i] - 'a' + 'A') : name[i];
  }
  if (length == 4) {
    return (std::strncmp(upper, "COM", 3) == 0 || std::strncmp(upper, "LPT", 3) == 0) && upper[3] >= '1' &&
           upper[3] <= '9';
  }
  for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
    if (std::strcmp(upper, device) == 0) return true;
  }
  return false;
}

bool IsAbsoluteFolder(const char* folder) {
  const bool letter = (folder[0] >= 'A' && folder[0] <= 'Z') || (folder[0] >= 'a' && folder[0] <= 'z');
  const bool drive = letter && folder[1] == ':' && folder[2] == '\\';
  const bool share = folder[0] == '\\' && folder[1] == '\\' && folder[2] != '\0' && folder[2] != '\\';
  return drive || share;
}
