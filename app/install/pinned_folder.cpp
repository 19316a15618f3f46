#include "app/install/pinned_folder.h"

#include <cwchar>

namespace {

// Room for a folder's path in UTF-16, in its long and its final form.
constexpr DWORD kWidePathSize = 1024;

// Drops "\\?\" from a final path, and turns "\\?\UNC\server\..." into
// "\\server\...": the forms a path is written in.
wchar_t* Plain(wchar_t* path) {
  if (std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) {
    path[6] = L'\\';
    return path + 6;
  }
  return std::wcsncmp(path, L"\\\\?\\", 4) == 0 ? path + 4 : path;
}

// Drops the backslashes after the last name ("C:\V\" is "C:\V"; "C:\"
// stays).
void TrimSeparators(wchar_t* path) {
  size_t length = std::wcslen(path);
  while (length > 3 && path[length - 1] == L'\\') path[--length] = L'\0';
}

}  // namespace

PinnedFolder::PinnedFolder(const char* folder) {
  // Shared for reading and writing, not for deletion: nobody may rename or
  // remove it while the run lasts.
  handle = CreateFileA(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    state = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? State::Missing : State::Unusable;
    return;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    state = State::Missing;
    return;
  }
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    state = State::Redirected;
    return;
  }
  // A link of the host system under an emulator shows as a plain folder;
  // and a link on the way to it (a parent folder) shows nowhere but here.
  wchar_t asked[kWidePathSize] = {};
  wchar_t full[kWidePathSize] = {};
  wchar_t named[kWidePathSize] = {};
  wchar_t opened[kWidePathSize] = {};
  if (MultiByteToWideChar(CP_ACP, 0, folder, -1, asked, kWidePathSize) <= 0) return;
  const DWORD fullLength = GetFullPathNameW(asked, kWidePathSize, full, nullptr);
  if (fullLength == 0 || fullLength >= kWidePathSize) return;
  const DWORD namedLength = GetLongPathNameW(full, named, kWidePathSize);
  const DWORD openedLength =
      GetFinalPathNameByHandleW(handle, opened, kWidePathSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (namedLength == 0 || namedLength >= kWidePathSize || openedLength == 0 || openedLength >= kWidePathSize) return;
  wchar_t* finalPath = Plain(opened);
  TrimSeparators(named);
  TrimSeparators(finalPath);
  state = CompareStringOrdinal(named, -1, finalPath, -1, TRUE) == CSTR_EQUAL ? State::Pinned : State::Redirected;
}

PinnedFolder::~PinnedFolder() {
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}
