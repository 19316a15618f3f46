#include "app/dialogs/chooser_walk.h"

#include <cwchar>

bool CopyWhole(wchar_t* target, int targetSize, const wchar_t* source) {
  const size_t length = std::wcslen(source);
  if (length >= static_cast<size_t>(targetSize)) return false;
  std::wmemmove(target, source, length + 1);
  return true;
}

namespace {

// The shortest list entry, a one-letter folder "[x]", and a drive "[-x-]".
constexpr size_t kShortestEntry = 3;
constexpr size_t kDriveEntryLength = 5;
// A drive's path form "x:" with its terminator.
constexpr int kDrivePathSize = 3;

bool IsDriveEntry(const wchar_t* converted) {
  return std::wcslen(converted) == 2 && converted[1] == L':';
}

// [..] comes back as "..\"; a folder whose name merely begins with a full
// stop (".cache\") is a sub-folder like any other.
bool IsParentEntry(const wchar_t* converted) {
  return std::wcscmp(converted, L"..\\") == 0 || std::wcscmp(converted, L"..") == 0;
}

bool IsDriveRoot(const wchar_t* folder) {
  return std::wcslen(folder) == 3 && folder[1] == L':' && folder[2] == L'\\';
}

}  // namespace

bool ChooserEntryPath(const wchar_t* entry, wchar_t* out, int outSize) {
  if (out == nullptr || outSize <= 0) return false;
  out[0] = L'\0';
  if (entry == nullptr) return false;
  const size_t length = std::wcslen(entry);
  if (length < kShortestEntry || entry[0] != L'[' || entry[length - 1] != L']') return false;
  // A drive is a letter between two hyphens; "[-x]" is a folder named "-x".
  if (length == kDriveEntryLength && entry[1] == L'-' && entry[3] == L'-') {
    if (outSize < kDrivePathSize) return false;
    out[0] = entry[2];
    out[1] = L':';
    out[2] = L'\0';
    return true;
  }
  // The name between the two brackets, then a backslash and the terminator.
  const size_t nameLength = length - 2;
  if (nameLength + 2 > static_cast<size_t>(outSize)) return false;
  std::wmemcpy(out, entry + 1, nameLength);
  out[nameLength] = L'\\';
  out[nameLength + 1] = L'\0';
  return true;
}

bool NextChooserFolder(const wchar_t* current, const wchar_t* converted, wchar_t* out, int outSize) {
  if (out == nullptr || outSize <= 0) return false;
  out[0] = L'\0';
  if (current == nullptr || converted == nullptr) return false;

  wchar_t next[kChooserFolderSize] = {};
  if (IsDriveEntry(converted)) {
    std::wmemcpy(next, converted, 2);
    next[2] = L'\\';
  } else if (IsParentEntry(converted)) {
    if (!CopyWhole(next, kChooserFolderSize, current)) return false;
    size_t length = std::wcslen(next);
    if (length > 0 && next[length - 1] == L'\\' && !IsDriveRoot(next)) next[--length] = L'\0';
    wchar_t* last = std::wcsrchr(next, L'\\');
    if (last != nullptr) {
      if (std::wcschr(next, L'\\') != last) {
        *last = L'\0';  // C:\Daten\Pakete -> C:\Daten
      } else {
        last[1] = L'\0';  // C:\Daten -> C:\ (a root keeps its backslash)
      }
    }
  } else {
    const size_t currentLength = std::wcslen(current);
    const bool needsBackslash = currentLength > 0 && current[currentLength - 1] != L'\\';
    const size_t total = currentLength + (needsBackslash ? 1 : 0) + std::wcslen(converted);
    if (total >= static_cast<size_t>(kChooserFolderSize)) return false;
    std::wcscpy(next, current);
    if (needsBackslash) std::wcscat(next, L"\\");
    std::wcscat(next, converted);
  }
  return CopyWhole(out, outSize, next);
}
