#include "tests/e2e/installer_session.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace e2e {

Bytes ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file.is_open()) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

void RemoveTree(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileA(path.c_str());
    return;
  }
  for (const std::string& entry : FolderEntries(path)) RemoveTree(path + "\\" + entry);
  RemoveDirectoryA(path.c_str());
}

void MakeFolder(const std::string& path) {
  if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    throw std::runtime_error("cannot make " + path);
  }
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;  // a missing folder has no entries
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> TempCopies() {
  char folder[MAX_PATH + 1] = {};
  GetTempPathA(sizeof folder, folder);
  std::vector<std::string> copies;
  for (const std::string& name : FolderEntries(folder)) {
    if (_strnicmp(name.c_str(), "xzx", 3) == 0) copies.push_back(name);
  }
  return copies;
}

// A zlib stream is raw deflate behind a 2-byte header, with a 4-byte trailer.
Bytes Deflate(const Bytes& data, int level) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  Bytes packed(size);
  if (compress2(packed.data(), &size, data.data(), static_cast<uLong>(data.size()), level) !=
      Z_OK) {
    throw std::runtime_error("compress2");
  }
  return Bytes(packed.begin() + 2, packed.begin() + (size - 4));
}

std::string TextStartingWith(HWND dialog, const std::string& start) {
  for (HWND child : gui::Children(dialog)) {
    const std::string text = gui::WindowText(child);
    if (!text.empty() && text.compare(0, start.size(), start) == 0) return text;
  }
  return "";
}

HWND FindDialog(DWORD processId, const std::string& caption, const char* text) {
  HWND found = gui::FindTopLevelWindow(caption, processId);
  if (found == nullptr || text == nullptr || ContainsText(found, text)) return found;
  return nullptr;
}

HWND WaitDialog(DWORD processId, const std::string& caption, const char* text,
                DWORD timeoutMs) {
  HWND found = nullptr;
  gui::WaitUntil([&] { return (found = FindDialog(processId, caption, text)) != nullptr; },
                 timeoutMs);
  return found;
}

bool IsCentred(HWND window) {
  RECT r;
  return GetWindowRect(window, &r) &&
         r.left == GetSystemMetrics(SM_CXSCREEN) / 2 - (r.right - r.left) / 2 &&
         r.top == GetSystemMetrics(SM_CYSCREEN) / 2 - (r.bottom - r.top) / 2;
}

HWND FocusOfThread(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

std::vector<std::string> ListEntries(HWND list) {
  // Asked in UTF-16: Wine hands the ANSI form of LB_GETTEXT to another
  // process unconverted.
  std::vector<std::string> entries;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    if (length < 0 || length > 1024) continue;
    std::wstring wide(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]));
    char text[4 * 1024 + 8] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text, sizeof text - 1, nullptr, nullptr);
    entries.push_back(text);
  }
  return entries;
}

bool DoubleClickEntry(HWND dialog, int listId, const std::string& entry) {
  HWND list = GetDlgItem(dialog, listId);
  const std::vector<std::string> entries = ListEntries(list);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (_stricmp(entries[i].c_str(), entry.c_str()) != 0) continue;
    SendMessageA(list, LB_SETCURSEL, i, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    return true;
  }
  return false;
}

}  // namespace e2e
