#include "app/dialogs/chooser_walk.h"

#include <cstring>

namespace {

// Copies `source` into `target` (`targetSize` bytes) only if it fits whole.
bool CopyWhole(char* target, int targetSize, const char* source) {
  const size_t length = std::strlen(source);
  if (length >= static_cast<size_t>(targetSize)) return false;
  std::memmove(target, source, length + 1);
  return true;
}

bool IsDriveEntry(const char* converted) {
  return std::strlen(converted) == 2 && converted[1] == ':';
}

// [..] comes back as "..\"; a folder whose name merely begins with a full
// stop (".cache\") is a sub-folder like any other.
bool IsParentEntry(const char* converted) {
  return std::strcmp(converted, "..\\") == 0 || std::strcmp(converted, "..") == 0;
}

bool IsDriveRoot(const char* folder) {
  return std::strlen(folder) == 3 && folder[1] == ':' && folder[2] == '\\';
}

}  // namespace

int ChooserEntryPath(const char* entry, char* out, int outSize) {
  if (out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  if (entry == nullptr) return 0;
  const size_t length = std::strlen(entry);
  if (length < 3 || entry[0] != '[' || entry[length - 1] != ']') return 0;
  // A drive is a letter between two hyphens; "[-x]" is a folder named "-x".
  if (length == 5 && entry[1] == '-' && entry[3] == '-') {
    if (outSize < 3) return 0;
    out[0] = entry[2];
    out[1] = ':';
    out[2] = '\0';
    return 1;
  }
  // The name between the brackets, then a backslash.
  const size_t nameLength = length - 2;
  if (nameLength + 2 > static_cast<size_t>(outSize)) return 0;
  std::memcpy(out, entry + 1, nameLength);
  out[nameLength] = '\\';
  out[nameLength + 1] = '\0';
  return 1;
}

int NextChooserFolder(const char* current, const char* converted, char* out, int outSize) {
  if (out == nullptr || outSize <= 0) return 0;
  out[0] = '\0';
  if (current == nullptr || converted == nullptr) return 0;

  char next[kChooserFolderSize] = {};
  if (IsDriveEntry(converted)) {
    std::memcpy(next, converted, 2);
    next[2] = '\\';
  } else if (IsParentEntry(converted)) {
    if (!CopyWhole(next, sizeof next, current)) return 0;
    size_t length = std::strlen(next);
    if (length > 0 && next[length - 1] == '\\' && !IsDriveRoot(next)) next[--length] = '\0';
    char* last = std::strrchr(next, '\\');
    if (last != nullptr) {
      if (std::strchr(next, '\\') != last) {
        *last = '\0';  // C:\Daten\Pakete -> C:\Daten
      } else {
        last[1] = '\0';  // C:\Daten -> C:\ (a root keeps its backslash)
      }
    }
  } else {
    const size_t currentLength = std::strlen(current);
    const bool needsBackslash = currentLength > 0 && current[currentLength - 1] != '\\';
    const size_t total = currentLength + (needsBackslash ? 1 : 0) + std::strlen(converted);
    if (total >= sizeof next) return 0;
    std::strcpy(next, current);
    if (needsBackslash) std::strcat(next, "\\");
    std::strcat(next, converted);
  }
  return CopyWhole(out, outSize, next) ? 1 : 0;
}
